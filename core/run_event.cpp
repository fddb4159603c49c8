#include "core/run_event.h"

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

namespace {

// Device text is bytes: each byte stands for the code point of its value,
// so the JSON is valid whatever came from the network.
std::string bytesToUtf8(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf8ToBytes(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
            out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

struct TextField {
    const char* name;
    std::optional<std::string> RunEvent::*member;
};
struct NumberField {
    const char* name;
    std::optional<int64_t> RunEvent::*member;
};

// The schema, in the order fields are written.
const TextField kTexts[] = {
    {"role", &RunEvent::role},
    {"program", &RunEvent::program}, {"model", &RunEvent::model},       {"image", &RunEvent::image},
    {"address", &RunEvent::address}, {"product", &RunEvent::product},   {"serial", &RunEvent::serial},
    {"mac", &RunEvent::mac},         {"software", &RunEvent::software}, {"hardware", &RunEvent::hardware},
    {"file", &RunEvent::file},       {"from", &RunEvent::from},         {"level", &RunEvent::level},
    {"text", &RunEvent::text},       {"outcome", &RunEvent::outcome},   {"result", &RunEvent::result},
    {"phase", &RunEvent::phase},
    {"verdict", &RunEvent::verdict}, {"image_file", &RunEvent::imageFile}, {"image_sha256", &RunEvent::imageSha256},
    {"before", &RunEvent::before},
    {"after", &RunEvent::after},     {"start", &RunEvent::start},       {"end", &RunEvent::end},
};
const NumberField kNumbers[] = {
    {"size", &RunEvent::size},
    {"port", &RunEvent::port},
    {"status", &RunEvent::status},
    {"total", &RunEvent::total},
    {"bytes", &RunEvent::bytes},
    {"bytes_sent", &RunEvent::bytesSent},
    {"seconds", &RunEvent::seconds},
    {"left", &RunEvent::left},
    {"elapsed", &RunEvent::elapsed},
    {"limit", &RunEvent::limit},
    {"code", &RunEvent::code},
    {"devices", &RunEvent::devices},
    {"upgraded", &RunEvent::upgraded},
    {"current", &RunEvent::current},
    {"failed", &RunEvent::failed},
    {"not_started", &RunEvent::notStarted},
    {"would_upgrade", &RunEvent::wouldUpgrade},
    {"cpu_parent_ms", &RunEvent::cpuParentMs},
    {"cpu_children_ms", &RunEvent::cpuChildrenMs},
    {"peak_bytes_child", &RunEvent::peakBytesChild},
};

Json toJson(const RunEvent& e) {
    Json j;
    // A summary's results are events without a name of their own.
    if (!e.event.empty()) j["event"] = e.event;
    if (e.event != "summary") j["device"] = bytesToUtf8(e.device);
    for (const TextField& f : kTexts)
        if (e.*f.member) j[f.name] = bytesToUtf8(*(e.*f.member));
    for (const NumberField& f : kNumbers)
        if (e.*f.member) j[f.name] = *(e.*f.member);
    if (e.messageNull)
        j["message"] = nullptr;
    else if (e.message)
        j["message"] = bytesToUtf8(*e.message);
    if (e.version) j["version"] = bytesToUtf8(*e.version);
    if (e.event == "summary") {
        Json results = Json::array();
        for (const RunEvent& r : e.results) results.push_back(toJson(r));
        j["results"] = results;
    }
    if (!e.images.empty()) {
        Json images = Json::array();
        for (const RunEvent& image : e.images) {
            Json entry = toJson(image);
            entry.erase("device");
            images.push_back(entry);
        }
        j["images"] = images;
    }
    return j;
}

void fromJson(const Json& j, RunEvent* e) {
    e->event = j.value("event", "");
    e->device = utf8ToBytes(j.value("device", ""));
    for (const TextField& f : kTexts)
        if (j.contains(f.name) && j[f.name].is_string()) e->*f.member = utf8ToBytes(j[f.name].get<std::string>());
    for (const NumberField& f : kNumbers)
        if (j.contains(f.name) && j[f.name].is_number_integer()) e->*f.member = j[f.name].get<int64_t>();
    if (j.contains("message")) {
        if (j["message"].is_null()) e->messageNull = true;
        if (j["message"].is_string()) e->message = utf8ToBytes(j["message"].get<std::string>());
    }
    if (j.contains("version") && j["version"].is_string()) e->version = utf8ToBytes(j["version"].get<std::string>());
    if (j.contains("results") && j["results"].is_array()) {
        for (const Json& r : j["results"]) {
            RunEvent result;
            if (r.is_object()) fromJson(r, &result);
            e->results.push_back(result);
        }
    }
    if (j.contains("images") && j["images"].is_array()) {
        for (const Json& i : j["images"]) {
            RunEvent image;
            if (i.is_object()) fromJson(i, &image);
            e->images.push_back(image);
        }
    }
}

}  // namespace

std::string eventLine(const RunEvent& event) {
    return toJson(event).dump(-1, ' ', true, Json::error_handler_t::replace);
}

bool parseEventLine(const std::string& line, RunEvent* event) {
    Json j = Json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("event") || !j["event"].is_string()) return false;
    *event = RunEvent{};
    fromJson(j, event);
    return true;
}
