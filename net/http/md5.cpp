#include "net/http/md5.h"

#include <cstring>

namespace {

const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

const unsigned kShift[64] = {7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 5,  9,  14, 20, 5,  9,
                             14, 20, 5,  9,  14, 20, 5,  9,  14, 20, 4,  11, 16, 23, 4,  11, 16, 23, 4,  11, 16, 23,
                             4,  11, 16, 23, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21};

uint32_t rotateLeft(uint32_t value, unsigned count) { return (value << count) | (value >> (32 - count)); }

void transform(uint32_t words[4], const uint8_t block[64]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
        // Little-endian words whatever the host.
        m[i] = static_cast<uint32_t>(block[i * 4]) | static_cast<uint32_t>(block[i * 4 + 1]) << 8 |
               static_cast<uint32_t>(block[i * 4 + 2]) << 16 | static_cast<uint32_t>(block[i * 4 + 3]) << 24;
    }
    uint32_t a = words[0], b = words[1], c = words[2], d = words[3];
    for (unsigned i = 0; i < 64; ++i) {
        uint32_t f;
        unsigned g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        uint32_t next = b + rotateLeft(a + f + kSine[i] + m[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    words[0] += a;
    words[1] += b;
    words[2] += c;
    words[3] += d;
}

}  // namespace

void md5Init(Md5State* state) {
    state->words[0] = 0x67452301;
    state->words[1] = 0xefcdab89;
    state->words[2] = 0x98badcfe;
    state->words[3] = 0x10325476;
    state->byteCount = 0;
}

void md5Add(Md5State* state, const void* data, size_t length) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t used = static_cast<size_t>(state->byteCount % 64);
    state->byteCount += length;
    if (used != 0) {
        size_t take = 64 - used < length ? 64 - used : length;
        std::memcpy(state->pending + used, bytes, take);
        bytes += take;
        length -= take;
        if (used + take < 64) return;
        transform(state->words, state->pending);
    }
    for (; length >= 64; bytes += 64, length -= 64) transform(state->words, bytes);
    if (length != 0) std::memcpy(state->pending, bytes, length);
}

void md5AddText(Md5State* state, const char* text) { md5Add(state, text, std::strlen(text)); }

void md5Finish(Md5State* state, uint8_t digest[kMd5Size]) {
    uint64_t bitCount = state->byteCount * 8;
    uint8_t padding[72] = {0x80};
    size_t used = static_cast<size_t>(state->byteCount % 64);
    size_t padLength = used < 56 ? 56 - used : 120 - used;
    for (int i = 0; i < 8; ++i) padding[padLength + i] = static_cast<uint8_t>(bitCount >> (8 * i));
    md5Add(state, padding, padLength + 8);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) digest[i * 4 + j] = static_cast<uint8_t>(state->words[i] >> (8 * j));
    }
}

void md5Hex(const uint8_t digest[kMd5Size], char hex[kMd5HexSize]) {
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < kMd5Size; ++i) {
        hex[i * 2] = kDigits[digest[i] >> 4];
        hex[i * 2 + 1] = kDigits[digest[i] & 0x0f];
    }
    hex[kMd5Size * 2] = '\0';
}

void md5HexOf(const void* data, size_t length, char hex[kMd5HexSize]) {
    Md5State state;
    md5Init(&state);
    md5Add(&state, data, length);
    uint8_t digest[kMd5Size];
    md5Finish(&state, digest);
    md5Hex(digest, hex);
}
