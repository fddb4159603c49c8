// An image embedded in the program: the bytes as mapped, never copied, and
// a copy of the 128-byte header from which the product code and version are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/sha256.h"

const char kFirmwareResourceType[] = "ORB_FIRMWARE";
const uint32_t kImageHeaderSize = 128;
const uint32_t kImageMarkerOffset = 8;
const uint32_t kImageLengthOffset = 88;
const uint32_t kImageVersionOffset = 92;

struct FirmwareImage {
    const uint8_t* data;
    uint32_t size;
    uint8_t header[kImageHeaderSize];
    char sha256[kSha256HexSize];  // "" until computed (the command line shows it)
};

// Null data when the resource is missing or its header is unusable.
FirmwareImage loadFirmwareImage(unsigned resourceId);

// A header we can read: at least 128 bytes and the version ends inside it.
inline bool imageHeaderIsSound(const uint8_t* data, uint32_t size) {
    if (!data || size < kImageHeaderSize) return false;
    return std::memchr(data + kImageVersionOffset, 0, kImageHeaderSize - kImageVersionOffset) != nullptr;
}

const char* imageVersion(const FirmwareImage& image);
// Fills image.sha256 from its bytes.
void computeImageDigest(FirmwareImage* image);

// An image from a file, read whole: the same header checks as the embedded
// ones, and the marker at offset 8 and the length field at offset 88 must
// agree with the file (a built-in image is served whatever they say). The
// bytes stay in memory until the process ends; sha256 is filled. False
// with a reason in error when the file cannot be read or is no usable image.
bool loadFirmwareImageFile(const char* path, FirmwareImage* image, char* error, size_t errorSize);

// The private copy a fleet's parent made of the image it checked as name,
// mapped read-only (every child shares its pages) and refused unless its
// SHA-256 is still sha256; then the same checks as a file.
bool mapFirmwareImageCopy(const char* copy, const char* name, const char* sha256, FirmwareImage* image, char* error,
                          size_t errorSize);
