#include <gtest/gtest.h>

#include "apps/fleet/rollout_gate.h"

// Every device fails with the image and ends alone, judged before the next
// start: max-failures + jobs - 1 get it, whatever the slots and the budget.
TEST(RolloutGate, FailuresWithTheImageStayWithinTheBudgetAndTheDevicesInWork) {
    for (unsigned jobs = 1; jobs <= 6; ++jobs)
        for (unsigned budget = 1; budget <= 4; ++budget) {
            unsigned started = 0, failures = 0;
            while ((started += devicesMayStart({jobs, started - failures, 0, false, failures, budget})) > failures)
                ++failures;
            EXPECT_EQ(started, budget + jobs - 1) << jobs << " jobs, budget " << budget;
        }
}
