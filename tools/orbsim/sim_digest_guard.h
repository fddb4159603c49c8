// The device's side of RFC 2617 Digest authentication: the challenge it
// sends, and the check of each Authorization line against that challenge.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DigestGuardSettings {
    std::string user;
    std::string password;
    std::string realm;
    std::string qop;        // "" none, "auth", "auth-int" or a list such as "auth,auth-int"
    std::string algorithm;  // "" when the challenge names none, "MD5" or "md5-sess"
    bool algorithmUnquoted = false;
    std::string opaque;  // "" for none
    unsigned nonceEvery = 0;
    bool always401 = false;
    bool fixedNonce = false;  // every nonce is this one
    std::string nonce;
    bool strictUri = false;  // the uri must be the request's own, as RFC 2617 asks (else 400)
};

enum class GuardOutcome { Accepted, Challenge, BadRequest };

struct GuardVerdict {
    GuardOutcome outcome;
    bool newNonce;       // the challenge carries a nonce not shown before
    bool stale;          // the request used a nonce that has been replaced
    std::string reason;  // why a challenge (or a 400), for the log
};

struct DigestGuard {
    DigestGuardSettings settings;
    std::string nonce;
    std::vector<std::string> staleNonces;  // the last few replaced; requests with them are stale
    bool nonceShown = false;
    unsigned requestsOnNonce = 0;
    uint32_t nonceSerial = 0;
};

void guardStart(DigestGuard* guard, const DigestGuardSettings& settings);

// A fresh nonce; the current one becomes stale (a restart, or a renewal).
void guardRenewNonce(DigestGuard* guard);

// Judges one request. authorization is the value of the Authorization
// header ("Digest ..."), or null when the request had none; requestUri the
// request line's target, which strictUri holds the uri to (as Apache does,
// before anything else is checked).
GuardVerdict guardCheck(DigestGuard* guard, const char* method, const char* authorization,
                        const char* requestUri = nullptr);

// The whole header line, "WWW-Authenticate: Digest ...\r\n", for the current
// nonce; marks the nonce as shown.
std::string guardChallengeLine(DigestGuard* guard, bool stale);
// The same line's value alone ("Digest realm=...").
std::string guardChallenge(DigestGuard* guard, bool stale);

// Parameters of an Authorization value, for the checks and the tests.
struct DigestCredentials {
    std::string username, realm, nonce, uri, response, algorithm, opaque, qop, nc, cnonce;
    bool hasUri = false, hasQop = false, hasAlgorithm = false, hasOpaque = false;
};
// False when the value is not of the Digest scheme or is malformed.
bool parseDigestCredentials(const char* authorization, DigestCredentials* credentials);
