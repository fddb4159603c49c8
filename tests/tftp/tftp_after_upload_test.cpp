// The restart wait and the checks after the upload, with a fake clock and
// a scripted status read.
#include <gtest/gtest.h>

#include <cstring>

#include "core/upgrade_context.h"
#include "net/tftp/reboot_tick.h"
#include "net/tftp/tftp_transfer.h"
#include "tests/support/scripted_front_end.h"
#include "tests/tftp/tftp_test_support.h"
#include "ui/front_end.h"

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
        tftpWaitForReboot(openProgressWindow(110), tftpRebootWaitTicks(gContext.modelName));
    }

    std::vector<uint8_t> image = makeTestImage(2000, 1, "7.5.3");
    TftpTransfer transfer{};
};

struct WaitCase {
    const ProgramProfile* program;
    const char* model;
    unsigned ticks;
};

TEST_F(TftpAfterUpload, RestartWaitLastsTheModelsTicks) {
    ASSERT_EQ(kRebootTickMs, 32u);
    const WaitCase cases[] = {
        {&kOrbflashProfile, "ORBG200", 6250}, {&kOrbflashProfile, "ORBG400", 6250},
        {&kOrbflashProfile, "ORBQ4x4", 3905}, {&kOrbflashProfile, "ORBR2xK", 4686},
        {&kOrbflashProfile, "ORB-A110", 1562}, {&kOrbflashProfile, "ORBG40", 1562},
        {&kOrbflashProfile, "ORBG400 rev2", 6250}, {&kOrbstageProfile, "ORBG200", 6250},
        {&kOrbstageProfile, "ORBG400", 6250}, {&kOrbstageProfile, "ORBQ4x4", 3606},
        {&kOrbstageProfile, "ORBR2xK", 4699}, {&kOrbstageProfile, "Quillon QL-7", 1093},
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

TEST_F(TftpAfterUpload, RestartWaitTitleNamesTheStage) {
    waitFor("ORB-A110");
    EXPECT_EQ(countEvents("title Updating Firmware to ORB@10.1.0.13"), 1);

    resetTftpTest(&kOrbstageProfile);
    gContext.stage.store(0);
    waitFor("ORB-A110");
    EXPECT_EQ(countEvents("title Updating Transition Firmware to ORB@10.1.0.13"), 1);
    gContext.stage.store(1);
    waitFor("ORB-A110");
    EXPECT_EQ(countEvents("title Updating Target Firmware to ORB@10.1.0.13"), 1);
}

TEST_F(TftpAfterUpload, FlashShowsTheSuccessDialogOfTheModel) {
    const std::pair<const char*, const char*> cases[] = {
        {"ORBG400", "dialog 113"}, {"ORBQ4x4", "dialog 113"}, {"ORBR2xK", "dialog 111"}, {"ORB-A110", "dialog 111"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        resetTftpTest(&kOrbflashProfile);
        std::strcpy(gContext.modelName, c.first);
        scriptStatusReads({{900, "7.5.3"}});
        tftpCheckFlashUpload(&transfer);
        EXPECT_EQ(statusReadCount(), 1);
        EXPECT_EQ(frontEndEvents(), std::vector<std::string>{c.second});
    }
}

TEST_F(TftpAfterUpload, FlashReportsADeviceThatDoesNotAnswer) {
    scriptStatusReads({{0, ""}, {900, ""}});
    tftpCheckFlashUpload(&transfer);
    EXPECT_EQ(statusReadCount(), 1);
    EXPECT_EQ(frontEndEvents(),
              std::vector<std::string>{"error Upgrade Failed: ORB not responding after firmware upload"});
}

TEST_F(TftpAfterUpload, StageReportsAnIncompleteUploadWithoutAsking) {
    resetTftpTest(&kOrbstageProfile);
    installImage(image);
    EXPECT_FALSE(tftpCheckStageUpload(&transfer, false));
    EXPECT_EQ(statusReadCount(), 0);
    EXPECT_EQ(frontEndEvents(), std::vector<std::string>{"error Upgrade Failed: Firmware Upload Incomplete"});
}

TEST_F(TftpAfterUpload, StageAsksTenTimesAtMost) {
    resetTftpTest(&kOrbstageProfile);
    installImage(image);
    scriptStatusReads({{0, ""}});
    EXPECT_FALSE(tftpCheckStageUpload(&transfer, true));
    EXPECT_EQ(statusReadCount(), 10);
    EXPECT_EQ(frontEndEvents(),
              std::vector<std::string>{"error Upgrade Failed: ORB not responding after firmware upload"});

    resetTftpTest(&kOrbstageProfile);
    installImage(image);
    scriptStatusReads({{0, ""}, {0, ""}, {700, ""}});
    EXPECT_TRUE(tftpCheckStageUpload(&transfer, true));
    EXPECT_EQ(statusReadCount(), 3);
    EXPECT_EQ(frontEndEvents(), std::vector<std::string>{"dialog 111"});
}

TEST_F(TftpAfterUpload, StageComparesVersionsExceptOnPhones) {
    resetTftpTest(&kOrbstageProfile);
    installImage(image);
    scriptStatusReads({{700, "7.5.2"}});
    EXPECT_FALSE(tftpCheckStageUpload(&transfer, true));
    EXPECT_EQ(frontEndEvents(), std::vector<std::string>{"error Upgrade Failed: Version not matching"});

    resetTftpTest(&kOrbstageProfile);
    installImage(image);
    gContext.isPhone = 1;
    scriptStatusReads({{700, "7.5.2"}});
    EXPECT_TRUE(tftpCheckStageUpload(&transfer, true));
    EXPECT_EQ(frontEndEvents(), std::vector<std::string>{"dialog 111"});
}

TEST_F(TftpAfterUpload, StageShowsSuccessOnlyAfterTheTarget) {
    std::vector<uint8_t> transition = makeTestImage(1000, 2, "7.0.0");
    resetTftpTest(&kOrbstageProfile);
    installImage(image);
    installImage(transition, true);
    gContext.stage.store(0);
    std::strcpy(gContext.modelName, "ORBR2xK");
    scriptStatusReads({{700, ""}});
    EXPECT_TRUE(tftpCheckStageUpload(&transfer, true));
    EXPECT_STREQ(gContext.deviceFacts.softwareVersion, "7.0.0");  // compared with the transition image
    EXPECT_TRUE(frontEndEvents().empty());

    gContext.stage.store(1);
    EXPECT_TRUE(tftpCheckStageUpload(&transfer, true));
    EXPECT_EQ(frontEndEvents(), std::vector<std::string>{"dialog 113"});  // ORBR2xK in orbstage
}

}  // namespace
