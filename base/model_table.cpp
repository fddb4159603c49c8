#include "base/model_table.h"

static unsigned char foldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

static bool rowMatches(const ModelEntry& row, const uint8_t* header) {
    for (int i = 0; i < row.width; ++i) {
        unsigned char have = header[i];
        unsigned char want = static_cast<unsigned char>(row.code[i]);
        if (have == 0) return false;
        if (row.caseless ? foldCase(have) != foldCase(want) : have != want) return false;
    }
    return true;
}

int findModelRow(const ModelTable& table, const uint8_t* header) {
    for (int i = 0; i < table.count; ++i) {
        if (rowMatches(table.rows[i], header)) return i;
    }
    return -1;
}
