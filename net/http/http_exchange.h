// One HTTP/1.1 GET per connection to the device's web server.
#pragma once

#include <cstdint>

#include "net/http/device_facts.h"
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

// Why an exchange made no connection.
enum class HttpFailure { None, SocketFailed, BindFailed, ConnectFailed };

// Binds from localPort upward (101 attempts) and connects; kInvalidSocket
// with *failure set when that cannot be done.
OrbSocket openHttpConnection(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort,
                             HttpFailure* failure);

// Whether response[0, length) is a usable Digest challenge: HTTP/1.1, status
// 401, a "WWW-Authenticate:" header with realm and nonce. Parsed into
// challenge when it is; challenge is untouched otherwise. Nothing beyond
// length is read, whatever bytes (NULs included) the response holds.
bool classifyResponse(const char* response, int length, DigestChallenge* challenge);

// What an exchange carries over from one request to the next, and what
// it reports besides its byte count.
struct HttpSession {
    DigestChallenge* digest;  // credentials and nonce state, read and written
    DeviceFacts* facts;       // refreshed from the pages received
    HttpFailure failure;      // out: why no connection was made
};

// -1: a usable challenge, now in session->digest. Otherwise the byte count
// received into buffer (NUL-terminated; buffer holds capacity + 1 bytes);
// facts refreshed. 0 with session->failure set when no connection was made.
// The reading ends when the device closes, on an error, when capacity
// bytes have come, or after gHttpTimeouts.idleMs of silence.
int httpGet(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort, const char* path,
            uint8_t* buffer, int capacity, HttpSession* session);
