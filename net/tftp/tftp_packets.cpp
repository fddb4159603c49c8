#include "net/tftp/tftp_packets.h"

#include <cstring>

#include "base/text.h"

uint16_t tftpGet16(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

void tftpPut16(uint32_t value, uint8_t* bytes) {
    bytes[0] = static_cast<uint8_t>((value >> 8) & 0xFF);
    bytes[1] = static_cast<uint8_t>(value & 0xFF);
}

// The NUL-terminated field at offset, or null when it does not end inside
// the datagram; *next is the offset behind its NUL.
static const char* takeField(const uint8_t* packet, int length, int at, int* next) {
    if (at >= length) return nullptr;
    const void* end = std::memchr(packet + at, 0, static_cast<size_t>(length - at));
    if (!end) return nullptr;
    *next = static_cast<int>(static_cast<const uint8_t*>(end) - packet) + 1;
    return reinterpret_cast<const char*>(packet + at);
}

bool tftpParseReadRequest(const uint8_t* packet, int length, TftpReadRequest* request) {
    if (length < 2 || tftpGet16(packet) != kTftpReadRequest) return false;
    int at = 2;
    request->name = takeField(packet, length, at, &at);
    if (!request->name) return false;
    request->mode = takeField(packet, length, at, &at);
    if (!request->mode) return false;
    // Options are counted, not read: every request gets the same answer.
    request->optionCount = 0;
    while (at < length && packet[at] != 0) {
        if (!takeField(packet, length, at, &at) || !takeField(packet, length, at, &at)) break;
        ++request->optionCount;
    }
    return true;
}

bool tftpParseError(const uint8_t* packet, int length, TftpErrorReport* error) {
    if (length < 4 || tftpGet16(packet) != kTftpError) return false;
    error->code = tftpGet16(packet + 2);
    // The text may lack its NUL: take what came, cut to fit.
    size_t i = 0;
    for (int at = 4; at < length && packet[at] != 0 && i + 1 < sizeof error->text; ++at)
        error->text[i++] = static_cast<char>(packet[at]);
    error->text[i] = '\0';
    return true;
}

int tftpBuildData(uint8_t* packet, const uint8_t* payload, uint32_t length, uint32_t block) {
    if (length > kTftpBlockSize) length = kTftpBlockSize;
    tftpPut16(kTftpData, packet);
    tftpPut16(block, packet + 2);
    if (length > 0) std::memcpy(packet + 4, payload, length);
    return static_cast<int>(4 + length);
}

// Appends text and its NUL at offset; returns the offset behind the NUL.
static int appendField(uint8_t* packet, int offset, const char* text) {
    char* at = reinterpret_cast<char*>(packet + offset);
    int written = formatText(at, static_cast<size_t>(kTftpPacketSize - offset), "%s", text);
    return offset + written + 1;
}

int tftpBuildError(uint8_t* packet, uint16_t code, const char* text) {
    tftpPut16(kTftpError, packet);
    tftpPut16(code, packet + 2);
    return appendField(packet, 4, text);
}

int tftpBuildOptionAck(uint8_t* packet, uint32_t imageSize) {
    // Always the same answer, whatever the client asked for.
    char size[16];
    formatText(size, sizeof size, "%u", imageSize);
    tftpPut16(kTftpOptionAck, packet);
    int length = appendField(packet, 2, "tsize");
    length = appendField(packet, length, size);
    length = appendField(packet, length, "timeout");
    return appendField(packet, length, "5");
}

void tftpSendData(OrbSocket s, uint8_t* packet, const uint8_t* payload, uint32_t length, uint32_t block,
                  const sockaddr_in& to) {
    socketSendTo(s, packet, tftpBuildData(packet, payload, length, block), to);
}

void tftpSendOptionAck(OrbSocket s, uint8_t* packet, const sockaddr_in& to, uint32_t imageSize) {
    socketSendTo(s, packet, tftpBuildOptionAck(packet, imageSize), to);
}
