// What happened to a device, kept as it happens and written at the end of
// the run as one JSON record (--record): what it received, its restarts,
// what its own pages showed afterwards, who else answered at its address,
// and what became of the credentials it was sent. A campaign compares each
// program's verdict with it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tools/orbsim/sim_options.h"

struct SimTruth {
    unsigned triggers = 0;          // upgrade triggers it read
    unsigned fetches = 0;           // read requests it sent (a refetch is another)
    size_t bytes = 0;               // of the last transfer, kept as received
    std::string sha256;             // of those bytes; empty before any transfer ended
    bool whole = false;             // the transfer finished and the header's length agrees
    int tftpError = -1;             // the TFTP ERROR code it sent; -1 none
    std::vector<unsigned> downsMs;  // each down's length
    bool down = false;              // down since downSince
    std::chrono::steady_clock::time_point downSince;
    unsigned pagesBefore = 0;             // its own status pages with a version before the first trigger
    std::vector<std::string> shownAfter;  // versions those pages showed after a trigger, each once, in order
    unsigned pagesSinceUp = 0;            // its own pages with a version since it last came up
    bool takenOver = false;               // another device answers at its address
    unsigned otherPages = 0;              // pages with that device's serial and MAC
    // Requests to a guarded device: let in, asked for credentials, credentials
    // refused (wrong user or response, or all refused), nonce renewed (stale),
    // anything else a Digest client should not send.
    unsigned accepted = 0, asked = 0, refused = 0, renewed = 0, faulty = 0;
};

// What its status page showed, and whose it was.
enum class PageShown { Nothing, Own, OwnWithoutVersion, Other };

// Counts one status page answered whole (2xx).
void notePage(SimTruth* truth, PageShown shown, const std::string& version);

// The record, one line of JSON ending in a newline. Device texts go out
// byte by byte as code points U+0000 to U+00FF, written ASCII-only (as the
// programs write theirs).
std::string truthRecord(const SimOptions& options, const SimTruth& truth, const std::string& versionNow, bool up);

// Appends each line with one write, so that the records of devices in
// several processes never interleave; false with the reason.
bool appendRecords(const std::string& path, const std::vector<std::string>& lines, std::string* why);
