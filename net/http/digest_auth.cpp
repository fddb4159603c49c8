#include "net/http/digest_auth.h"

#include <cstring>
#include <initializer_list>

#include "base/text.h"
#include "net/http/byte_search.h"
#include "platform/platform_random.h"

namespace {

bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

// Finds key (with its '=') in text and copies the value behind it into
// field, cut to the field. A quoted value ends at the next double quote,
// the end of the data or a NUL byte (no unescaping); an unquoted one also
// at a comma, a blank or a line end. A key with nothing behind it in the
// data is missing.
bool copyValue(const char* text, size_t length, const char* key, char* field, size_t fieldSize) {
    size_t at = findBytes(text, length, key);
    if (at == kNotFound) return false;
    size_t start = at + std::strlen(key);
    if (start == length) return false;
    const bool quoted = text[start] == '"';
    if (quoted) ++start;
    size_t end = start;
    while (end < length && text[end] != '"' && text[end] != '\0' &&
           (quoted ||
            (text[end] != ',' && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' && text[end] != '\n')))
        ++end;
    size_t take = end - start;
    if (take > fieldSize - 1) take = fieldSize - 1;
    std::memcpy(field, text + start, take);
    field[take] = '\0';
    return true;
}

template <size_t N>
void copyValueOrEmpty(const char* text, size_t length, const char* key, char (&field)[N]) {
    if (!copyValue(text, length, key, field, N)) field[0] = '\0';
}

// Control bytes in a value written back would break or add header lines.
bool holdsControl(const char* value) {
    for (; *value; ++value) {
        unsigned char c = static_cast<unsigned char>(*value);
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

}  // namespace

void computeHa1(const char* algorithm, const char* userName, const char* realm, const char* password, const char* nonce,
                const char* cnonce, char ha1Hex[kMd5HexSize]) {
    Md5State state;
    md5Init(&state);
    md5AddText(&state, userName);
    md5AddText(&state, ":");
    md5AddText(&state, realm);
    md5AddText(&state, ":");
    md5AddText(&state, password);
    uint8_t digest[kMd5Size];
    md5Finish(&state, digest);
    if (equalsIgnoringCase(algorithm, "md5-sess")) {
        // The raw 16 bytes, not their hex form.
        md5Init(&state);
        md5Add(&state, digest, kMd5Size);
        md5AddText(&state, ":");
        md5AddText(&state, nonce);
        md5AddText(&state, ":");
        md5AddText(&state, cnonce);
        md5Finish(&state, digest);
    }
    md5Hex(digest, ha1Hex);
}

void computeResponse(const char* ha1Hex, const char* nonce, const char* ncText, const char* cnonce, const char* qop,
                     const char* method, const char* uri, const char* entityBody, char responseHex[kMd5HexSize]) {
    Md5State state;
    md5Init(&state);
    md5AddText(&state, method);
    md5AddText(&state, ":");
    md5AddText(&state, uri);
    if (equalsIgnoringCase(qop, "auth-int")) {
        char bodyHex[kMd5HexSize];
        md5HexOf(entityBody, std::strlen(entityBody), bodyHex);
        md5AddText(&state, ":");
        md5AddText(&state, bodyHex);
    }
    uint8_t digest[kMd5Size];
    md5Finish(&state, digest);
    char ha2Hex[kMd5HexSize];
    md5Hex(digest, ha2Hex);

    md5Init(&state);
    md5AddText(&state, ha1Hex);
    md5AddText(&state, ":");
    md5AddText(&state, nonce);
    md5AddText(&state, ":");
    if (qop[0] != '\0') {
        md5AddText(&state, ncText);
        md5AddText(&state, ":");
        md5AddText(&state, cnonce);
        md5AddText(&state, ":");
        md5AddText(&state, qop);
        md5AddText(&state, ":");
    }
    md5AddText(&state, ha2Hex);
    md5Finish(&state, digest);
    md5Hex(digest, responseHex);
}

void computeDigestResponse(const char* nonce, const char* cnonce, const char* userName, const char* realm,
                           const char* password, const char* algorithm, const char* ncText, const char* method,
                           const char* qop, const char* uri, const char* entityBody, char responseHex[kMd5HexSize]) {
    char ha1Hex[kMd5HexSize];
    computeHa1(algorithm, userName, realm, password, nonce, cnonce, ha1Hex);
    computeResponse(ha1Hex, nonce, ncText, cnonce, qop, method, uri, entityBody, responseHex);
}

bool parseDigestChallenge(const char* text, size_t length, DigestChallenge* challenge) {
    // All found and checked before anything changes: a rejected challenge
    // must not leave a value behind that the next Authorization line would use.
    char realm[sizeof challenge->realm];
    char nonce[sizeof challenge->nonce];
    char algorithm[sizeof challenge->algorithm];
    char qop[sizeof challenge->qop];
    char opaque[sizeof challenge->opaque];
    if (!copyValue(text, length, "realm=", realm, sizeof realm)) return false;
    if (!copyValue(text, length, "nonce=", nonce, sizeof nonce)) return false;
    copyValueOrEmpty(text, length, "algorithm=", algorithm);
    copyValueOrEmpty(text, length, "qop=", qop);
    copyValueOrEmpty(text, length, "opaque=", opaque);
    for (const char* value : {realm, nonce, algorithm, qop, opaque}) {
        if (holdsControl(value)) return false;
    }

    copyText(challenge->realm, sizeof challenge->realm, realm);
    copyText(challenge->nonce, sizeof challenge->nonce, nonce);
    if (std::strcmp(challenge->nonce, challenge->lastNonce) != 0) {
        copyText(challenge->lastNonce, sizeof challenge->lastNonce, challenge->nonce);
        challenge->nonceCount = 0;
    }
    formatText(challenge->cnonce, sizeof challenge->cnonce, "%x", osRandom15());
    copyText(challenge->algorithm, sizeof challenge->algorithm, algorithm);
    copyText(challenge->qop, sizeof challenge->qop, qop);
    copyText(challenge->opaque, sizeof challenge->opaque, opaque);
    return true;
}

bool parseDigestChallenge(const char* text, DigestChallenge* challenge) {
    return parseDigestChallenge(text, std::strlen(text), challenge);
}

int buildAuthorizationLine(const DigestChallenge& challenge, char* out, size_t size) {
    const bool withQop = challenge.qop[0] != '\0';
    for (const char* value : {challenge.userName, challenge.realm, challenge.nonce, challenge.digestUri,
                              challenge.algorithm, challenge.opaque, challenge.qop, withQop ? challenge.cnonce : ""}) {
        if (holdsControl(value)) {
            if (size > 0) out[0] = '\0';
            return 0;
        }
    }
    char ncText[16] = "";
    if (challenge.qop[0] != '\0') formatText(ncText, sizeof ncText, "%09x", challenge.nonceCount);
    char response[kMd5HexSize];
    computeDigestResponse(challenge.nonce, challenge.cnonce, challenge.userName, challenge.realm, challenge.password,
                          challenge.algorithm, ncText, "GET", challenge.qop, challenge.digestUri, "", response);

    char line[kMaxAuthorizationLine + 1];
    int length = formatText(line, sizeof line,
                            "Authorization: Digest username=\"%s\",realm=\"%s\",nonce=\"%s\",uri=\"%s\","
                            "algorithm=\"%s\",response=\"%s\"",
                            challenge.userName, challenge.realm, challenge.nonce, challenge.digestUri,
                            challenge.algorithm, response);
    if (challenge.opaque[0] != '\0') {
        length += formatText(line + length, sizeof line - length, ",opaque=\"%s\"", challenge.opaque);
    }
    if (challenge.qop[0] != '\0') {
        length += formatText(line + length, sizeof line - length, ",qop=%s,nc=%09x,cnonce=\"%s\"", challenge.qop,
                             challenge.nonceCount, challenge.cnonce);
    }
    length += formatText(line + length, sizeof line - length, "\r\n");
    if (size == 0) return 0;
    if (static_cast<size_t>(length) + 1 > size) {
        out[0] = '\0';
        return 0;
    }
    std::memcpy(out, line, static_cast<size_t>(length) + 1);
    return length;
}
