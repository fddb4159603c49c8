#include "core/model_table.h"

#include "core/program_profile.h"
#include "core/text.h"
#include "core/upgrade_context.h"

static unsigned char foldCase(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

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

void lookupModel(const uint8_t* header) {
    int row = findModelRow(gProgram->models, header);
    if (row < 0) {
        copyText(gContext.modelName, sizeof gContext.modelName, kUnknownModelName);
        return;
    }
    const ModelEntry& entry = gProgram->models.rows[row];
    copyText(gContext.modelName, sizeof gContext.modelName, entry.displayName);
    if (entry.phone) gContext.isPhone = 1;
}
