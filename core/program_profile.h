// What differs between orbflash and orbstage and is fixed when each is
// built. Each program's entry sets gProgram before anything else runs.
#pragma once

#include "core/model_table.h"

enum class ProgramKind { Flash, Stage };

struct RebootWait {
    const char* model;  // first 7 characters of modelName
    unsigned ticks;     // of 32 ms
};

struct ProgramProfile {
    ProgramKind kind;
    ModelTable models;
    int winsockMajor;
    int winsockMinor;
    unsigned commonControlFlags;
    unsigned imageResourceId;
    unsigned transitionResourceId;  // 0: none
    int tftpRetryLimit;             // retransmission periods
    const RebootWait* rebootWaits;
    int rebootWaitCount;
    unsigned otherRebootWait;
    // Models (first 7 characters) whose success dialog is 113 rather than 111.
    const char* const* successVariantModels;
    int successVariantModelCount;
};

extern const ProgramProfile* gProgram;

extern const ProgramProfile kOrbflashProfile;
extern const ProgramProfile kOrbstageProfile;

inline bool isOrbstage() { return gProgram->kind == ProgramKind::Stage; }
