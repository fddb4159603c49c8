// classifyResponse on arbitrary received bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "net/http/http_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x1FFFF) return 0;
    std::vector<char> response(data, data + size);
    DigestChallenge challenge{};
    std::strcpy(challenge.password, "secret");
    DigestChallenge before = challenge;
    bool usable = classifyResponse(response.data(), static_cast<int>(response.size()), &challenge);
    if (usable) {
        fuzzCheck(size >= 12 && (std::memcmp(data, "HTTP/1.1", 8) == 0 || std::memcmp(data, "HTTP/1.0", 8) == 0));
        fuzzCheckTerminated(challenge.realm, sizeof challenge.realm);
        fuzzCheckTerminated(challenge.nonce, sizeof challenge.nonce);
        fuzzCheckTerminated(challenge.qop, sizeof challenge.qop);
        fuzzCheckTerminated(challenge.algorithm, sizeof challenge.algorithm);
        fuzzCheckTerminated(challenge.opaque, sizeof challenge.opaque);
    } else {
        fuzzCheck(std::memcmp(&before, &challenge, sizeof challenge) == 0);
    }
    return 0;
}
