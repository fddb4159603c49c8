#include "apps/history/history_file.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/platform_file.h"
#include "platform/platform_user.h"

std::string defaultHistoryPath() {
    const std::string folder = userStateFolder("orb");
    return folder.empty() ? "" : pathInFolder(folder, "history.jsonl");
}

HistoryRecord historyRecordNow(const char* program, const char* version) {
    HistoryRecord record;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    char stamp[32] = "";
    if (const std::tm* utc = std::gmtime(&now)) std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", utc);
    record.time = stamp;
    record.operatorName = userName();
    record.machine = machineName();
    record.program = program;
    record.programVersion = version;
    return record;
}

bool historyWritable(const std::string& path, bool makeFolder, std::string* why) {
    char reason[512] = "";
    const size_t slash = path.find_last_of("/\\");
    if (makeFolder && slash != std::string::npos && slash > 0 &&
        !folderCreateAll(path.substr(0, slash), reason, sizeof reason)) {
        *why = reason;
        return false;
    }
    // Nothing written: the file made if missing, and found open to appends.
    if (fileAppendRecord(path.c_str(), "", 0, reason, sizeof reason)) return true;
    *why = reason;
    return false;
}

bool appendHistory(const std::string& path, const HistoryRecord& record, std::string* why) {
    const std::string line = historyLine(record);
    char reason[512] = "";
    if (fileAppendRecord(path.c_str(), line.data(), line.size(), reason, sizeof reason)) return true;
    *why = reason;
    return false;
}

bool readHistory(const std::string& path, HistoryRead* read, std::string* why) {
    *read = HistoryRead{};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return true;
        *why = std::strerror(errno);
        return false;
    }
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    int number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        const bool cut = end == std::string::npos;
        if (cut) end = text.size();
        ++number;
        HistoryRecord record;
        const std::string line = text.substr(at, end - at);
        if (!line.empty() && parseHistoryLine(line, &record) && !cut) {
            read->records.push_back(std::move(record));
        } else if (!line.empty()) {
            read->damagedLines.push_back(number);
            read->lastLineCut = read->lastLineCut || cut;
        }
        at = end + 1;
    }
    return true;
}
