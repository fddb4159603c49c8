// What a device makes of the bytes it received: is the image whole
// (the header's length field, offset 88, big-endian), and which version
// does it carry (offset 92, NUL-terminated within the 128-byte header).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ImageCheck {
    bool hasLengthField = false;
    uint32_t lengthField = 0;
    bool complete = false;
    std::string version;  // empty when the header holds none
};

ImageCheck checkReceivedImage(const std::vector<uint8_t>& bytes, bool transferFinished);

// The outcome as one log line: "received N bytes, length field L: complete".
std::string describeImageCheck(const ImageCheck& check, size_t receivedBytes);
