// One HTTP/1.1 GET per connection to the device's web server.
#pragma once

#include <cstdint>

#include "net/http/digest_challenge.h"
#include "platform/platform_socket.h"

const uint16_t kFirstHttpPort = 23456;
const uint16_t kDeviceHttpPort = 80;

// Bounds on waiting for a device (tests shorten them).
struct HttpTimeouts {
    unsigned connectMs;  // give up connecting after this
    unsigned idleMs;     // end the reading after this long without data
};
extern HttpTimeouts gHttpTimeouts;

// Binds from localPort upward (101 attempts) and connects. Ends the process
// on socket and bind failures, and in orbflash on a failed connection;
// orbstage gets kInvalidSocket instead.
OrbSocket openHttpConnection(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort);

// Whether response[0, length) is a usable Digest challenge: HTTP/1.1, status
// 401, a "WWW-Authenticate:" header with realm and nonce. Parsed into
// challenge when it is; challenge is untouched otherwise. Nothing beyond
// length is read, whatever bytes (NULs included) the response holds.
bool classifyResponse(const char* response, int length, DigestChallenge* challenge);

// -1: a usable challenge, now in gContext.digest. Otherwise the byte count
// received into buffer (NUL-terminated; buffer holds capacity + 1 bytes);
// facts refreshed. The reading ends when the device closes, on an error,
// when capacity bytes have come, or after gHttpTimeouts.idleMs of silence.
int httpGet(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort, const char* path,
            uint8_t* buffer, int capacity);
