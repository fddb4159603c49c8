#include "core/firmware_image.h"

#include <cstring>

#include "platform/platform_resource.h"

FirmwareImage loadFirmwareImage(unsigned resourceId) {
    FirmwareImage image{};
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!findEmbeddedResource(resourceId, kFirmwareResourceType, &data, &size)) return image;
    if (!imageHeaderIsSound(data, size)) return image;
    image.data = data;
    image.size = size;
    std::memcpy(image.header, data, kImageHeaderSize);
    return image;
}

const char* imageVersion(const FirmwareImage& image) {
    return reinterpret_cast<const char*>(image.header + kImageVersionOffset);
}
