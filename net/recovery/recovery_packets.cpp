#include <cstring>

#include "net/recovery/recovery_discovery.h"

static const uint8_t kMagic[4] = {'R', 'E', 'C', 'M'};
const size_t kSerialOffset = 8;
const size_t kSerialField = 20;
const size_t kPortOffset = 28;
const size_t kFileNameOffset = 32;
const size_t kFileNameField = 128;
const size_t kAddressOffset = 94;

static void putField(uint8_t* field, size_t width, const char* text) {
    // The last byte of a field stays NUL.
    for (size_t i = 0; i + 1 < width && text[i]; ++i) field[i] = static_cast<uint8_t>(text[i]);
}

void makeSearchRequest(RecoveryRequest* request, const char* serial) {
    std::memset(request->bytes, 0, sizeof request->bytes);
    request->bytes[0] = 0;
    std::memcpy(request->bytes + 4, kMagic, sizeof kMagic);
    putField(request->bytes + kSerialOffset, kSerialField, serial);
}

void makeFetchRequest(RecoveryRequest* request, const char* serial, uint16_t port, const char* fileName) {
    makeSearchRequest(request, serial);
    request->bytes[0] = 2;
    request->bytes[kPortOffset] = static_cast<uint8_t>(port >> 8);
    request->bytes[kPortOffset + 1] = static_cast<uint8_t>(port & 0xFF);
    putField(request->bytes + kFileNameOffset, kFileNameField, fileName);
}

// Up to the first NUL, never beyond the 20-byte field.
static size_t fieldLength(const uint8_t* field) {
    size_t length = 0;
    while (length < kSerialField && field[length]) ++length;
    return length;
}

static uint32_t takeAddress(const uint8_t* field) {
    return (uint32_t{field[0]} << 24) | (uint32_t{field[1]} << 16) | (uint32_t{field[2]} << 8) | field[3];
}

static void takeText(char* out, const uint8_t* field) {
    // Up to the first NUL, never beyond the 20-byte field.
    size_t i = 0;
    for (; i < 20 && field[i]; ++i) out[i] = static_cast<char>(field[i]);
    out[i] = '\0';
}

void readRecoveryAnswer(const uint8_t* bytes, RecoveryAnswer* answer) {
    takeText(answer->serialNumber, bytes + 8);
    takeText(answer->productName, bytes + 28);
    std::memcpy(answer->mac, bytes + 48, 6);
    takeText(answer->softwareVersion, bytes + 54);
    takeText(answer->hardwareVersion, bytes + 74);
    answer->address = takeAddress(bytes + kAddressOffset);
}

void formatMacHex(const uint8_t* bytes, char* out, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    out[2 * count] = '\0';
}

static bool usableHostAddress(uint32_t address) {
    // 224.0.0.0/4 is multicast; 240.0.0.0/4 holds 255.255.255.255 too.
    return address != 0 && (address >> 28) != 0xE && (address >> 28) != 0xF;
}

bool recoveryAnswerMatches(const RecoveryRequest& request, const uint8_t* answer, int length) {
    if (length != static_cast<int>(kRecoveryAnswerSize)) return false;
    const uint8_t* asked = request.bytes + kSerialOffset;
    const uint8_t* told = answer + kSerialOffset;
    size_t serialLength = fieldLength(asked);
    if (fieldLength(told) != serialLength || std::memcmp(asked, told, serialLength) != 0) return false;
    return usableHostAddress(takeAddress(answer + kAddressOffset));
}
