// A night's rollout, as rules on times and outcomes: the maintenance
// window, the pace of starts and which failures are tried again. Pure, so
// the fleet asks them with its own clock.
#pragma once

#include <cstdint>
#include <string>

#include "core/run_outcome.h"

// --window HH:MM-HH:MM, local time; it may cross midnight.
struct MaintenanceWindow {
    unsigned openMinute = 0;   // minute of the day it opens
    unsigned closeMinute = 0;  // minute of the day it closes; before openMinute: the next day
};

// False with why for text that is no window (or opens and closes at once).
bool parseWindow(const std::string& text, MaintenanceWindow* window, std::string* why);
// Whether devices may start at this minute of the day (0 to 1439).
bool windowOpen(const MaintenanceWindow& window, unsigned minuteOfDay);
// Minutes from minuteOfDay to the window's next opening; 0 while open.
unsigned minutesUntilOpen(const MaintenanceWindow& window, unsigned minuteOfDay);
// A run waits for an opening at most this long: one started after the
// night's window closed is a mistake more often than a plan for the next.
constexpr unsigned kLongestWindowWaitMinutes = 12 * 60;

// --max-per-minute N: starts at least 60/N s apart, the first at once.
class StartPacer {
public:
    explicit StartPacer(unsigned perMinute) : gapMs_(perMinute ? (60000 + perMinute - 1) / perMinute : 0) {}
    // Milliseconds until the next start may be, at nowMs; 0: now.
    uint64_t waitMs(uint64_t nowMs) const { return started_ && nowMs < lastMs_ + gapMs_ ? lastMs_ + gapMs_ - nowMs : 0; }
    void started(uint64_t nowMs) {
        started_ = true;
        lastMs_ = nowMs;
    }

private:
    uint64_t gapMs_;
    uint64_t lastMs_ = 0;
    bool started_ = false;
};

// Whether a device that ended so may be tried again: only failures that pass
// on their own and came before any byte of the image went out — never a
// password, an image, a usage error, nor a device that may be writing its flash.
bool retryable(RunOutcome outcome, int64_t bytesSent);
// Seconds before retry number attempt (1 for the first): the delay, doubled
// for each later one, at most eight times the delay.
unsigned retryDelaySeconds(unsigned delaySeconds, unsigned attempt);
