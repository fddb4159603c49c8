// The one record of a run. Every subsystem reads and writes it directly;
// the flows keep writers apart by sequencing. stage is the one field written
// by one thread while another polls it, hence atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/firmware_image.h"
#include "net/http/device_facts.h"
#include "net/http/digest_challenge.h"

const uint32_t kResponseBufferSize = 131072;
const int kResponseCapacity = 131071;  // leaves room for the NUL

struct UpgradeContext {
    void* instance;
    int32_t mode;                 // orbflash: 1 upgrade, 0 recovery
    std::atomic<int32_t> stage{1};  // orbstage: 0 transition next, 1 target
    char hostName[128];
    uint32_t localAddresses[8];
    uint32_t localAddress;
    uint32_t targetAddress;
    char targetText[32];
    char recoverySerial[32];
    DigestChallenge digest;
    DeviceFacts deviceFacts;
    char modelName[32];
    int32_t isPhone;
    FirmwareImage image;
    FirmwareImage transitionImage;
    char firmwareFileName[128];
    uint8_t responseBuffer[kResponseBufferSize];
    uint8_t recoveryReply[128];
};

extern UpgradeContext gContext;

// Back to the state a fresh process starts in (stage 1); for tests.
void resetUpgradeContext();
