#include "tools/orbsim/sim_digest_guard.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <random>

#include "net/http/digest_auth.h"
#include "net/http/md5.h"

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string makeNonce(uint32_t serial) {
    static std::random_device source;
    static const char digits[] = "0123456789abcdef";
    std::string nonce;
    for (int i = 0; i < 6; ++i) {
        uint32_t word = source();
        for (int j = 0; j < 8; ++j) nonce += digits[(word >> (4 * j)) & 15];
    }
    // The serial keeps consecutive nonces apart whatever the source gives.
    char tail[16];
    std::snprintf(tail, sizeof tail, "%08x", serial);
    return nonce + tail;
}

// The offered qop values one by one ("auth,auth-int" offers both).
bool qopOffered(const std::string& offered, const std::string& sent) {
    if (sent == offered) return true;  // our own client echoes a list whole
    size_t start = 0;
    while (start <= offered.size()) {
        size_t comma = offered.find(',', start);
        std::string one = offered.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (sameIgnoringCase(one, sent)) return true;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return false;
}

bool isHex(const std::string& text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

GuardVerdict challenge(const std::string& reason, bool stale = false) {
    return GuardVerdict{GuardOutcome::Challenge, false, stale, reason};
}

// Some clients hash the hex form of the first digest under md5-sess (as the
// RFC's text reads), others its raw bytes (as the RFC's sample code does);
// a device in the field meets both.
std::string sessionHa1FromHex(const DigestGuardSettings& s, const std::string& nonce, const std::string& cnonce) {
    char plain[kMd5HexSize];
    computeHa1("", s.user.c_str(), s.realm.c_str(), s.password.c_str(), "", "", plain);
    std::string joined = std::string(plain) + ":" + nonce + ":" + cnonce;
    char ha1[kMd5HexSize];
    md5HexOf(joined.data(), joined.size(), ha1);
    return ha1;
}

std::string expectedResponse(const std::string& ha1, const DigestCredentials& c, const char* method) {
    char response[kMd5HexSize];
    computeResponse(ha1.c_str(), c.nonce.c_str(), c.nc.c_str(), c.cnonce.c_str(), c.qop.c_str(), method, c.uri.c_str(),
                    "", response);
    return response;
}

}  // namespace

bool parseDigestCredentials(const char* authorization, DigestCredentials* c) {
    *c = DigestCredentials();
    const char* p = authorization;
    while (isBlank(*p)) ++p;
    if (strncasecmp(p, "Digest", 6) != 0 || !(isBlank(p[6]))) return false;
    p += 6;
    std::string* lastUnquoted = nullptr;
    bool any = false;
    while (*p) {
        while (isBlank(*p) || *p == ',') ++p;
        if (!*p) break;
        const char* keyStart = p;
        while (*p && *p != '=' && *p != ',' && !isBlank(*p)) ++p;
        std::string key = lower(std::string(keyStart, p));
        while (isBlank(*p)) ++p;
        if (*p != '=') {
            // A bare word continues an unquoted list value, as in qop=auth,auth-int.
            if (!lastUnquoted) return false;
            *lastUnquoted += "," + std::string(keyStart, keyStart + (p - keyStart));
            continue;
        }
        ++p;
        while (isBlank(*p)) ++p;
        std::string value;
        bool quoted = *p == '"';
        if (quoted) {
            ++p;
            while (*p && *p != '"') {
                if (*p == '\\' && p[1]) ++p;
                value += *p++;
            }
            if (*p != '"') return false;
            ++p;
        } else {
            while (*p && *p != ',' && !isBlank(*p)) value += *p++;
        }
        std::string* field = nullptr;
        if (key == "username")
            field = &c->username;
        else if (key == "realm")
            field = &c->realm;
        else if (key == "nonce")
            field = &c->nonce;
        else if (key == "uri")
            field = &c->uri, c->hasUri = true;
        else if (key == "response")
            field = &c->response;
        else if (key == "algorithm")
            field = &c->algorithm, c->hasAlgorithm = true;
        else if (key == "opaque")
            field = &c->opaque, c->hasOpaque = true;
        else if (key == "qop")
            field = &c->qop, c->hasQop = true;
        else if (key == "nc")
            field = &c->nc;
        else if (key == "cnonce")
            field = &c->cnonce;
        if (field) *field = value;
        lastUnquoted = field && !quoted ? field : nullptr;
        any = true;
    }
    return any;
}

void guardStart(DigestGuard* guard, const DigestGuardSettings& settings) {
    *guard = DigestGuard();
    guard->settings = settings;
    guardRenewNonce(guard);
    guard->staleNonces.clear();
}

void guardRenewNonce(DigestGuard* guard) {
    // A few: a device that restarted twice (--flap) still calls the nonce
    // from before both stale.
    guard->staleNonces.push_back(guard->nonce);
    if (guard->staleNonces.size() > 8) guard->staleNonces.erase(guard->staleNonces.begin());
    guard->nonce = guard->settings.fixedNonce ? guard->settings.nonce : makeNonce(++guard->nonceSerial);
    guard->nonceShown = false;
    guard->requestsOnNonce = 0;
}

std::string guardChallengeLine(DigestGuard* guard, bool stale) {
    return "WWW-Authenticate: " + guardChallenge(guard, stale) + "\r\n";
}

std::string guardChallenge(DigestGuard* guard, bool stale) {
    const DigestGuardSettings& s = guard->settings;
    std::string line = "Digest realm=\"" + s.realm + "\",nonce=\"" + guard->nonce + "\"";
    if (!s.qop.empty()) line += ",qop=\"" + s.qop + "\"";
    if (!s.algorithm.empty())
        line += s.algorithmUnquoted ? ",algorithm=" + s.algorithm : ",algorithm=\"" + s.algorithm + "\"";
    if (!s.opaque.empty()) line += ",opaque=\"" + s.opaque + "\"";
    if (stale) line += ",stale=true";
    guard->nonceShown = true;
    return line;
}

GuardVerdict guardCheck(DigestGuard* guard, const char* method, const char* authorization, const char* requestUri) {
    const DigestGuardSettings& s = guard->settings;
    if (s.nonceEvery && ++guard->requestsOnNonce > s.nonceEvery) {
        guardRenewNonce(guard);
        guard->requestsOnNonce = 1;
    }
    GuardVerdict verdict = [&]() -> GuardVerdict {
        if (s.always401) return challenge("refusing everything");
        if (!authorization) return challenge("no credentials");
        DigestCredentials c;
        if (!parseDigestCredentials(authorization, &c)) return challenge("not a Digest authorization");
        if (c.username.empty() || c.nonce.empty() || c.response.empty() || !c.hasUri)
            return challenge("parameters missing");
        if (s.strictUri && requestUri && c.uri != requestUri)
            return GuardVerdict{GuardOutcome::BadRequest, false, false,
                                "uri mismatch: <" + c.uri + "> is not <" + requestUri + ">"};
        if (c.nonce != guard->nonce) {
            const std::vector<std::string>& stale = guard->staleNonces;
            if (std::find(stale.begin(), stale.end(), c.nonce) != stale.end()) return challenge("stale nonce", true);
            return challenge("unknown nonce");
        }
        if (c.username != s.user) return challenge("wrong user");
        if (c.realm != s.realm) return challenge("wrong realm");
        if (!s.opaque.empty() && c.opaque != s.opaque) return challenge("wrong opaque");
        if (c.hasAlgorithm && !c.algorithm.empty()) {
            bool known = sameIgnoringCase(c.algorithm, s.algorithm) ||
                         (s.algorithm.empty() && sameIgnoringCase(c.algorithm, "MD5"));
            if (!known) return challenge("wrong algorithm");
        }
        // nc is not checked for replays: a client that starts afresh (as every
        // curl run does) counts from 1 again on a nonce that is still current.
        if (s.qop.empty()) {
            if (c.hasQop) return challenge("qop not offered");
            // A cnonce sent anyway still counts for md5-sess.
            c.nc.clear();
        } else {
            if (!c.hasQop || !qopOffered(s.qop, c.qop)) return challenge("wrong qop");
            if (!isHex(c.nc, 16) || c.cnonce.empty()) return challenge("nc or cnonce missing");
        }
        char ha1[kMd5HexSize];
        computeHa1(s.algorithm.c_str(), s.user.c_str(), s.realm.c_str(), s.password.c_str(), c.nonce.c_str(),
                   c.cnonce.c_str(), ha1);
        std::string sent = lower(c.response);
        bool match = sent == expectedResponse(ha1, c, method);
        if (!match && sameIgnoringCase(s.algorithm, "md5-sess"))
            match = sent == expectedResponse(sessionHa1FromHex(s, c.nonce, c.cnonce), c, method);
        if (!match) return challenge("wrong response");
        return GuardVerdict{GuardOutcome::Accepted, false, false, "authorised"};
    }();
    if (verdict.outcome == GuardOutcome::Challenge) verdict.newNonce = !guard->nonceShown;
    return verdict;
}
