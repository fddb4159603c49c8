#include "core/run_event.h"

#include <nlohmann/json.hpp>

#include "base/byte_text.h"

using Json = nlohmann::ordered_json;

namespace {

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
    {"attempts", &RunEvent::attempts},
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
    if (e.event != "summary") j["device"] = bytesAsUtf8(e.device);
    for (const TextField& f : kTexts)
        if (e.*f.member) j[f.name] = bytesAsUtf8(*(e.*f.member));
    for (const NumberField& f : kNumbers)
        if (e.*f.member) j[f.name] = *(e.*f.member);
    if (e.messageNull)
        j["message"] = nullptr;
    else if (e.message)
        j["message"] = bytesAsUtf8(*e.message);
    if (e.version) j["version"] = bytesAsUtf8(*e.version);
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
    e->device = utf8AsBytes(j.value("device", ""));
    for (const TextField& f : kTexts)
        if (j.contains(f.name) && j[f.name].is_string()) e->*f.member = utf8AsBytes(j[f.name].get<std::string>());
    for (const NumberField& f : kNumbers)
        if (j.contains(f.name) && j[f.name].is_number_integer()) e->*f.member = j[f.name].get<int64_t>();
    if (j.contains("message")) {
        if (j["message"].is_null()) e->messageNull = true;
        if (j["message"].is_string()) e->message = utf8AsBytes(j["message"].get<std::string>());
    }
    if (j.contains("version") && j["version"].is_string()) e->version = utf8AsBytes(j["version"].get<std::string>());
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
