#include "core/same_device.h"

#include <cctype>
#include <cstring>
#include <string>

#include "base/text.h"

namespace {

std::string trimmed(const char* text) {
    std::string s = text;
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// The MAC's hex digits in lower case: "00:0E:08:12:34:56" is "000e08123456".
std::string macDigits(const char* text) {
    std::string digits;
    for (const char* c = text; *c; ++c)
        if (std::isxdigit(static_cast<unsigned char>(*c)))
            digits += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return digits;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

enum class Fact { Shown, Missing, Differs };

Fact compare(const char* before, const char* read, bool present, std::string (*key)(const char*)) {
    if (trimmed(before).empty()) return Fact::Shown;  // nothing to hold it to
    if (!present) return Fact::Missing;
    return key(before) == key(read) ? Fact::Shown : Fact::Differs;
}

std::string serialKey(const char* text) { return trimmed(text); }
std::string macKey(const char* text) { return macDigits(text); }
std::string productKey(const char* text) { return lowerCase(trimmed(text)); }

}  // namespace

PageAfterUpload judgePageAfterUpload(const DeviceFacts& before, int got, const RequestReply& page) {
    // A page cut short (the device went down while sending it) may end
    // inside a fact, and a cut value is no value.
    if (got <= 0 || !page.whole) return PageAfterUpload::NoAnswer;
    const DeviceFacts& read = page.facts;
    const Fact facts[] = {
        compare(before.serialNumber, read.serialNumber, page.found & kFactSerial, serialKey),
        compare(before.macAddress, read.macAddress, page.found & kFactMac, macKey),
        compare(before.productName, read.productName, page.found & kFactProduct, productKey),
    };
    bool missing = !(page.found & kFactSoftware) || trimmed(read.softwareVersion).empty();
    for (Fact fact : facts) {
        if (fact == Fact::Differs) return PageAfterUpload::OtherDevice;
        missing = missing || fact == Fact::Missing;
    }
    return missing ? PageAfterUpload::NoAnswer : PageAfterUpload::SameDevice;
}

void describeIdentity(const DeviceFacts& facts, char* out, size_t size) {
    formatText(out, size, "serial %s, MAC %s", facts.serialNumber[0] ? facts.serialNumber : "none",
               facts.macAddress[0] ? facts.macAddress : "none");
}
