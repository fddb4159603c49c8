#include <gtest/gtest.h>

#include <cstring>

#include "apps/profiles/program_profiles.h"
#include "base/firmware_image.h"
#include "core/start_up.h"
#include "core/tftp_serving.h"
#include "tests/support/recording_front_end.h"

namespace {

TEST(StartUp, OrbflashServesTheResourceLengthWhateverTheHeaderSays) {
    TestRun t(kOrbflashProfile);
    startUp(t.run);
    const UpgradeContext& c = t.run.context();
    ASSERT_NE(c.image.data, nullptr);
    EXPECT_EQ(c.image.size, 200u);  // the length field says 999999, no marker
    EXPECT_STREQ(imageVersion(c.image), "7.5.3");
    EXPECT_EQ(std::memcmp(c.image.header, c.image.data, 128), 0);
    EXPECT_STREQ(c.modelName, "ORBQ4x4");
    EXPECT_FALSE(c.isPhone);
    EXPECT_EQ(c.localAddress, c.localAddresses[0]);
    EXPECT_EQ(c.transitionImage.data, nullptr);
    EXPECT_TRUE(t.frontEnd.events().empty());
}

TEST(StartUp, SingleStageOrbstageNeverLooksForTheTransitionImage) {
    TestRun t(kOrbstageProfile);
    startUp(t.run);
    const UpgradeContext& c = t.run.context();
    EXPECT_EQ(c.transitionImage.data, nullptr);
    EXPECT_STREQ(imageVersion(c.image), "8.0.1");
    EXPECT_STREQ(c.modelName, "ORB-P10");
    EXPECT_TRUE(c.isPhone);
    EXPECT_EQ(&servedImage(t.run), &c.image);
}

TEST(StartUp, StagedOrbstageServesTheTransitionImageUntilStageOne) {
    TestRun t(kOrbstageProfile);
    UpgradeContext& c = t.run.context();
    c.stage.store(Stage::Transition);
    startUp(t.run);
    ASSERT_NE(c.transitionImage.data, nullptr);
    EXPECT_STREQ(imageVersion(servedImage(t.run)), "7.9.9");
    // The model always comes from the target image.
    EXPECT_STREQ(c.modelName, "ORB-P10");
    c.stage.store(Stage::Target);
    EXPECT_STREQ(imageVersion(servedImage(t.run)), "8.0.1");
}

ProgramProfile withImage(unsigned resourceId) {
    ProgramProfile profile = kOrbflashProfile;
    profile.imageResourceId = resourceId;
    return profile;
}

TEST(StartUp, DamagedOrMissingImageEndsWithItsMessage) {
    for (unsigned id : {501u, 502u, 999u}) {
        ProgramProfile profile = withImage(id);
        TestRun t(profile);
        EXPECT_EQ(t.until(startUp), RunOutcome::ImageDamaged);
        EXPECT_EQ(t.frontEnd.events().back(), "end image-damaged|Upgrade Failed: Firmware image missing or damaged");
        EXPECT_EQ(t.run.exitCode(), 8);
    }
}

TEST(StartUp, ResourcesOfAnotherTypeAreNotImages) {
    FirmwareImage image = loadFirmwareImage(112);
    ASSERT_NE(image.data, nullptr);
    EXPECT_EQ(image.header[0], 'S');  // not the OTHER_TYPE blob with the same id
}

}  // namespace
