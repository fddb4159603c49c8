// Device text is bytes, not UTF-8: each byte taken as the code point of its
// value, so JSON written of whatever came from the network stays valid and
// reads back the same.
#pragma once

#include <string>

std::string bytesAsUtf8(const std::string& bytes);
std::string utf8AsBytes(const std::string& text);
