// Following a device through its restart after an upload: what each poll
// of its status page saw, folded into a phase and, once the evidence is
// complete, a verdict. No clock and no network here, so a table drives it.
#pragma once

#include <cstdint>

#include "core/front_end.h"
#include "net/http/device_facts.h"

enum class RestartVerdict {
    Pending,
    Upgraded,      // back after a restart, on the served version (a phone: on any but its old one)
    OtherVersion,  // back after a restart on another version (or on its old one)
    NotRestarted,  // answered on its old version until the limit, never down
    Silent,        // went down and did not come back within the limit
    OtherDevice,   // another device answered at the address
};

// A device back on its old version may only be between two downs (a
// restart in two steps): it has to stay so this long to count.
const uint32_t kOldVersionSettleMs = 10000;

struct RestartPoll {
    uint32_t atMs;             // since the upload ended
    bool answered;             // a status page with a version came back
    const char* version;       // its software version, when answered
    bool otherDevice = false;  // answered by a device other than the one read before
};

class RestartFollow {
public:
    // The versions are copied; limitMs ends the follow.
    RestartFollow(const char* oldVersion, const char* servedVersion, bool phone, uint32_t limitMs);
    // Takes one poll; the verdict so far.
    RestartVerdict observe(const RestartPoll& poll);
    RestartPhase phase() const { return phase_; }
    RestartVerdict verdict() const { return verdict_; }

private:
    // Back on a third version: phones may report theirs differently.
    RestartVerdict onAnother() const { return phone_ ? RestartVerdict::Upgraded : RestartVerdict::OtherVersion; }

    char old_[sizeof DeviceFacts::softwareVersion];
    char served_[sizeof DeviceFacts::softwareVersion];
    bool phone_;
    uint32_t limitMs_;
    bool seenDown_ = false;
    bool settling_ = false;  // back on the old version after a down, since settleStartMs_
    uint32_t settleStartMs_ = 0;
    RestartPhase phase_ = RestartPhase::GoingDown;
    RestartVerdict verdict_ = RestartVerdict::Pending;
};
