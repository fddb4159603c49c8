#include "core/restart_follow.h"

#include <cstring>

#include "base/text.h"

RestartFollow::RestartFollow(const char* oldVersion, const char* servedVersion, bool phone, uint32_t limitMs)
    : phone_(phone), limitMs_(limitMs) {
    copyText(old_, sizeof old_, oldVersion);
    copyText(served_, sizeof served_, servedVersion);
}

RestartVerdict RestartFollow::observe(const RestartPoll& poll) {
    if (verdict_ != RestartVerdict::Pending) return verdict_;
    if (poll.otherDevice) {
        phase_ = RestartPhase::ReadingVersion;
        return verdict_ = RestartVerdict::OtherDevice;
    }
    if (!poll.answered) {
        seenDown_ = true;
        settling_ = false;
        phase_ = RestartPhase::ComingBack;
    } else {
        const bool old = std::strcmp(poll.version, old_) == 0;
        const bool served = std::strcmp(poll.version, served_) == 0;
        // A new version proves a restart even when its down fell between two polls.
        if (seenDown_ || !old) {
            phase_ = RestartPhase::ReadingVersion;
            if (served) {
                verdict_ = RestartVerdict::Upgraded;
            } else if (!old) {
                verdict_ = onAnother();
            } else {
                // Back on the old version after another was served took
                // nothing, phones too.
                if (!settling_) settleStartMs_ = poll.atMs;
                settling_ = true;
                if (poll.atMs - settleStartMs_ >= kOldVersionSettleMs) verdict_ = RestartVerdict::OtherVersion;
            }
        }
    }
    if (verdict_ == RestartVerdict::Pending && poll.atMs >= limitMs_)
        verdict_ = settling_   ? RestartVerdict::OtherVersion
                   : seenDown_ ? RestartVerdict::Silent
                               : RestartVerdict::NotRestarted;
    return verdict_;
}
