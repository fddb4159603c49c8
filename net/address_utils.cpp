#include "net/address_utils.h"

#include <cctype>
#include <cstring>

#include "base/text.h"

bool parseDottedQuad(const char* text, uint32_t* address) {
    *address = 0;
    size_t length = 0;
    while (length < 16 && text[length] != '\0') ++length;
    if (length < 7 || length > 15) return false;

    uint32_t pieces[4] = {0, 0, 0, 0};
    int pieceCount = 0;
    bool inPiece = false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '.' || c == '*') {
            inPiece = false;  // empty pieces are skipped
            continue;
        }
        if (c < '0' || c > '9') return false;
        if (!inPiece) {
            if (pieceCount == 4) return false;
            ++pieceCount;
            inPiece = true;
        }
        uint32_t& piece = pieces[pieceCount - 1];
        piece = piece * 10 + static_cast<uint32_t>(c - '0');
        if (piece > 255) return false;
    }
    if (pieceCount != 4) return false;
    uint32_t result = pieces[0] << 24 | pieces[1] << 16 | pieces[2] << 8 | pieces[3];
    *address = result;
    // 0.0.0.0 names no device; the callers treat 0 as invalid anyway.
    return result != 0;
}

void makeSockaddr(uint32_t address, uint16_t port, sockaddr_in* socketAddress) {
    std::memset(socketAddress, 0, sizeof *socketAddress);
    socketAddress->sin_family = AF_INET;
    socketAddress->sin_addr.s_addr = htonl(address);
    socketAddress->sin_port = htons(port);
}

void readSockaddr(const sockaddr_in& socketAddress, uint32_t* address, uint16_t* port) {
    *address = ntohl(socketAddress.sin_addr.s_addr);
    *port = ntohs(socketAddress.sin_port);
}

void formatDottedQuad(uint32_t a, char* out, size_t size) {
    formatText(out, size, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
}

bool parseHostAddress(const char* text, uint32_t* address) {
    // Four runs of digits between single dots. The wizard's field also
    // skips empty pieces and takes '*' for a dot; an argument that does so
    // is a typing mistake, not the name of a device to upgrade.
    int dots = 0;
    bool digits = false;
    for (const char* c = text; *c; ++c) {
        if (*c == '.') {
            if (!digits) return false;
            ++dots;
            digits = false;
        } else if (std::isdigit(static_cast<unsigned char>(*c))) {
            digits = true;
        } else {
            return false;
        }
    }
    if (dots != 3 || !digits) return false;
    if (!parseDottedQuad(text, address)) return false;
    // Multicast, reserved and broadcast addresses name no single host.
    return (*address >> 28) < 0xE;
}

std::string dottedAddress(uint32_t address) {
    char text[kDottedQuadSize];
    formatDottedQuad(address, text, sizeof text);
    return text;
}
