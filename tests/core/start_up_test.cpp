#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "apps/profiles/program_profiles.h"
#include "base/firmware_image.h"
#include "base/sha256.h"
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

TEST(ImageDigest, Sha256StandardVectors) {
    // FIPS 180-2's examples: no bytes, one block, two blocks of padding, a million.
    const std::string million(1000000, 'a');
    const std::pair<std::string, const char*> vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [text, expected] : vectors) {
        char hex[kSha256HexSize];
        sha256HexOf(text.data(), text.size(), hex);
        EXPECT_STREQ(hex, expected) << text.size();
    }
}

}  // namespace
