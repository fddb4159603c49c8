// The restart wait and the checks after the upload, with a fake clock and
// a scripted status read.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "core/after_upload.h"
#include "core/reboot_tick.h"
#include "core/upgrade_context.h"
#include "tests/support/scripted_front_end.h"
#include "tests/tftp/tftp_test_support.h"

namespace {

class TftpAfterUpload : public ::testing::Test {
protected:
    void SetUp() override {
        resetTftpTest(&kOrbflashProfile);
        installImage(image);
    }
    void TearDown() override { useRealClock(); }

    void waitFor(const char* model) {
        std::strcpy(gContext.modelName, model);
        waitForReboot(openProgress(ProgressKind::Upload), rebootWaitTicks(gContext.modelName), "Updating");
    }

    std::vector<uint8_t> image = makeTestImage(2000, 1, "7.5.3");
};

struct WaitCase {
    const ProgramProfile* program;
    const char* model;
    unsigned ticks;
};

TEST_F(TftpAfterUpload, RestartWaitLastsTheModelsTicks) {
    ASSERT_EQ(kRebootTickMs, 32u);
    const WaitCase cases[] = {
        {&kOrbflashProfile, "ORBG200", 6250},      {&kOrbflashProfile, "ORBG400", 6250},
        {&kOrbflashProfile, "ORBQ4x4", 3905},      {&kOrbflashProfile, "ORBR2xK", 4686},
        {&kOrbflashProfile, "ORB-A110", 1562},     {&kOrbflashProfile, "ORBG40", 1562},
        {&kOrbflashProfile, "ORBG400 rev2", 6250}, {&kOrbstageProfile, "ORBG200", 6250},
        {&kOrbstageProfile, "ORBG400", 6250},      {&kOrbstageProfile, "ORBQ4x4", 3606},
        {&kOrbstageProfile, "ORBR2xK", 4699},      {&kOrbstageProfile, "Quillon QL-7", 1093},
    };
    for (const WaitCase& c : cases) {
        SCOPED_TRACE(c.model);
        resetTftpTest(c.program);
        useFakeClock(123457);
        waitFor(c.model);
        EXPECT_EQ(fakeSleepCount(), c.ticks);
        EXPECT_EQ(lastProgressPosition(110), static_cast<int>(c.ticks));
        EXPECT_TRUE(eventsInOrder({"open 110", "range 110 " + std::to_string(c.ticks), "destroy 110"}));
    }
}

TEST_F(TftpAfterUpload, RestartWaitCarriesOnAcrossTheClockWrap) {
    useFakeClock(0xFFFFFFFFu - 40 * 32 + 5);
    waitFor("ORB-A110");
    EXPECT_EQ(fakeSleepCount(), 1562u);
    EXPECT_EQ(lastProgressPosition(110), 1562);
}

struct CheckCase {
    const char* name;
    const ProgramProfile* program;
    const char* model;
    bool complete;
    bool phone;
    Stage stage;
    std::vector<StatusRead> reads;
    std::optional<RunOutcome> outcome;  // nothing: the check returned
    std::vector<std::string> events;    // before the end
    int readCount;
};

TEST_F(TftpAfterUpload, ChecksWhatTheDeviceReports) {
    const std::string notResponding = "error Upgrade Failed: ORB not responding after firmware upload";
    const CheckCase cases[] = {
        {"flash G400",
         &kOrbflashProfile,
         "ORBG400",
         true,
         false,
         Stage::Target,
         {{900, "7.5.3"}},
         RunOutcome::Success,
         {"dialog 113"},
         1},
        {"flash Q4x4",
         &kOrbflashProfile,
         "ORBQ4x4",
         true,
         false,
         Stage::Target,
         {{900, "7.5.3"}},
         RunOutcome::Success,
         {"dialog 113"},
         1},
        {"flash R2xK",
         &kOrbflashProfile,
         "ORBR2xK",
         true,
         false,
         Stage::Target,
         {{900, "7.5.3"}},
         RunOutcome::Success,
         {"dialog 111"},
         1},
        {"flash silent",
         &kOrbflashProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         {{0, ""}, {900, ""}},
         RunOutcome::NotRespondingAfterUpload,
         {notResponding},
         1},
        {"stage incomplete",
         &kOrbstageProfile,
         "ORB-A110",
         false,
         false,
         Stage::Target,
         {{900, ""}},
         RunOutcome::UploadIncomplete,
         {"error Upgrade Failed: Firmware Upload Incomplete"},
         0},
        {"stage silent",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         {{0, ""}},
         RunOutcome::NotRespondingAfterUpload,
         {notResponding},
         10},
        {"stage third read",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         {{0, ""}, {0, ""}, {700, ""}},
         RunOutcome::Success,
         {"dialog 111"},
         3},
        {"stage other version",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         {{700, "7.5.2"}},
         RunOutcome::VersionMismatch,
         {"error Upgrade Failed: Version not matching"},
         1},
        {"stage phone",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         true,
         Stage::Target,
         {{700, "7.5.2"}},
         RunOutcome::Success,
         {"dialog 111"},
         1},
        {"stage R2xK",
         &kOrbstageProfile,
         "ORBR2xK",
         true,
         false,
         Stage::Target,
         {{700, ""}},
         RunOutcome::Success,
         {"dialog 113"},
         1},
        {"transition", &kOrbstageProfile, "ORBR2xK", true, false, Stage::Transition, {{700, ""}}, std::nullopt, {}, 1},
    };
    std::vector<uint8_t> transition = makeTestImage(1000, 2, "7.0.0");
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        resetTftpTest(c.program);
        installImage(image);
        installImage(transition, true);
        std::strcpy(gContext.modelName, c.model);
        gContext.isPhone = c.phone;
        gContext.stage.store(c.stage);
        scriptStatusReads(c.reads);
        const char* served = c.stage == Stage::Transition ? "7.0.0" : "7.5.3";
        std::optional<RunOutcome> outcome =
            runUntilEnd([&] { checkAfterUpload(0x7F000002, c.complete, served, c.stage == Stage::Target); });
        EXPECT_EQ(outcome, c.outcome);
        std::vector<std::string> events = frontEndEvents();
        if (outcome) events.pop_back();  // "end ..."
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(statusReadCount(), c.readCount);
    }
}

}  // namespace
