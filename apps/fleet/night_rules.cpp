#include "apps/fleet/night_rules.h"

#include <cstdio>

namespace {

bool parseClock(const std::string& text, unsigned* minute) {
    unsigned hours = 0, minutes = 0;
    char end = 0;
    if (text.size() != 5 || text[2] != ':' || std::sscanf(text.c_str(), "%2u:%2u%c", &hours, &minutes, &end) != 2 ||
        hours > 23 || minutes > 59)
        return false;
    *minute = hours * 60 + minutes;
    return true;
}

}  // namespace

bool parseWindow(const std::string& text, MaintenanceWindow* window, std::string* why) {
    const size_t dash = text.find('-');
    MaintenanceWindow read;
    if (dash == std::string::npos || !parseClock(text.substr(0, dash), &read.openMinute) ||
        !parseClock(text.substr(dash + 1), &read.closeMinute)) {
        *why = "not a window HH:MM-HH:MM (local time, 00:00 to 23:59)";
        return false;
    }
    if (read.openMinute == read.closeMinute) {
        *why = "the window opens and closes at the same minute";
        return false;
    }
    *window = read;
    return true;
}

bool windowOpen(const MaintenanceWindow& window, unsigned minuteOfDay) {
    if (window.openMinute < window.closeMinute)
        return minuteOfDay >= window.openMinute && minuteOfDay < window.closeMinute;
    return minuteOfDay >= window.openMinute || minuteOfDay < window.closeMinute;
}

unsigned minutesUntilOpen(const MaintenanceWindow& window, unsigned minuteOfDay) {
    if (windowOpen(window, minuteOfDay)) return 0;
    return (window.openMinute + 24 * 60 - minuteOfDay) % (24 * 60);
}

bool retryable(RunOutcome outcome, int64_t bytesSent) {
    if (bytesSent > 0) return false;
    switch (outcome) {
        case RunOutcome::NoResponse:
        case RunOutcome::HttpConnectFailed:
        case RunOutcome::FetchTimedOut:
        case RunOutcome::ListenerBindFailed:
        case RunOutcome::HttpBindFailed: return true;
        default: return false;
    }
}

unsigned retryDelaySeconds(unsigned delaySeconds, unsigned attempt) {
    unsigned factor = 1;
    for (unsigned i = 1; i < attempt && factor < 8; ++i) factor *= 2;
    return delaySeconds * factor;
}
