// How many devices of a rollout may start now, from counts alone. The
// parent asks only once every child that ended has been judged, so a
// failure with the image is counted before its slot is used again: at most
// max-failures + jobs - 1 devices fail with the image (each one past the
// budget started while jobs - 1 others that would fail still ran).
#pragma once

struct RolloutCounts {
    unsigned jobs;         // at most this many at once
    unsigned running;      // started and not yet judged
    unsigned canaryLeft;   // canaries still owed: only they run, as many as owed
    bool canaryFailed;     // a canary failed with the image
    unsigned failures;     // judged failures after bytes of the image went out
    unsigned maxFailures;  // the budget; 0: none (check)
};

unsigned devicesMayStart(const RolloutCounts& counts);
