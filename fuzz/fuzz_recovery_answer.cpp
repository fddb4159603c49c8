// recoveryAnswerMatches, readRecoveryAnswer and formatMacHex on arbitrary
// datagrams against an arbitrary request. The first byte chooses the
// request (bit 0: fetch, bit 1: the next 20 bytes raw over its serial field
// instead of as a typed serial); the rest is the datagram, of any length.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "net/recovery/recovery_discovery.h"

namespace {

const size_t kHead = 21;

uint32_t addressAt(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

void checkMacText(const uint8_t* bytes, size_t count) {
    char text[2 * 16 + 1];
    std::memset(text, 'x', sizeof text);
    formatMacHex(bytes, text, count);
    fuzzCheck(std::strlen(text) == 2 * count);
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        fuzzCheck(text[2 * i] == kDigits[bytes[i] >> 4] && text[2 * i + 1] == kDigits[bytes[i] & 0x0F]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHead || size > kHead + 512) return 0;
    RecoveryRequest request;
    char serial[kHead];
    std::memcpy(serial, data + 1, kHead - 1);
    serial[kHead - 1] = '\0';
    if (data[0] & 1)
        makeFetchRequest(&request, serial, 69, "/orb1a2b.bin");
    else
        makeSearchRequest(&request, serial);
    if (data[0] & 2) std::memcpy(request.bytes + 8, data + 1, kHead - 1);

    // A copy of exactly the datagram's length: a read past it is caught.
    std::vector<uint8_t> datagram(data + kHead, data + size);
    int length = static_cast<int>(datagram.size());
    bool matches = recoveryAnswerMatches(request, datagram.data(), length);
    fuzzCheck(!matches || length == static_cast<int>(kRecoveryAnswerSize));
    checkMacText(datagram.data(), datagram.size() < 16 ? datagram.size() : 16);
    if (datagram.size() != kRecoveryAnswerSize) return 0;

    RecoveryAnswer answer;
    readRecoveryAnswer(datagram.data(), &answer);
    fuzzCheckTerminated(answer.serialNumber, sizeof answer.serialNumber);
    fuzzCheckTerminated(answer.productName, sizeof answer.productName);
    fuzzCheckTerminated(answer.softwareVersion, sizeof answer.softwareVersion);
    fuzzCheckTerminated(answer.hardwareVersion, sizeof answer.hardwareVersion);
    fuzzCheck(answer.address == addressAt(datagram.data() + 94));
    fuzzCheck(std::memcmp(answer.mac, datagram.data() + 48, 6) == 0);
    checkMacText(answer.mac, 6);

    // Matching means: the request's serial, read the same way, and an address
    // outside 0.0.0.0, 224.0.0.0/4 and 240.0.0.0/4.
    char asked[kHead];
    size_t askedLength = 0;
    while (askedLength < kHead - 1 && request.bytes[8 + askedLength]) ++askedLength;
    std::memcpy(asked, request.bytes + 8, askedLength);
    asked[askedLength] = '\0';
    bool usable = answer.address != 0 && answer.address < 0xE0000000u;
    fuzzCheck(matches == (std::strcmp(asked, answer.serialNumber) == 0 && usable));

    // Bytes 0..7 and 98..99 are not interpreted.
    for (size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 98, 99}) datagram[i] = static_cast<uint8_t>(~datagram[i]);
    fuzzCheck(recoveryAnswerMatches(request, datagram.data(), length) == matches);
    return 0;
}
