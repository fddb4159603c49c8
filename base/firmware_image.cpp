#include "base/firmware_image.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/file_kind.h"
#include "base/text.h"
#include "platform/platform_shared_files.h"
#include "platform/platform_resource.h"

namespace {

// The checks of an image given as a file, naming it in the reason.
bool imageBytesUsable(const char* name, const uint8_t* bytes, uint32_t size, char* error, size_t errorSize) {
    if (size < kImageHeaderSize) {
        formatText(error, errorSize, "%s: not a firmware image (shorter than its 128-byte header)", name);
        return false;
    }
    if (!imageHeaderIsSound(bytes, size)) {
        formatText(error, errorSize, "%s: not a firmware image (its version at offset 92 does not end in the header)",
                   name);
        return false;
    }
    if (std::memcmp(bytes + kImageMarkerOffset, "fIrMwArE", 8) != 0) {
        formatText(error, errorSize, "%s: damaged image: no image marker at offset 8", name);
        return false;
    }
    const uint8_t* field = bytes + kImageLengthOffset;
    const uint32_t length = uint32_t{field[0]} << 24 | uint32_t{field[1]} << 16 | uint32_t{field[2]} << 8 | field[3];
    if (length != size) {
        // Served whole, a cut or padded file costs the device its restart wait.
        formatText(error, errorSize, "%s: damaged image: its length field says %u bytes, the file has %u", name,
                   length, size);
        return false;
    }
    return true;
}

void takeImage(FirmwareImage* image, const uint8_t* bytes, uint32_t size) {
    *image = FirmwareImage{};
    image->data = bytes;
    image->size = size;
    std::memcpy(image->header, bytes, kImageHeaderSize);
}

}  // namespace

FirmwareImage loadFirmwareImage(unsigned resourceId) {
    FirmwareImage image{};
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!findEmbeddedResource(resourceId, kFirmwareResourceType, &data, &size)) return image;
    if (!imageHeaderIsSound(data, size)) return image;
    takeImage(&image, data, size);
    return image;
}

const char* imageVersion(const FirmwareImage& image) {
    return reinterpret_cast<const char*>(image.header + kImageVersionOffset);
}

void computeImageDigest(FirmwareImage* image) {
    if (image->data) sha256HexOf(image->data, image->size, image->sha256);
}

bool loadFirmwareImageFile(const char* path, FirmwareImage* image, char* error, size_t errorSize) {
    // A folder opens and measures as huge; a FIFO would block.
    if (const char* what = notRegularFile(path)) {
        formatText(error, errorSize, "%s is %s, not a firmware image", path, what);
        return false;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        formatText(error, errorSize, "cannot read %s", path);
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    long length = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    if (length > 0x7FFFFFFFL) {
        std::fclose(file);
        formatText(error, errorSize, "%s: too large for a firmware image", path);
        return false;
    }
    // Never freed: an image lives as long as the run, like the embedded ones.
    uint8_t* bytes = length > 0 ? new (std::nothrow) uint8_t[static_cast<size_t>(length)] : nullptr;
    bool read = bytes && std::fread(bytes, 1, static_cast<size_t>(length), file) == static_cast<size_t>(length);
    std::fclose(file);
    if (!read) length = 0;
    if (!imageBytesUsable(path, bytes, static_cast<uint32_t>(length), error, errorSize)) {
        delete[] bytes;
        return false;
    }
    takeImage(image, bytes, static_cast<uint32_t>(length));
    computeImageDigest(image);
    return true;
}

bool mapFirmwareImageCopy(const char* copy, const char* name, const char* sha256, FirmwareImage* image, char* error,
                          size_t errorSize) {
    const uint8_t* bytes = nullptr;
    uint64_t size = 0;
    char why[256];
    if (!fileMapReadOnly(copy, &bytes, &size, why, sizeof why)) {
        formatText(error, errorSize, "%s: cannot map its copy %s: %s", name, copy, why);
        return false;
    }
    char digest[kSha256HexSize];
    sha256HexOf(bytes, static_cast<size_t>(size), digest);
    if (std::strcmp(digest, sha256) != 0) {
        formatText(error, errorSize, "%s: damaged image: its copy %s has SHA-256 %s, not the %s checked at the start",
                   name, copy, digest, sha256);
        return false;
    }
    if (size > 0x7FFFFFFFu || !imageBytesUsable(name, bytes, static_cast<uint32_t>(size), error, errorSize))
        return false;
    takeImage(image, bytes, static_cast<uint32_t>(size));
    copyText(image->sha256, sizeof image->sha256, digest);
    return true;
}
