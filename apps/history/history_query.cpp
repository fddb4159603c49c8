#include "apps/history/history_query.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/text.h"

namespace {

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool named(const HistoryRecord& record, const std::vector<std::string>& devices) {
    if (devices.empty()) return true;
    for (const std::string& key : devices)
        if (key == record.device || (!record.serial.empty() && sameText(key, record.serial))) return true;
    return false;
}

std::string shown(const std::string& text) {
    char out[256];
    escapeControls(out, sizeof out, text.c_str());
    return out[0] ? out : "-";
}

}  // namespace

bool historySinceValid(const std::string& text) {
    // Digits where the pattern has 9, the rest as it stands; a prefix of the
    // whole stamp from the date on.
    static const std::string pattern = "9999-99-99T99:99:99";
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

std::vector<HistoryRecord> selectHistory(const std::vector<HistoryRecord>& records, const HistoryQuery& query) {
    std::vector<HistoryRecord> chosen;
    // From the end: newest first, and a stable sort keeps that within a second.
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        if (named(*it, query.devices) && (query.since.empty() || it->time >= query.since)) chosen.push_back(*it);
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const HistoryRecord& a, const HistoryRecord& b) { return a.time > b.time; });
    return chosen;
}

std::string historyTable(const std::vector<HistoryRecord>& records) {
    std::string out;
    char line[1024];
    std::snprintf(line, sizeof line, "%-20s %-15s %-12s %-8s %-10s %-10s %-3s %-4s %s\n", "TIME", "DEVICE", "SERIAL",
                  "PROGRAM", "BEFORE", "AFTER", "TRY", "EXIT", "OUTCOME");
    out += line;
    for (const HistoryRecord& r : records) {
        std::snprintf(line, sizeof line, "%-20s %-15s %-12s %-8s %-10s %-10s %-3d %-4d %s\n", shown(r.time).c_str(),
                      shown(r.device).c_str(), shown(r.serial).c_str(), shown(r.program).c_str(),
                      shown(r.before).c_str(), shown(r.after).c_str(), r.attempts, r.code, shown(r.outcome).c_str());
        out += line;
    }
    return out;
}

std::string historyJson(const std::vector<HistoryRecord>& records) {
    std::string out = "[";
    for (size_t i = 0; i < records.size(); ++i) {
        std::string line = historyLine(records[i]);
        line.pop_back();
        out += (i ? ",\n " : "\n ") + line;
    }
    return out + (records.empty() ? "]\n" : "\n]\n");
}
