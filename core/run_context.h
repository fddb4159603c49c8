// The record of one run, held by its Run. The flows keep writers apart by
// sequencing: a thread is started only after the fields it reads are set,
// and the thread that started it no longer writes them. Each field says who
// writes it. Fields that one thread writes while another reads them are
// atomic or locked.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/firmware_image.h"
#include "base/guarded.h"
#include "base/locked_text.h"
#include "net/http/device_facts.h"
#include "net/http/digest_challenge.h"
#include "platform/local_addresses.h"

// orbflash: chosen in the welcome dialog.
enum class RunMode : int32_t { Recovery = 0, Upgrade = 1 };

// orbstage: which image the TFTP side serves next.
enum class Stage : int32_t { Transition = 0, Target = 1 };

// Everything that is written by one thread at a time.
struct UpgradeFields {
    RunMode mode = RunMode::Upgrade;              // main: welcome dialog
    char hostName[128] = {};                      // main: start-up
    uint32_t localAddresses[kMaxLocalAddresses]{};  // main: start-up; list ends at the first 0
    uint32_t localAddress = 0;                    // main: start-up (first entry), then the address or recovery dialog
    uint32_t targetAddress = 0;                   // main: address dialog, or the recovery answer
    char targetText[32] = {};                     // main: address dialog (typed text) or recovery dialog (the serial)
    char recoverySerial[32] = {};                 // main: recovery dialog (at most 19 used)
    char modelName[32] = {};                      // main: start-up
    bool isPhone = false;                         // main: start-up
    FirmwareImage image{};                        // main: start-up
    FirmwareImage transitionImage{};              // main: start-up (staged orbstage only)
    // main: the command line's images when it gives several; the one for the
    // device's product becomes image once its facts are known, imageChoice
    // its index (-1: none chosen).
    std::vector<FirmwareImage> imageChoices;
    int imageChoice = -1;
    uint8_t recoveryReply[128] = {};              // main: recovery search and fetch
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
    // TFTP listener: bytes of the images sent in DATA blocks, each
    // transfer's furthest added up; the run's end reports them (0: none of
    // an image left here, whatever else went wrong).
    std::atomic<uint64_t> imageBytesSent{0};

    // What the device said last and the Digest state. Each request's worker
    // has its own copies; the thread that ran the request merges what the
    // finished exchange changed (core/exchange_results.h): a trigger still
    // waiting for its answer overlaps the TFTP listener's status reads.
    Guarded<DigestChallenge> digest;
    Guarded<DeviceFacts> deviceFacts;
    // TFTP listener: the version the device itself reported after the last
    // upload (empty until one was read); the front end's end shows it.
    LockedText<128> versionAfter;
};
