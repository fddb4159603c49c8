// Reading the history back: which records a question names, newest first,
// as a table for a person or JSON for a script.
#pragma once

#include <string>
#include <vector>

#include "apps/history/history_record.h"

struct HistoryQuery {
    std::vector<std::string> devices;  // addresses or serials; none: every device
    std::string since;                 // YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS] (UTC); empty: all
};

// Whether text is a date --since takes.
bool historySinceValid(const std::string& text);

// The records the query names, newest first (records of one second in the
// reverse of their order in the file).
std::vector<HistoryRecord> selectHistory(const std::vector<HistoryRecord>& records, const HistoryQuery& query);

// One line per record under a heading; device text shown, never obeyed.
std::string historyTable(const std::vector<HistoryRecord>& records);
// A JSON array of the records, one object as each line of the file holds it.
std::string historyJson(const std::vector<HistoryRecord>& records);
