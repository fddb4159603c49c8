#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "apps/profiles/program_profiles.h"
#include "base/random.h"
#include "core/firmware_file_name.h"
#include "platform/platform_thread.h"
#include "tests/support/recording_front_end.h"

namespace {

TEST(Random, SequenceForAKnownSeedMatchesTheWindowsLibrary) {
    seedRandom(1);
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    EXPECT_EQ(nextRandom(), 26500);
    seedRandom(12345);
    int first = nextRandom();
    seedRandom(12345);
    EXPECT_EQ(nextRandom(), first);
    for (int i = 0; i < 100000; ++i) {
        int value = nextRandom();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 32767);
    }
}

int firstDrawOnNewThread(void*) { return nextRandom(); }

TEST(Random, StateIsPerThreadAndUnseededThreadsStartFromOne) {
    seedRandom(999);
    nextRandom();
    OrbThread* thread = threadStart(firstDrawOnNewThread, nullptr);
    threadJoin(thread);
    EXPECT_EQ(threadResult(thread), 41);
    threadRelease(thread);
}

TEST(Random, FileNamesAreLowerCaseHexWithoutLeadingZeros) {
    char name[128];
    formatFirmwareFileName(name, sizeof name, 0, "bi1");
    EXPECT_STREQ(name, "/orb0.bi1");
    formatFirmwareFileName(name, sizeof name, 0x1a2b, "bin");
    EXPECT_STREQ(name, "/orb1a2b.bin");
    formatFirmwareFileName(name, sizeof name, 0x7fff, "bi0");
    EXPECT_STREQ(name, "/orb7fff.bi0");

    TestRun t(kOrbflashProfile);
    seedRandom(4321);
    std::regex form("/orb[0-9a-f]{1,4}\\.bi1");
    for (int i = 0; i < 2000; ++i) {
        drawFirmwareFileName(t.run, "bi1");
        t.run.context().firmwareFileName.copyTo(name, sizeof name);
        ASSERT_TRUE(std::regex_match(std::string(name), form)) << name;
        if (std::strlen(name) > std::strlen("/orb0.bi1")) {
            ASSERT_NE(name[4], '0') << "leading zero in " << name;
        }
    }
}

}  // namespace
