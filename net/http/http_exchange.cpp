#include "net/http/http_exchange.h"

#include <cstring>

#include "core/text.h"
#include "net/http/address_utils.h"
#include "net/http/byte_search.h"
#include "net/http/digest_auth.h"
#include "net/http/status_page.h"

HttpTimeouts gHttpTimeouts = {20000, 30000};

namespace {

const int kBindAttempts = 101;
const char kHostLine[] = "Host: 192.168.2.110\r\n";

// The request line, the fixed Host line, the Authorization line once a
// password is known, and the empty line; composed into buffer. Returns its
// length, or 0 when it does not fit.
int composeRequest(const char* path, DigestChallenge& digest, char* buffer, int capacity) {
    char authorization[kMaxAuthorizationLine + 1] = "";
    int authorizationLength = 0;
    if (digest.password[0] != '\0') {
        ++digest.nonceCount;
        authorizationLength = buildAuthorizationLine(digest, authorization, sizeof authorization);
    }
    size_t needed = std::strlen("GET  HTTP/1.1\r\n") + std::strlen(path) + std::strlen(kHostLine) +
                    static_cast<size_t>(authorizationLength) + 2;
    if (capacity < 0 || needed > static_cast<size_t>(capacity)) return 0;
    return formatText(buffer, static_cast<size_t>(capacity) + 1, "GET %s HTTP/1.1\r\n%s%s\r\n", path, kHostLine,
                      authorization);
}

}  // namespace

OrbSocket openHttpConnection(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort,
                             HttpFailure* failure) {
    *failure = HttpFailure::None;
    OrbSocket s = socketOpenTcp();
    if (s == kInvalidSocket) {
        *failure = HttpFailure::SocketFailed;
        return kInvalidSocket;
    }

    bool bound = false;
    uint32_t port = localPort;
    for (int attempt = 0; attempt < kBindAttempts && port <= 0xFFFF && !bound; ++attempt, ++port) {
        sockaddr_in local;
        makeSockaddr(localAddress, static_cast<uint16_t>(port), &local);
        bound = socketBind(s, local);
    }
    if (!bound) {
        socketClose(s);
        *failure = HttpFailure::BindFailed;
        return kInvalidSocket;
    }

    sockaddr_in device;
    makeSockaddr(deviceAddress, devicePort, &device);
    if (!socketConnect(s, device, gHttpTimeouts.connectMs)) {
        socketClose(s);
        *failure = HttpFailure::ConnectFailed;
        return kInvalidSocket;
    }
    return s;
}

bool classifyResponse(const char* response, int length, DigestChallenge* challenge) {
    if (length < 9) return false;
    const size_t end = static_cast<size_t>(length);
    if (std::memcmp(response, "HTTP/1.1", 8) != 0) return false;
    size_t at = 9;  // the character after the version is skipped whatever it is
    while (at < end && (response[at] == ' ' || response[at] == '\t')) ++at;
    if (end - at < 3 || std::memcmp(response + at, "401", 3) != 0) return false;
    size_t header = findBytes(response + at, end - at, "WWW-Authenticate:");
    if (header == kNotFound) return false;
    at += header;
    return parseDigestChallenge(response + at, end - at, challenge);
}

int httpGet(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort, const char* path,
            uint8_t* buffer, int capacity, HttpSession* session) {
    buffer[0] = 0;
    OrbSocket s = openHttpConnection(localAddress, localPort, deviceAddress, devicePort, &session->failure);
    if (s == kInvalidSocket) return 0;

    char* text = reinterpret_cast<char*>(buffer);
    int requestLength = composeRequest(path, *session->digest, text, capacity);
    if (requestLength > 0) socketSend(s, buffer, requestLength);

    // Until the device closes, an error, a full buffer, or idleMs of silence.
    int count = 0;
    buffer[0] = 0;  // no stale request text behind an empty answer
    for (;;) {
        int got = socketReceive(s, buffer + count, capacity - count, gHttpTimeouts.idleMs);
        if (got <= 0) break;
        count += got;
        buffer[count] = 0;
    }

    if (classifyResponse(text, count, session->digest)) {
        socketClose(s);
        return -1;
    }
    if (count > 0) extractDeviceFacts(text, static_cast<size_t>(count), session->facts);
    socketClose(s);
    return count;
}
