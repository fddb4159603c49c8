#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "apps/command_line/cli_options.h"
#include "apps/profiles/program_profiles.h"

namespace {

const std::string kPin = std::string(64, 'a') + ":/tmp/copy";

// Each option as a user would give it; a new option needs its row here.
const std::pair<const char*, std::vector<std::string>> kSamples[] = {
    {"--local", {"--local", "127.0.0.9"}},
    {"--list-addresses", {"--list-addresses"}},
    {"--user", {"--user", "-dash"}},
    {"--password-file", {"--password-file", "pass word"}},
    {"--yes", {"--yes"}},
    {"--image", {"--image", "a.img", "-i", "-b.img"}},
    {"--transition-image", {"--transition-image", "t.img"}},
    {"--force", {"-f"}},
    {"--fetch-timeout", {"--fetch-timeout", "7"}},
    {"--restart-wait", {"--restart-wait", "fixed"}},
    {"--restart-timeout", {"--restart-timeout=9"}},
    {"--devices", {"-d", "list"}},
    {"--jobs", {"--jobs", "3"}},
    {"--canary", {"--canary", "0"}},
    {"--max-failures", {"--max-failures", "4"}},
    {"--report", {"--report", "r.csv"}},
    {"--log-dir", {"--log-dir", "logs"}},
    {"--retries", {"--retries", "2"}},
    {"--retry-delay", {"--retry-delay", "5"}},
    {"--window", {"--window", "22:00-05:30"}},
    {"--max-per-minute", {"--max-per-minute", "6"}},
    {"--history", {"--history", "h.jsonl"}},
    {"--no-history", {"--no-history"}},
    // An option of another command brings its command.
    {"--since", {"history", "--since", "2026-12-09"}},
    {"--quiet", {"-q"}},
    {"--verbose", {"-v"}},
    {"--json", {"--json"}},
    {"--help", {"--help"}},
    {"--version", {"-V"}},
    {"--image-pin", {"--image", "a.img", "--image-pin", kPin}},
    {"--transition-image-pin", {"--transition-image", "t.img", "--transition-image-pin", kPin}},
};

bool parse(const ProgramProfile& profile, std::vector<std::string> words, CliOptions* options) {
    words.insert(words.begin(), profile.programName);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    std::string error;
    const bool parsed = parseCommandLine(profile, static_cast<int>(argv.size()), argv.data(), options, &error);
    EXPECT_TRUE(parsed) << error;
    return parsed;
}

}  // namespace

// A fleet's child gets each of its options back as given; the fleet's own
// never reach it.
TEST(ChildCommandLine, EveryOptionRoundTripsThroughTheParser) {
    for (const ProgramProfile* profile : {&kOrbflashProfile, &kOrbstageProfile}) {
        for (const OptionName& option : commandLineOptions(*profile)) {
            const auto* sample = std::find_if(std::begin(kSamples), std::end(kSamples),
                                              [&](const auto& s) { return option.longName == s.first; });
            ASSERT_NE(sample, std::end(kSamples)) << option.longName << " has no sample";
            std::vector<std::string> words = {"upgrade", "127.0.0.2", "127.0.0.3"};
            if (sample->second[0] == "history") words = {};
            words.insert(words.end(), sample->second.begin(), sample->second.end());
            CliOptions given, back;
            ASSERT_TRUE(parse(*profile, words, &given)) << option.longName;
            const std::vector<std::string> child = commandLineOf(*profile, given);
            const bool named = std::any_of(child.begin(), child.end(),
                                           [&](const std::string& w) { return w.rfind(option.longName, 0) == 0; });
            EXPECT_EQ(named, option.toChild) << profile->programName << " " << option.longName;
            if (!option.toChild) continue;
            ASSERT_TRUE(parse(*profile, child, &back)) << option.longName;
            EXPECT_TRUE(back == given) << profile->programName << " " << option.longName;
        }
    }
}
