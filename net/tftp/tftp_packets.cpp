#include "net/tftp/tftp_packets.h"

#include <cstring>

#include "core/text.h"

uint16_t tftpGet16(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

void tftpPut16(uint32_t value, uint8_t* bytes) {
    bytes[0] = static_cast<uint8_t>((value >> 8) & 0xFF);
    bytes[1] = static_cast<uint8_t>(value & 0xFF);
}

bool tftpRequestHasOptions(const uint8_t* packet, int length) {
    int at = 2;
    for (int field = 0; field < 2; ++field) {  // name, then mode
        while (at < length && packet[at] != 0) ++at;
        ++at;
    }
    return at < length && packet[at] != 0;
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
