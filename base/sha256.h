// SHA-256 (FIPS 180-4): what pins an image between the fleet's parent,
// which checked it, and each child, which serves it.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t kSha256HexSize = 65;  // 64 lowercase hex digits and the NUL

// The hex digest of one block of bytes.
void sha256HexOf(const void* data, size_t length, char hex[kSha256HexSize]);
