// The run's Digest state: the latest challenge, the nonce count and the
// credentials. A field of N bytes holds at most N-1 characters.
#pragma once

#include <cstdint>

struct DigestChallenge {
    uint32_t nonceCount;
    char lastNonce[128];
    char nonce[128];
    char cnonce[128];
    char userName[128];
    char password[128];
    char realm[128];
    char qop[16];
    char algorithm[16];
    char digestUri[128];
    char opaque[128];
    // The uri sent is the request's own target (RFC 2617's form); false:
    // the empty uri the devices take, always the first form a run sends.
    bool uriIsRequestTarget;
};
