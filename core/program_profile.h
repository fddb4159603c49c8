// What differs between orbflash and orbstage and is fixed when each is
// built. A run holds its program's profile.
#pragma once

#include "base/model_table.h"

enum class ProgramKind { Flash, Stage };

struct RebootWait {
    const char* model;  // first 7 characters of modelName
    unsigned ticks;     // of 32 ms
};

// Model names (their first 7 characters), as a counted list.
struct ModelNames {
    const char* const* names;
    int count;
};

struct ProgramProfile {
    ProgramKind kind;
    const char* programName;  // as the command line names the program
    ModelTable models;
    int socketVersionMajor;  // asked of the socket library at start-up
    int socketVersionMinor;
    unsigned imageResourceId;       // the target image
    unsigned transitionResourceId;  // the staged build's first image; 0: none
    int tftpRetryLimit;             // retransmission periods without an answer before a transfer gives up
    bool timeoutEndsRun;            // a timed-out transfer ends the run at once, without the restart wait
    bool connectFailureEndsRun;     // "Can't connect to ORB"; otherwise the request yields nothing
    int statusReadsAfterUpload;     // tries of the status read after the restart
    bool namesStageInTitles;        // "Uploading Target Firmware ..." rather than "Uploading Firmware ..."
    bool namesModelInAddressTitle;  // "%s Firmware Upgrade" rather than "ORB Firmware Upgrade"
    const RebootWait* rebootWaits;
    int rebootWaitCount;
    unsigned otherRebootWait;         // ticks for the models not listed
    ModelNames successVariantModels;  // success dialog 113 rather than 111
};

inline bool isOrbstage(const ProgramProfile& profile) { return profile.kind == ProgramKind::Stage; }

// The programs' own version, as --version and the history give it.
inline constexpr char kProgramVersion[] = "1.0.0";
