// One device's end as the history keeps it: who did what to which device,
// with which image, how it ended and how long each phase took. One JSON
// object per line.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct HistoryRecord {
    std::string time;  // the device's end, UTC, 2026-12-09T06:40:00Z
    std::string operatorName, machine, program, programVersion;
    std::string device, serial, mac, product;
    std::string before, after;  // after: only a version read after the upload
    std::string imageFile, imageSha256;
    std::string outcome;
    int code = 0;
    int attempts = 1;
    std::vector<std::pair<std::string, int64_t>> phasesMs;  // in the order they came
};

// The record's line, its line end included.
std::string historyLine(const HistoryRecord& record);
// False for a line that is no whole record (cut, damaged, another file's).
bool parseHistoryLine(const std::string& line, HistoryRecord* record);
