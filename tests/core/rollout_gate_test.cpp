#include <gtest/gtest.h>

#include "apps/fleet/night_rules.h"
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

TEST(NightRules, WindowsPacesAndRetries) {
    struct WindowRow {
        const char* text;
        const char* at;  // HH:MM
        bool open;
        unsigned untilOpen;
    } windows[] = {
        {"22:00-05:30", "21:59", false, 1},   {"22:00-05:30", "22:00", true, 0}, {"22:00-05:30", "00:00", true, 0},
        {"22:00-05:30", "05:29", true, 0},    {"22:00-05:30", "05:30", false, 990},
        {"01:00-03:00", "23:00", false, 120}, {"01:00-03:00", "03:00", false, 1320},
    };
    for (const WindowRow& row : windows) {
        MaintenanceWindow window;
        std::string why;
        ASSERT_TRUE(parseWindow(row.text, &window, &why)) << row.text;
        const unsigned minute = static_cast<unsigned>(std::stoi(row.at)) * 60 + static_cast<unsigned>(std::stoi(row.at + 3));
        EXPECT_EQ(windowOpen(window, minute), row.open) << row.text << " at " << row.at;
        EXPECT_EQ(minutesUntilOpen(window, minute), row.untilOpen) << row.text << " at " << row.at;
    }
    for (const char* bad : {"", "22:00", "22:00-22:00", "24:00-01:00", "2:00-05:00", "22:00-05:60", "22:00-05:00x"}) {
        MaintenanceWindow window;
        std::string why;
        EXPECT_FALSE(parseWindow(bad, &window, &why)) << bad;
    }

    StartPacer pacer(7);  // 8572 ms apart, rounded up: never more than 7 a minute
    EXPECT_EQ(pacer.waitMs(1000), 0u);
    pacer.started(1000);
    EXPECT_EQ(pacer.waitMs(1000), 8572u);
    EXPECT_EQ(pacer.waitMs(9571), 1u);
    EXPECT_EQ(pacer.waitMs(9572), 0u);
    EXPECT_EQ(StartPacer(0).waitMs(0), 0u);

    EXPECT_TRUE(retryable(RunOutcome::NoResponse, 0));
    EXPECT_TRUE(retryable(RunOutcome::FetchTimedOut, 0));
    EXPECT_FALSE(retryable(RunOutcome::FetchTimedOut, 1)) << "bytes went out: it may be writing its flash";
    for (RunOutcome never : {RunOutcome::PasswordRefused, RunOutcome::PasswordNeeded, RunOutcome::ImageNotForModel,
                             RunOutcome::NoImageForModel, RunOutcome::ImageDamaged, RunOutcome::UploadIncomplete,
                             RunOutcome::NotRespondingAfterUpload, RunOutcome::UserAbort, RunOutcome::Success})
        EXPECT_FALSE(retryable(never, 0)) << outcomeName(never);
    EXPECT_EQ(retryDelaySeconds(30, 1), 30u);
    EXPECT_EQ(retryDelaySeconds(30, 3), 120u);
    EXPECT_EQ(retryDelaySeconds(30, 9), 240u);
}
