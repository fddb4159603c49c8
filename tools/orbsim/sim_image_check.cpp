#include "tools/orbsim/sim_image_check.h"

namespace {
const size_t kLengthOffset = 88;
const size_t kVersionOffset = 92;
const size_t kHeaderSize = 128;
}  // namespace

ImageCheck checkReceivedImage(const std::vector<uint8_t>& bytes, bool transferFinished) {
    ImageCheck check;
    if (bytes.size() >= kLengthOffset + 4) {
        check.hasLengthField = true;
        check.lengthField = static_cast<uint32_t>(bytes[kLengthOffset]) << 24 |
                            static_cast<uint32_t>(bytes[kLengthOffset + 1]) << 16 |
                            static_cast<uint32_t>(bytes[kLengthOffset + 2]) << 8 | bytes[kLengthOffset + 3];
    }
    size_t headerEnd = bytes.size() < kHeaderSize ? bytes.size() : kHeaderSize;
    for (size_t i = kVersionOffset; i < headerEnd; ++i) {
        if (bytes[i] == 0) {
            check.version.assign(bytes.begin() + kVersionOffset, bytes.begin() + i);
            break;
        }
    }
    check.complete = transferFinished && check.hasLengthField && check.lengthField == bytes.size();
    return check;
}

std::string describeImageCheck(const ImageCheck& check, size_t receivedBytes) {
    std::string line = "received " + std::to_string(receivedBytes) + " bytes, ";
    line += check.hasLengthField ? "length field " + std::to_string(check.lengthField) : "no length field";
    return line + (check.complete ? ": complete" : ": incomplete");
}
