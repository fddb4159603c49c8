// The one record of a run. Every step of the driver and every dialog reads
// and writes it directly; the flows keep writers apart by sequencing: a
// thread is started only after the fields it reads are set, and the thread
// that started it no longer writes them. Each field says who writes it.
// Fields that one thread writes while another reads them are atomic (or,
// for the file name, locked).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/firmware_image.h"
#include "core/locked_text.h"
#include "net/http/device_facts.h"
#include "net/http/digest_challenge.h"
#include "platform/local_addresses.h"

const uint32_t kResponseBufferSize = 131072;
const int kResponseCapacity = 131071;  // leaves room for the NUL

// orbflash: chosen in the welcome dialog.
enum class RunMode : int32_t { Recovery = 0, Upgrade = 1 };

// orbstage: which image the TFTP side serves next.
enum class Stage : int32_t { Transition = 0, Target = 1 };

// Everything that is written by one thread at a time; reset in one statement.
struct UpgradeFields {
    void* instance;                               // program entry, before start-up
    RunMode mode;                                 // main: welcome dialog
    char hostName[128];                           // main: start-up
    uint32_t localAddresses[kMaxLocalAddresses];  // main: start-up; list ends at the first 0
    uint32_t localAddress;                        // main: start-up (first entry), then the address or recovery dialog
    uint32_t targetAddress;                       // main: address dialog, or the recovery answer
    char targetText[32];                          // main: address dialog (typed text) or recovery dialog (the serial)
    char recoverySerial[32];                      // main: recovery dialog (at most 19 used)
    DigestChallenge digest;                       // main: start-up, password dialog; request worker: each exchange
    DeviceFacts deviceFacts;                      // request worker: every 2xx page; main: the recovery answer
    char modelName[32];                           // main: start-up
    bool isPhone;                                 // main: start-up
    FirmwareImage image;                          // main: start-up
    FirmwareImage transitionImage;                // main: start-up (staged orbstage only)
    uint8_t responseBuffer[kResponseBufferSize];  // request worker: each exchange
    uint8_t recoveryReply[128];                   // main: recovery search and fetch
};

struct UpgradeContext : UpgradeFields {
    // TFTP listener: after the transition stage; main: polls it (orbstage).
    std::atomic<Stage> stage{Stage::Target};
    // main: address or recovery dialog, between the stages; TFTP listener:
    // compares read requests with it.
    LockedText<128> firmwareFileName;
    // main: the HTTP status the trigger was answered with (0: none yet);
    // TFTP listener: shows it while it waits.
    std::atomic<int> triggerStatus{0};
};

extern UpgradeContext gContext;

// Back to the state a fresh process starts in; for tests.
void resetUpgradeContext();
