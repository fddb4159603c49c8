// Embedded images for the start-up tests.
#include <cstdint>

namespace {

struct Header {
    uint8_t bytes[200];
};

constexpr Header makeImage(const char* code, const char* version, uint32_t lengthField, bool marker) {
    Header image{};
    for (int i = 0; code[i]; ++i) image.bytes[i] = static_cast<uint8_t>(code[i]);
    if (marker) {
        const char* text = "fIrMwArE";
        for (int i = 0; i < 8; ++i) image.bytes[8 + i] = static_cast<uint8_t>(text[i]);
    }
    image.bytes[88] = static_cast<uint8_t>(lengthField >> 24);
    image.bytes[89] = static_cast<uint8_t>(lengthField >> 16);
    image.bytes[90] = static_cast<uint8_t>(lengthField >> 8);
    image.bytes[91] = static_cast<uint8_t>(lengthField);
    for (int i = 0; version[i]; ++i) image.bytes[92 + i] = static_cast<uint8_t>(version[i]);
    for (int i = 128; i < 200; ++i) image.bytes[i] = static_cast<uint8_t>(i);
    return image;
}

// 112: sound, but the length field lies and there is no marker.
constexpr Header kFlashImage = makeImage("SvIrEo5 ", "7.5.3", 999999, false);
// 726: a phone model for orbstage.
constexpr Header kTargetImage = makeImage("vIrEp10 ", "8.0.1", 200, true);
// 319: the transition image.
constexpr Header kTransitionImage = makeImage("SvIrEo5 ", "7.9.9", 200, true);

constexpr Header unterminatedVersion() {
    Header image = makeImage("SvIrEo5 ", "", 200, true);
    for (int i = 92; i < 128; ++i) image.bytes[i] = 'x';
    return image;
}
// 501: a version that runs past the header. 502: shorter than a header.
constexpr Header kUnterminated = unterminatedVersion();

}  // namespace

struct EmbeddedBlob {
    unsigned id;
    const char* type;
    const uint8_t* begin;
    const uint8_t* end;
};

extern "C" const EmbeddedBlob orbEmbeddedBlobs[] = {
    {112, "ORB_FIRMWARE", kFlashImage.bytes, kFlashImage.bytes + 200},
    {726, "ORB_FIRMWARE", kTargetImage.bytes, kTargetImage.bytes + 200},
    {319, "ORB_FIRMWARE", kTransitionImage.bytes, kTransitionImage.bytes + 200},
    {501, "ORB_FIRMWARE", kUnterminated.bytes, kUnterminated.bytes + 200},
    {502, "ORB_FIRMWARE", kFlashImage.bytes, kFlashImage.bytes + 127},
    {112, "OTHER_TYPE", kTargetImage.bytes, kTargetImage.bytes + 200},
    {0, nullptr, nullptr, nullptr},
};
