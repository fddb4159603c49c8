// The history file: a record appended at each device's end, in one write
// flushed to disk, so a run killed at any moment leaves every finished
// device's record whole and runs at once never mix theirs.
#pragma once

#include <string>
#include <vector>

#include "apps/history/history_record.h"

// The file the history goes to unless --history names another: history.jsonl
// in this user's state folder for these programs ("orb"), which both
// programs share. Empty when the system names no such folder.
std::string defaultHistoryPath();

// A record holding what every record holds: now, this user and machine,
// the program and its version.
HistoryRecord historyRecordNow(const char* program, const char* version);

// Whether records can be appended to path, checked before a run starts: the
// file is made if missing (and its folder with it when makeFolder, for the
// default path), nothing is written. False with why.
bool historyWritable(const std::string& path, bool makeFolder, std::string* why);

// Appends one record. False with why.
bool appendHistory(const std::string& path, const HistoryRecord& record, std::string* why);

struct HistoryRead {
    std::vector<HistoryRecord> records;  // in the file's order
    std::vector<int> damagedLines;       // line numbers (from 1) that held no whole record
    bool lastLineCut = false;            // the file ends inside a record (a write cut short)
};

// The whole file; a missing file is an empty history. False with why when
// it exists and cannot be read.
bool readHistory(const std::string& path, HistoryRead* read, std::string* why);
