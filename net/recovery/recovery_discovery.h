// Finding a device in recovery mode by serial number over multicast, and
// telling it where to fetch the image (orbflash only).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform_socket.h"

const uint32_t kRecoveryGroup = 0xEA04080A;  // 234.4.8.10
const uint16_t kRecoveryRequestPort = 4810;
const uint16_t kRecoveryAnswerPort = 4811;
const size_t kRecoveryRequestSize = 160;
const size_t kRecoveryAnswerSize = 100;

struct RecoveryRequest {
    uint8_t bytes[kRecoveryRequestSize];
};

// Fields of a 100-byte answer.
struct RecoveryAnswer {
    char serialNumber[21];
    char productName[21];
    uint8_t mac[6];
    char softwareVersion[21];
    char hardwareVersion[21];
    uint32_t address;  // host order
};

void makeSearchRequest(RecoveryRequest* request, const char* serial);
void makeFetchRequest(RecoveryRequest* request, const char* serial, uint16_t port, const char* fileName);
void readRecoveryAnswer(const uint8_t* bytes, RecoveryAnswer* answer);
void formatMacHex(const uint8_t* bytes, char* out, size_t count);
// Whether the length bytes at answer are an answer to request: exactly 100 bytes, the
// serial the request carried (bytes 8..27, up to the first NUL) and an
// address a single host can have (not 0.0.0.0, 224.0.0.0/4 or 240.0.0.0/4).
// Bytes 0..7 and 98..99 are not read.
bool recoveryAnswerMatches(const RecoveryRequest& request, const uint8_t* answer, int length);

// What the exchange reports on the way, and how it is stopped.
struct RecoveryHooks {
    void* context;
    // A plain message box: the socket errors ("Binding socket failed!
    // Error: 10048", captioned "Error") and "Sending error".
    void (*report)(void* context, const char* text, const char* caption);
    // Called while the exchange waits, at least every kRecoveryTickMs; false
    // ends the exchange unanswered.
    bool (*tick)(void* context);
};

const unsigned kRecoveryTickMs = 100;

// A run's one recovery socket, made by its first exchange.
struct RecoveryChannel {
    OrbSocket socket = kInvalidSocket;
};

// Drops what is pending, sends the request to the group and waits for an
// answer: 1 when one that recoveryAnswerMatches arrived in answer (100
// bytes), 0 otherwise. Creates the channel's socket on first use.
int recoveryExchange(RecoveryChannel* channel, const RecoveryRequest* request, uint8_t* answer, uint32_t localAddress,
                     const RecoveryHooks& hooks);
void recoveryClose(RecoveryChannel* channel);
