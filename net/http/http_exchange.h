// One HTTP/1.1 GET per connection to the device's web server.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/http/device_facts.h"
#include "net/http/digest_challenge.h"
#include "platform/platform_socket.h"

const uint16_t kFirstHttpPort = 23456;
const uint16_t kDeviceHttpPort = 80;

// Bounds on waiting for a device (tests shorten them).
struct HttpTimeouts {
    unsigned connectMs = 20000;   // give up connecting after this
    unsigned idleMs = 30000;      // end the reading after this long without data
    unsigned exchangeMs = 30000;  // end the reading this long after the request went out
};

// Why an exchange made no connection.
enum class HttpFailure { None, SocketFailed, BindFailed, ConnectFailed };

// Binds from localPort upward (101 attempts) and connects; localPort 0
// lets the system choose each attempt's port. kInvalidSocket with *failure
// set when that cannot be done.
OrbSocket openHttpConnection(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort,
                             unsigned connectMs, HttpFailure* failure);

// The status code of a status line "HTTP/1.0 NNN" or "HTTP/1.1 NNN" at the
// start of response[0, length) (the character after the version skipped
// whatever it is, then blanks; three digits and no fourth); 0 without one.
int parseStatusCode(const char* response, size_t length);

// Whether response[0, length) is a usable Digest challenge: HTTP/1.0 or
// HTTP/1.1, status 401, a "WWW-Authenticate:" header (any letter case) with
// realm and nonce. Parsed into challenge when it is; challenge is untouched
// otherwise. Nothing beyond length is read, whatever bytes (NULs included)
// the response holds.
bool classifyResponse(const char* response, int length, DigestChallenge* challenge);

// Where a chunked body's decoding stands between two receives.
enum class ChunkPhase : uint8_t { Size, Extension, SizeLineEnd, Data, DataCr, DataLf, Done, Broken };
struct ChunkedDecoder {
    ChunkPhase phase = ChunkPhase::Size;
    uint8_t digits = 0;  // of the size being read
    size_t left = 0;     // the size being read, then the chunk's data bytes still due
};

// Decodes the chunked bytes text[from, count) in place: chunk data moves
// down to begin at from; sizes, extensions and line ends go. Returns the
// end of the decoded bytes. The decoder carries a chunk across calls. Done
// at the end of the last chunk's size line, Broken at a byte that is not
// chunked framing; the bytes from there on are dropped.
size_t decodeChunkedInPlace(char* text, size_t from, size_t count, ChunkedDecoder* decoder);

// How a response's body ends.
enum class BodyFraming : uint8_t { Close, Length, Chunked };

// What the reading knows of a response so far.
struct ResponseReader {
    size_t headerEnd = 0;  // just past the empty line; 0 until it has come
    BodyFraming framing = BodyFraming::Close;
    size_t contentLength = 0;
    ChunkedDecoder chunked;
    bool complete = false;  // the whole answer is in: stop reading
};

// Takes the bytes just received, text[from, count), behind the earlier
// ones in text[0, from). Finds the header's end and the framing there:
// Transfer-Encoding chunked (decoded in place), else Content-Length (header
// names in any letter case), else until the close. Returns the new count:
// the header and the body so far, nothing beyond Content-Length or the last
// chunk. Once complete, further bytes are not taken.
size_t takeResponseBytes(char* text, size_t from, size_t count, ResponseReader* reader);

// What an exchange carries over from one request to the next, and what
// it reports besides its byte count.
struct HttpSession {
    DigestChallenge* digest;  // credentials and nonce state, read and written
    DeviceFacts* facts;       // refreshed from the 2xx pages received
    HttpFailure failure;      // out: why no connection was made
    int statusCode = 0;       // out: of the status line; 0 when none was read
    HttpTimeouts timeouts{};
    unsigned factsFound = 0;       // out: the FactBits a 2xx page held
    bool authorized = false;       // out: the request carried an Authorization line
    bool challengeUsable = false;  // out: a 401's challenge was usable (now in digest)
    // out: the answer ended where its framing says (its length, its last
    // chunk, or the device's own close), not cut by a reset, a bound or the
    // capacity: a value at the end of a cut page may be cut too.
    bool answerWhole = false;
};

// -1: a 401 (a usable challenge is now in session->digest; an unusable one
// left it as it was). Otherwise the byte count received into buffer
// (NUL-terminated; buffer holds capacity + 1 bytes): the header and the
// body, a chunked body decoded; facts refreshed when the status is 2xx.
// 0 with session->failure set when no connection was made. The reading
// ends when the answer is complete, the device closes, on an error, when
// capacity bytes are held, after the session's idleMs of silence, or
// exchangeMs after the request went out.
int httpGet(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort, const char* path,
            uint8_t* buffer, int capacity, HttpSession* session);
