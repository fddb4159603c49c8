// parseDigestChallenge on arbitrary received bytes, then the Authorization
// line built from the result.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "net/http/digest_auth.h"

namespace {

void checkRecord(const DigestChallenge& c) {
    fuzzCheckTerminated(c.lastNonce, sizeof c.lastNonce);
    fuzzCheckTerminated(c.nonce, sizeof c.nonce);
    fuzzCheckTerminated(c.cnonce, sizeof c.cnonce);
    fuzzCheckTerminated(c.realm, sizeof c.realm);
    fuzzCheckTerminated(c.qop, sizeof c.qop);
    fuzzCheckTerminated(c.algorithm, sizeof c.algorithm);
    fuzzCheckTerminated(c.opaque, sizeof c.opaque);
    fuzzCheck(std::strcmp(c.userName, "admin") == 0 && std::strcmp(c.password, "secret") == 0);
    fuzzCheck(c.digestUri[0] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly the bytes given, no terminator behind them.
    std::vector<char> text(data, data + size);
    DigestChallenge challenge{};
    std::strcpy(challenge.userName, "admin");
    std::strcpy(challenge.password, "secret");
    challenge.nonceCount = 5;
    DigestChallenge before = challenge;

    bool usable = parseDigestChallenge(text.data(), text.size(), &challenge);
    checkRecord(challenge);
    if (!usable) {
        fuzzCheck(std::memcmp(&before, &challenge, sizeof challenge) == 0);
        return 0;
    }
    fuzzCheck(challenge.cnonce[0] != '\0' && std::strlen(challenge.cnonce) <= 4);
    fuzzCheck(std::strcmp(challenge.nonce, challenge.lastNonce) == 0);

    ++challenge.nonceCount;
    char line[kMaxAuthorizationLine + 1];
    int length = buildAuthorizationLine(challenge, line, sizeof line);
    fuzzCheck(length > 2 && static_cast<size_t>(length) <= kMaxAuthorizationLine);
    fuzzCheck(line[length - 2] == '\r' && line[length - 1] == '\n' && line[length] == '\0');
    // No value from the device adds a line of its own.
    for (int i = 0; i < length - 2; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        fuzzCheck(c >= 0x20 && c != 0x7F);
    }

    // The same challenge again keeps the count.
    uint32_t count = challenge.nonceCount;
    fuzzCheck(parseDigestChallenge(text.data(), text.size(), &challenge));
    fuzzCheck(challenge.nonceCount == count);
    checkRecord(challenge);
    return 0;
}
