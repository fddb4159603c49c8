// parseDottedQuad on arbitrary texts: 0 exactly on refusal, and an accepted
// address reads back the same when written out again.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/address_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);  // terminated by std::string
    uint32_t address = 0x12345678;
    bool parsed = parseDottedQuad(text.c_str(), &address);
    if (!parsed) {
        fuzzCheck(address == 0);
        return 0;
    }
    size_t length = std::strlen(text.c_str());
    fuzzCheck(length >= 7 && length <= 15 && address != 0);
    fuzzCheck(text.find_first_not_of("0123456789.*") >= length);
    char again[16];
    std::snprintf(again, sizeof again, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff, (address >> 8) & 0xff,
                  address & 0xff);
    uint32_t reparsed = 0;
    if (std::strlen(again) >= 7) {
        fuzzCheck(parseDottedQuad(again, &reparsed) && reparsed == address);
    }
    return 0;
}
