#include "apps/history/history_record.h"

#include <nlohmann/json.hpp>

#include "base/byte_text.h"

using Json = nlohmann::ordered_json;

namespace {

struct TextField {
    const char* name;
    std::string HistoryRecord::*member;
};

// The schema, in the order fields are written.
const TextField kTexts[] = {
    {"time", &HistoryRecord::time},
    {"operator", &HistoryRecord::operatorName},
    {"machine", &HistoryRecord::machine},
    {"program", &HistoryRecord::program},
    {"program_version", &HistoryRecord::programVersion},
    {"device", &HistoryRecord::device},
    {"serial", &HistoryRecord::serial},
    {"mac", &HistoryRecord::mac},
    {"product", &HistoryRecord::product},
    {"before", &HistoryRecord::before},
    {"after", &HistoryRecord::after},
    {"image_file", &HistoryRecord::imageFile},
    {"image_sha256", &HistoryRecord::imageSha256},
    {"outcome", &HistoryRecord::outcome},
};

}  // namespace

std::string historyLine(const HistoryRecord& record) {
    Json out = Json::object();
    for (const TextField& field : kTexts) out[field.name] = bytesAsUtf8(record.*field.member);
    out["code"] = record.code;
    out["attempts"] = record.attempts;
    Json phases = Json::object();
    for (const auto& [name, ms] : record.phasesMs) phases[bytesAsUtf8(name)] = ms;
    out["phases_ms"] = phases;
    return out.dump(-1, ' ', true) + "\n";
}

bool parseHistoryLine(const std::string& line, HistoryRecord* record) {
    const Json in = Json::parse(line, nullptr, false);
    if (!in.is_object() || !in.contains("time") || !in.contains("device") || !in.contains("outcome")) return false;
    HistoryRecord read;
    for (const TextField& field : kTexts) {
        auto at = in.find(field.name);
        if (at == in.end()) continue;
        if (!at->is_string()) return false;
        read.*field.member = utf8AsBytes(at->get<std::string>());
    }
    if (auto code = in.find("code"); code != in.end() && code->is_number_integer()) read.code = code->get<int>();
    if (auto attempts = in.find("attempts"); attempts != in.end() && attempts->is_number_integer())
        read.attempts = attempts->get<int>();
    if (auto phases = in.find("phases_ms"); phases != in.end() && phases->is_object())
        for (const auto& [name, ms] : phases->items())
            if (ms.is_number_integer()) read.phasesMs.emplace_back(utf8AsBytes(name), ms.get<int64_t>());
    *record = std::move(read);
    return true;
}
