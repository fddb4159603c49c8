// Product code to model name and device kind. Rows are tried in order; the
// first whose leading width bytes match wins.
#pragma once

#include <cstdint>

struct ModelEntry {
    const char* code;
    int width;
    bool caseless;
    const char* displayName;
    bool phone;
};

struct ModelTable {
    const ModelEntry* rows;
    int count;
};

const char kUnknownModelName[] = "ODM-Product";

// Index of the winning row, or -1.
int findModelRow(const ModelTable& table, const uint8_t* header);
