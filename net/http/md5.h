// MD5 (RFC 1321): initialise, add bytes, finish; and the digest's hex form.
#pragma once

#include <cstddef>
#include <cstdint>

struct Md5State {
    uint32_t words[4];
    uint64_t byteCount;
    uint8_t pending[64];
};

const size_t kMd5Size = 16;
const size_t kMd5HexSize = 33;  // 32 digits and the NUL

void md5Init(Md5State* state);
void md5Add(Md5State* state, const void* data, size_t length);
void md5AddText(Md5State* state, const char* text);
void md5Finish(Md5State* state, uint8_t digest[kMd5Size]);

// 32 lowercase hex digits, high nibble first, and a NUL.
void md5Hex(const uint8_t digest[kMd5Size], char hex[kMd5HexSize]);

// The hex digest of one block of bytes.
void md5HexOf(const void* data, size_t length, char hex[kMd5HexSize]);
