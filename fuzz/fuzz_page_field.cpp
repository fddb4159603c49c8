// extractPageField and extractDeviceFacts on arbitrary pages. The first
// byte chooses the length of a label taken from the bytes that follow.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "net/http/status_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t labelLength = 1 + data[0] % 16;
    if (size < 1 + labelLength) return 0;
    std::vector<char> label(data + 1, data + 1 + labelLength);
    label.push_back('\0');
    if (std::strlen(label.data()) == 0) return 0;
    std::vector<char> page(data + 1 + labelLength, data + size);

    char field[128];
    std::memset(field, 'x', sizeof field);
    field[127] = '\0';
    char* value = extractPageField(page.data(), page.size(), label.data(), field, sizeof field, kPageFieldLimit);
    if (value) {
        fuzzCheck(value == field);
        size_t length = std::strlen(field);
        fuzzCheck(length <= kPageFieldLimit);
        fuzzCheck(std::memchr(field, '<', length) == nullptr);
    } else {
        fuzzCheck(field[0] == 'x' && std::strlen(field) == 127);
    }

    char small[4];
    if (extractPageField(page.data(), page.size(), label.data(), small, sizeof small, kPageFieldLimit)) {
        fuzzCheck(std::strlen(small) <= 3);
    }

    DeviceFacts facts{};
    extractDeviceFacts(page.data(), page.size(), &facts);
    fuzzCheckTerminated(facts.productName, sizeof facts.productName);
    fuzzCheckTerminated(facts.macAddress, sizeof facts.macAddress);
    fuzzCheckTerminated(facts.softwareVersion, sizeof facts.softwareVersion);
    fuzzCheckTerminated(facts.hardwareVersion, sizeof facts.hardwareVersion);
    fuzzCheckTerminated(facts.serialNumber, sizeof facts.serialNumber);
    return 0;
}
