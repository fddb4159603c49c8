#include "net/http/http_exchange.h"

#include <cstring>

#include "base/text.h"
#include "net/address_utils.h"
#include "net/http/byte_search.h"
#include "net/http/digest_auth.h"
#include "net/http/status_page.h"
#include "platform/platform_clock.h"


namespace {

const int kBindAttempts = 101;
const char kHostLine[] = "Host: 192.168.2.110\r\n";

// The request line, the fixed Host line, the Authorization line once a
// password is known, and the empty line; composed into buffer. Returns its
// length, or 0 when it does not fit; *authorized: the line is in it.
int composeRequest(const char* path, DigestChallenge& digest, char* buffer, int capacity, bool* authorized) {
    char authorization[kMaxAuthorizationLine + 1] = "";
    int authorizationLength = 0;
    if (digest.password[0] != '\0') {
        ++digest.nonceCount;
        const char* uri = digest.uriIsRequestTarget ? path : "";
        // A uri cut short would be another uri: no line rather than a wrong one.
        if (std::strlen(uri) < sizeof digest.digestUri) {
            copyText(digest.digestUri, sizeof digest.digestUri, uri);
            authorizationLength = buildAuthorizationLine(digest, authorization, sizeof authorization);
        }
    }
    size_t needed = std::strlen("GET  HTTP/1.1\r\n") + std::strlen(path) + std::strlen(kHostLine) +
                    static_cast<size_t>(authorizationLength) + 2;
    if (capacity < 0 || needed > static_cast<size_t>(capacity)) return 0;
    *authorized = authorizationLength > 0;
    return formatText(buffer, static_cast<size_t>(capacity) + 1, "GET %s HTTP/1.1\r\n%s%s\r\n", path, kHostLine,
                      authorization);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Offset of the status code behind "HTTP/1.0" or "HTTP/1.1" (the ninth
// character skipped whatever it is, then blanks), or kNotFound.
size_t statusCodeOffset(const char* response, size_t length) {
    if (length < 9) return kNotFound;
    if (std::memcmp(response, "HTTP/1.1", 8) != 0 && std::memcmp(response, "HTTP/1.0", 8) != 0) return kNotFound;
    size_t at = 9;
    while (at < length && isBlank(response[at])) ++at;
    return at;
}

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A chunk size of more hex digits than this is no chunk of ours.
const uint8_t kMaxChunkSizeDigits = 8;
// More than any buffer; keeps sums below the overflow.
const size_t kLengthCeiling = 0x7FFFFFFF;

// Whether the last coding of a Transfer-Encoding value is "chunked".
bool lastCodingIsChunked(const char* value, size_t length) {
    while (length > 0 && isBlank(value[length - 1])) --length;
    size_t start = length;
    while (start > 0 && value[start - 1] != ',' && !isBlank(value[start - 1])) --start;
    return length - start == 7 && startsWithIgnoringCase(value + start, 7, "chunked");
}

// A Content-Length value: digits between blanks, saturated; false otherwise.
bool parseContentLength(const char* value, size_t length, size_t* result) {
    size_t i = 0;
    while (i < length && isBlank(value[i])) ++i;
    const size_t first = i;
    size_t number = 0;
    for (; i < length && isDigit(value[i]); ++i) {
        number = number > kLengthCeiling / 10 ? kLengthCeiling : number * 10 + static_cast<size_t>(value[i] - '0');
        if (number > kLengthCeiling) number = kLengthCeiling;
    }
    const bool digits = i > first;
    while (i < length && isBlank(value[i])) ++i;
    if (!digits || i != length) return false;
    *result = number;
    return true;
}

// The framing the header text[0, headerEnd) names: chunked (it wins over a
// length), else a valid Content-Length, else until the close.
BodyFraming framingOf(const char* text, size_t headerEnd, size_t* contentLength) {
    const char kEncoding[] = "Transfer-Encoding:";
    const char kLength[] = "Content-Length:";
    bool chunked = false;
    bool hasLength = false;
    size_t at = findBytes(text, headerEnd, "\r\n");  // the status line's end
    while (at != kNotFound && at + 2 < headerEnd) {
        const char* line = text + at + 2;
        const size_t lineLength = findBytes(line, headerEnd - at - 2, "\r\n");
        if (lineLength == kNotFound) break;
        if (startsWithIgnoringCase(line, lineLength, kEncoding)) {
            chunked = lastCodingIsChunked(line + sizeof kEncoding - 1, lineLength - (sizeof kEncoding - 1));
        } else if (startsWithIgnoringCase(line, lineLength, kLength)) {
            hasLength =
                parseContentLength(line + sizeof kLength - 1, lineLength - (sizeof kLength - 1), contentLength) ||
                hasLength;
        }
        at += 2 + lineLength;
    }
    if (chunked) return BodyFraming::Chunked;
    return hasLength ? BodyFraming::Length : BodyFraming::Close;
}

void startChunkSize(ChunkedDecoder* decoder) {
    decoder->phase = ChunkPhase::Size;
    decoder->digits = 0;
    decoder->left = 0;
}

void endChunkSizeLine(ChunkedDecoder* decoder) {
    decoder->phase = decoder->left == 0 ? ChunkPhase::Done : ChunkPhase::Data;
}

}  // namespace

int parseStatusCode(const char* response, size_t length) {
    size_t at = statusCodeOffset(response, length);
    if (at == kNotFound || length - at < 3) return 0;
    if (!isDigit(response[at]) || !isDigit(response[at + 1]) || !isDigit(response[at + 2])) return 0;
    if (length - at > 3 && isDigit(response[at + 3])) return 0;
    return (response[at] - '0') * 100 + (response[at + 1] - '0') * 10 + (response[at + 2] - '0');
}

size_t decodeChunkedInPlace(char* text, size_t from, size_t count, ChunkedDecoder* decoder) {
    size_t out = from;
    size_t in = from;
    while (in < count && decoder->phase != ChunkPhase::Done && decoder->phase != ChunkPhase::Broken) {
        if (decoder->phase == ChunkPhase::Data) {
            size_t take = count - in < decoder->left ? count - in : decoder->left;
            std::memmove(text + out, text + in, take);
            out += take;
            in += take;
            decoder->left -= take;
            if (decoder->left == 0) decoder->phase = ChunkPhase::DataCr;
            continue;
        }
        const char c = text[in++];
        switch (decoder->phase) {
            case ChunkPhase::Size: {
                int digit = hexValue(c);
                if (digit >= 0 && decoder->digits < kMaxChunkSizeDigits) {
                    decoder->left = decoder->left * 16 + static_cast<size_t>(digit);
                    ++decoder->digits;
                } else if (digit >= 0 || decoder->digits == 0) {
                    decoder->phase = ChunkPhase::Broken;
                } else if (c == ';' || c == ' ' || c == '\t') {
                    decoder->phase = ChunkPhase::Extension;
                } else if (c == '\r') {
                    decoder->phase = ChunkPhase::SizeLineEnd;
                } else if (c == '\n') {
                    endChunkSizeLine(decoder);
                } else {
                    decoder->phase = ChunkPhase::Broken;
                }
                break;
            }
            case ChunkPhase::Extension:
                if (c == '\n') endChunkSizeLine(decoder);
                break;
            case ChunkPhase::SizeLineEnd:
                if (c == '\n')
                    endChunkSizeLine(decoder);
                else
                    decoder->phase = ChunkPhase::Broken;
                break;
            case ChunkPhase::DataCr:
                if (c == '\r')
                    decoder->phase = ChunkPhase::DataLf;
                else if (c == '\n')
                    startChunkSize(decoder);
                else
                    decoder->phase = ChunkPhase::Broken;
                break;
            case ChunkPhase::DataLf:
                if (c == '\n')
                    startChunkSize(decoder);
                else
                    decoder->phase = ChunkPhase::Broken;
                break;
            case ChunkPhase::Data:
            case ChunkPhase::Done:
            case ChunkPhase::Broken: break;
        }
    }
    return out;
}

size_t takeResponseBytes(char* text, size_t from, size_t count, ResponseReader* reader) {
    if (reader->complete) return from;
    if (reader->headerEnd == 0) {
        // The empty line may straddle two receives.
        const size_t searchFrom = from >= 3 ? from - 3 : 0;
        size_t at = findBytes(text + searchFrom, count - searchFrom, "\r\n\r\n");
        if (at == kNotFound) return count;
        reader->headerEnd = searchFrom + at + 4;
        reader->framing = framingOf(text, reader->headerEnd, &reader->contentLength);
        from = reader->headerEnd;
    }
    switch (reader->framing) {
        case BodyFraming::Length: {
            const size_t end = reader->headerEnd + reader->contentLength;
            if (count < end) return count;
            reader->complete = true;
            return end;
        }
        case BodyFraming::Chunked: {
            size_t end = decodeChunkedInPlace(text, from, count, &reader->chunked);
            const ChunkPhase phase = reader->chunked.phase;
            reader->complete = phase == ChunkPhase::Done || phase == ChunkPhase::Broken;
            return end;
        }
        case BodyFraming::Close: break;
    }
    return count;
}

OrbSocket openHttpConnection(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort,
                             unsigned connectMs, HttpFailure* failure) {
    *failure = HttpFailure::None;
    sockaddr_in device;
    makeSockaddr(deviceAddress, devicePort, &device);
    OrbSocket s = kInvalidSocket;
    uint32_t port = localPort;
    // Port 0 stays 0: the system picks one that is free, TIME_WAIT included.
    for (int attempt = 0; attempt < kBindAttempts && port <= 0xFFFF; ++attempt, port += localPort ? 1 : 0) {
        if (s == kInvalidSocket) s = socketOpenTcp();
        if (s == kInvalidSocket) {
            *failure = HttpFailure::SocketFailed;
            return kInvalidSocket;
        }
        sockaddr_in local;
        makeSockaddr(localAddress, static_cast<uint16_t>(port), &local);
        if (!socketBind(s, local)) continue;
        ConnectResult result = socketConnect(s, device, connectMs);
        if (result == ConnectResult::Connected) return s;
        socketClose(s);
        s = kInvalidSocket;
        // Our side closed the last connection to this device first, so the
        // pair may still wait out TIME_WAIT where binding does not tell (Windows):
        // the next port, as for a port that would not bind.
        if (result == ConnectResult::LocalPortBusy) continue;
        *failure = HttpFailure::ConnectFailed;
        return kInvalidSocket;
    }
    if (s != kInvalidSocket) socketClose(s);
    *failure = HttpFailure::BindFailed;
    return kInvalidSocket;
}

bool classifyResponse(const char* response, int length, DigestChallenge* challenge) {
    if (length < 9) return false;
    const size_t end = static_cast<size_t>(length);
    if (parseStatusCode(response, end) != 401) return false;
    size_t at = statusCodeOffset(response, end);
    size_t header = findBytesIgnoringCase(response + at, end - at, "WWW-Authenticate:");
    if (header == kNotFound) return false;
    at += header;
    return parseDigestChallenge(response + at, end - at, challenge);
}

int httpGet(uint32_t localAddress, uint16_t localPort, uint32_t deviceAddress, uint16_t devicePort, const char* path,
            uint8_t* buffer, int capacity, HttpSession* session) {
    buffer[0] = 0;
    session->statusCode = 0;
    session->factsFound = 0;
    session->authorized = false;
    session->answerWhole = false;
    session->challengeUsable = false;
    const HttpTimeouts& limits = session->timeouts;
    OrbSocket s = openHttpConnection(localAddress, localPort, deviceAddress, devicePort, limits.connectMs,
                                     &session->failure);
    if (s == kInvalidSocket) return 0;

    char* text = reinterpret_cast<char*>(buffer);
    int requestLength = composeRequest(path, *session->digest, text, capacity, &session->authorized);
    if (requestLength > 0) socketSend(s, buffer, requestLength);

    // Until the answer is complete, the device closes, an error, a full
    // buffer, idleMs of silence or exchangeMs in all: a device that sends a
    // byte now and then must not hold the exchange.
    const uint32_t start = clockMillis();
    ResponseReader reader;
    int count = 0;
    bool closed = false;  // by the device, in order
    buffer[0] = 0;        // no stale request text behind an empty answer
    while (!reader.complete && count < capacity) {
        const uint32_t elapsed = clockMillis() - start;  // wraps with the clock
        if (elapsed >= limits.exchangeMs) break;
        const unsigned left = limits.exchangeMs - elapsed;
        int got = socketReceive(s, buffer + count, capacity - count,
                                left < limits.idleMs ? left : limits.idleMs);
        closed = got == 0;
        if (got <= 0) break;
        count = static_cast<int>(takeResponseBytes(text, static_cast<size_t>(count),
                                                   static_cast<size_t>(count) + static_cast<size_t>(got), &reader));
        buffer[count] = 0;
    }
    socketClose(s);
    session->answerWhole = reader.complete || (reader.headerEnd > 0 && reader.framing == BodyFraming::Close && closed);

    session->statusCode = parseStatusCode(text, static_cast<size_t>(count));
    if (session->statusCode == 401) {
        // A demand for credentials whether or not its challenge is usable.
        session->challengeUsable = classifyResponse(text, count, session->digest);
        return -1;
    }
    if (session->statusCode >= 200 && session->statusCode < 300)
        session->factsFound = extractDeviceFacts(text, static_cast<size_t>(count), session->facts);
    return count;
}
