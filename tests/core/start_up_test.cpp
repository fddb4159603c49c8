#include <gtest/gtest.h>

#include <cstring>

#include "core/firmware_image.h"
#include "core/program_profile.h"
#include "core/start_up.h"
#include "core/tftp_serving.h"
#include "core/upgrade_context.h"
#include "tests/support/scripted_front_end.h"

namespace {

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        resetUpgradeContext();
        resetScriptedFrontEnd();
        saved = gProgram;
    }
    void TearDown() override { gProgram = saved; }
    const ProgramProfile* saved = nullptr;
};

TEST_F(StartUp, OrbflashServesTheResourceLengthWhateverTheHeaderSays) {
    gProgram = &kOrbflashProfile;
    std::strcpy(gContext.digest.password, "left over");
    gContext.digest.nonceCount = 7;
    startUp();
    ASSERT_NE(gContext.image.data, nullptr);
    EXPECT_EQ(gContext.image.size, 200u);  // the length field says 999999, no marker
    EXPECT_STREQ(imageVersion(gContext.image), "7.5.3");
    EXPECT_EQ(std::memcmp(gContext.image.header, gContext.image.data, 128), 0);
    EXPECT_STREQ(gContext.modelName, "ORBQ4x4");
    EXPECT_FALSE(gContext.isPhone);
    EXPECT_EQ(gContext.localAddress, gContext.localAddresses[0]);
    EXPECT_EQ(gContext.digest.nonceCount, 0u);
    EXPECT_STREQ(gContext.digest.password, "");
    EXPECT_EQ(gContext.transitionImage.data, nullptr);
    EXPECT_TRUE(frontEndEvents().empty());
}

TEST_F(StartUp, SingleStageOrbstageNeverLooksForTheTransitionImage) {
    gProgram = &kOrbstageProfile;
    startUp();
    EXPECT_EQ(gContext.transitionImage.data, nullptr);
    EXPECT_STREQ(imageVersion(gContext.image), "8.0.1");
    EXPECT_STREQ(gContext.modelName, "ORB-P10");
    EXPECT_TRUE(gContext.isPhone);
    EXPECT_EQ(&servedImage(), &gContext.image);
}

TEST_F(StartUp, StagedOrbstageServesTheTransitionImageUntilStageOne) {
    gProgram = &kOrbstageProfile;
    gContext.stage.store(Stage::Transition);
    startUp();
    ASSERT_NE(gContext.transitionImage.data, nullptr);
    EXPECT_STREQ(imageVersion(servedImage()), "7.9.9");
    // The model always comes from the target image.
    EXPECT_STREQ(gContext.modelName, "ORB-P10");
    gContext.stage.store(Stage::Target);
    EXPECT_STREQ(imageVersion(servedImage()), "8.0.1");
}

ProgramProfile withImage(unsigned resourceId) {
    ProgramProfile profile = kOrbflashProfile;
    profile.imageResourceId = resourceId;
    return profile;
}

TEST_F(StartUp, DamagedOrMissingImageEndsWithAnErrorAndExitCodeZero) {
    static ProgramProfile unterminated = withImage(501);
    static ProgramProfile shortImage = withImage(502);
    static ProgramProfile missing = withImage(999);
    for (const ProgramProfile* profile : {&unterminated, &shortImage, &missing}) {
        gProgram = profile;
        EXPECT_EQ(runUntilEnd(startUp), RunOutcome::ImageDamaged);
        EXPECT_EQ(frontEndEvents().end()[-2], "error Upgrade Failed: Firmware image missing or damaged");
    }
}

TEST_F(StartUp, ResourcesOfAnotherTypeAreNotImages) {
    FirmwareImage image = loadFirmwareImage(112);
    ASSERT_NE(image.data, nullptr);
    EXPECT_EQ(image.header[0], 'S');  // not the OTHER_TYPE blob with the same id
}

}  // namespace
