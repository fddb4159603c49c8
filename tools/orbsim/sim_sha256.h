// SHA-256 (FIPS 180-4) of the bytes a device received, for its record: the
// campaign driver compares it with the image it served.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The digest in 64 lower-case hex digits.
std::string sha256Hex(const std::vector<uint8_t>& bytes);
