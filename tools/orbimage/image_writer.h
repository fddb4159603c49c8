// Writing and reading image files for the build and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ImagePlan {
    std::string productCode;       // 1 to 8 characters
    std::string version;           // at most 35 characters
    uint32_t totalSize = 0;        // whole image, header included; 0: header + payload
    std::vector<uint8_t> payload;  // empty: deterministic pseudo-random bytes
    uint32_t seed = 0x5EED1234u;
    bool marker = true;
    bool lengthOverride = false;
    uint32_t length = 0;  // offset 88 when lengthOverride
};

// Empty result and a reason in error when the plan cannot be written.
std::vector<uint8_t> buildImage(const ImagePlan& plan, std::string* error);

struct ImageFacts {
    std::string productCode;
    std::string version;
    uint32_t size = 0;
    uint32_t lengthField = 0;
    bool marker = false;
    uint32_t blocks = 0;
};

// False and a reason in error for a file the programs could not embed.
bool readImageFacts(const std::vector<uint8_t>& image, ImageFacts* facts, std::string* error);
