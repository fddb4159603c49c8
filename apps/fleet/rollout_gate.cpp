#include "apps/fleet/rollout_gate.h"

unsigned devicesMayStart(const RolloutCounts& c) {
    if (c.canaryFailed) return 0;
    if (c.maxFailures > 0 && c.failures >= c.maxFailures) return 0;
    const unsigned limit = c.canaryLeft > 0 && c.canaryLeft < c.jobs ? c.canaryLeft : c.jobs;
    return c.running < limit ? limit - c.running : 0;
}
