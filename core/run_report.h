// What a run reports as it goes, for front ends that show steps rather
// than windows (the command line). The wizard's front ends do not listen.
#pragma once

#include <cstdint>

enum class RunStep {
    StatusRead,     // reading the status page of address
    Facts,          // the device's facts are in the context
    Trigger,        // the trigger went out; status is the device's HTTP answer (0: none)
    Waiting,        // for the read request of text on port
    TransferStart,  // address:port fetches total bytes
    Transfer,       // done of total bytes acknowledged
    TransferDone,   // all total bytes acknowledged
    RestartWait,    // done of total milliseconds of the wait for the restart
    VersionRead,    // the device reports text after its restart
};

struct RunReport {
    RunStep step;
    uint32_t address;
    uint16_t port;
    int status;
    uint32_t done;
    uint32_t total;
    const char* text;
};

typedef void (*RunReportListener)(const RunReport& report);
void setRunReportListener(RunReportListener listener);
// From any thread; nothing happens when no one listens.
void reportRunStep(const RunReport& report);
