#include "tools/orbimage/image_writer.h"

#include <cstring>

#include "base/firmware_image.h"

static const char kMarker[] = "fIrMwArE";

std::vector<uint8_t> buildImage(const ImagePlan& plan, std::string* error) {
    if (plan.productCode.empty() || plan.productCode.size() > 8) {
        *error = "product code must have 1 to 8 characters";
        return {};
    }
    if (plan.version.size() > kImageHeaderSize - kImageVersionOffset - 1) {
        *error = "version must have at most 35 characters";
        return {};
    }
    uint32_t size = plan.totalSize;
    if (!plan.payload.empty()) size = kImageHeaderSize + static_cast<uint32_t>(plan.payload.size());
    if (size < kImageHeaderSize) {
        *error = "an image has at least 128 bytes";
        return {};
    }
    std::vector<uint8_t> image(size, 0);
    std::memcpy(image.data(), plan.productCode.data(), plan.productCode.size());
    if (plan.productCode.size() <= 7) image[7] = ' ';
    if (plan.marker) std::memcpy(image.data() + 8, kMarker, 8);
    uint32_t length = plan.lengthOverride ? plan.length : size;
    image[88] = static_cast<uint8_t>(length >> 24);
    image[89] = static_cast<uint8_t>(length >> 16);
    image[90] = static_cast<uint8_t>(length >> 8);
    image[91] = static_cast<uint8_t>(length);
    std::memcpy(image.data() + kImageVersionOffset, plan.version.data(), plan.version.size());
    if (!plan.payload.empty()) {
        std::memcpy(image.data() + kImageHeaderSize, plan.payload.data(), plan.payload.size());
    } else {
        uint32_t state = plan.seed ? plan.seed : 1u;  // xorshift32
        for (uint32_t i = kImageHeaderSize; i < size; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            image[i] = static_cast<uint8_t>(state);
        }
    }
    return image;
}

bool readImageFacts(const std::vector<uint8_t>& image, ImageFacts* facts, std::string* error) {
    if (image.size() > 0xFFFFFFFFu) {
        *error = "image larger than 4 GiB";
        return false;
    }
    uint32_t size = static_cast<uint32_t>(image.size());
    if (size < kImageHeaderSize) {
        *error = "shorter than the 128-byte header";
        return false;
    }
    if (!imageHeaderIsSound(image.data(), size)) {
        *error = "version string at offset 92 is not terminated inside the header";
        return false;
    }
    facts->size = size;
    facts->productCode.clear();
    for (int i = 0; i < 8 && image[i] != 0 && image[i] != ' '; ++i) facts->productCode += static_cast<char>(image[i]);
    facts->version = reinterpret_cast<const char*>(image.data() + kImageVersionOffset);
    facts->lengthField =
        (uint32_t{image[88]} << 24) | (uint32_t{image[89]} << 16) | (uint32_t{image[90]} << 8) | image[91];
    facts->marker = std::memcmp(image.data() + 8, kMarker, 8) == 0;
    facts->blocks = size / 512 + 1;
    return true;
}
