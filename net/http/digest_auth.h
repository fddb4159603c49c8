// Client side of HTTP Digest access authentication (RFC 2617) on MD5: the
// digest computations, the challenge parse and the Authorization line.
// computeHa1 and computeResponse take everything as arguments, so the
// simulated device can check a request with them too.
#pragma once

#include <cstddef>

#include "net/http/digest_challenge.h"
#include "net/http/md5.h"

// H(A1) as hex. "md5-sess" in any letter case selects the session form;
// any other algorithm value gives the plain form.
void computeHa1(const char* algorithm, const char* userName, const char* realm, const char* password, const char* nonce,
                const char* cnonce, char ha1Hex[kMd5HexSize]);

// The request-digest as hex. ncText and cnonce enter only when qop is
// non-empty; the entity body only when qop is "auth-int" (any case).
void computeResponse(const char* ha1Hex, const char* nonce, const char* ncText, const char* cnonce, const char* qop,
                     const char* method, const char* uri, const char* entityBody, char responseHex[kMd5HexSize]);

// computeHa1, then computeResponse with its result.
void computeDigestResponse(const char* nonce, const char* cnonce, const char* userName, const char* realm,
                           const char* password, const char* algorithm, const char* ncText, const char* method,
                           const char* qop, const char* uri, const char* entityBody, char responseHex[kMd5HexSize]);

// Parses a challenge from text[0, length), which starts at the
// "WWW-Authenticate:" header name and runs to the end of the received data.
// Keys are found case-sensitive anywhere in it; values are quoted (to the
// next double quote) or unquoted tokens (to a comma, blank or line end),
// cut to fit their fields. Returns false, leaving the record as it was,
// when the realm or the nonce is missing or a value holds a control byte
// (below 0x20, or 0x7F). On success a nonce that differs from the last one
// resets nonceCount, and a new cnonce is drawn.
bool parseDigestChallenge(const char* text, size_t length, DigestChallenge* challenge);
bool parseDigestChallenge(const char* text, DigestChallenge* challenge);

// Writes the Authorization header line for a GET, CR LF included, and
// returns its length; 0 (and an empty text) if it does not fit in size or
// a value it would write holds a control byte.
int buildAuthorizationLine(const DigestChallenge& challenge, char* out, size_t size);

// The longest line buildAuthorizationLine can write, NUL not counted.
const size_t kMaxAuthorizationLine = 1024;
