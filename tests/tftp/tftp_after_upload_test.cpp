// The restart wait with a fake clock, and the checks after the upload
// against the device's scripted web server (in a private namespace).
#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <sstream>

#include "apps/profiles/program_profiles.h"
#include "base/text.h"
#include "core/after_upload.h"
#include "core/device_requests.h"
#include "core/reboot_tick.h"
#include "core/restart_follow.h"
#include "core/same_device.h"
#include "net/http/http_exchange.h"
#include "platform/platform_clock.h"
#include "tests/tftp/tftp_test_support.h"

namespace {

class TftpAfterUpload : public ::testing::Test {
protected:
    void SetUp() override { useFakeClock(1000, true); }
    void TearDown() override { useRealClock(); }
};

// The restart wait of the model on an upload view; the steps recorded.
std::vector<std::string> waitFor(const ProgramProfile& profile, const char* model) {
    TftpRun t(profile);
    copyText(t.run.context().modelName, sizeof t.run.context().modelName, model);
    OpenView view(t.run, ViewKind::Upload);
    waitForReboot(t.run, view, rebootWaitTicks(profile, model));
    return t.frontEnd.events();
}

std::vector<std::string> waitSteps(unsigned ticks) {
    const std::string total = std::to_string(ticks);
    return {"open upload", "restart-wait 0/" + total, "restart-wait " + total + "/" + total, "close upload"};
}

TEST_F(TftpAfterUpload, RestartWaitLastsTheModelsTicks) {
    ASSERT_EQ(kRebootTickMs, 32u);
    struct WaitCase {
        const ProgramProfile* program;
        const char* model;
        unsigned ticks;
    };
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
        useFakeClock(123457);
        EXPECT_EQ(waitFor(*c.program, c.model), waitSteps(c.ticks));
        EXPECT_EQ(fakeSleepCount(), c.ticks);
    }
}

TEST_F(TftpAfterUpload, RestartWaitCarriesOnAcrossTheClockWrap) {
    useFakeClock(0xFFFFFFFFu - 40 * 32 + 5);
    EXPECT_EQ(waitFor(kOrbflashProfile, "ORB-A110"), waitSteps(1562));
    EXPECT_EQ(fakeSleepCount(), 1562u);
}

const char* const kSilent = nullptr;  // a status read that yields nothing

struct CheckCase {
    const char* name;
    const ProgramProfile* program;
    const char* model;
    bool complete;
    bool phone;
    Stage stage;
    std::vector<const char*> reads;     // the software version each page shows, read by one status read each
    std::optional<RunOutcome> outcome;  // nothing: the check returned
    std::vector<std::string> events;    // other than the status reads and their views
    bool secondLayout;                  // of the success dialog
    bool commandLine = false;           // its options; the device read before as serial ORB0012345
    const char* before = "7.0.0";
};

TEST_F(TftpAfterUpload, ChecksWhatTheDeviceReports) {
    const std::string notResponding =
        "end silent-after-upload|Upgrade Failed: ORB not responding after firmware upload";
    const std::vector<std::string> succeeded = {"version 7.5.3", "success", "end success"};
    const CheckCase cases[] = {
        {"flash G400",
         &kOrbflashProfile,
         "ORBG400",
         true,
         false,
         Stage::Target,
         {"7.5.3"},
         RunOutcome::Success,
         succeeded,
         true},
        {"flash Q4x4",
         &kOrbflashProfile,
         "ORBQ4x4",
         true,
         false,
         Stage::Target,
         {"7.5.3"},
         RunOutcome::Success,
         succeeded,
         true},
        {"flash R2xK",
         &kOrbflashProfile,
         "ORBR2xK",
         true,
         false,
         Stage::Target,
         {"7.5.3"},
         RunOutcome::Success,
         succeeded,
         false},
        {"flash silent",
         &kOrbflashProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         {kSilent},
         RunOutcome::NotRespondingAfterUpload,
         {notResponding},
         false},
        {"stage incomplete",
         &kOrbstageProfile,
         "ORB-A110",
         false,
         false,
         Stage::Target,
         {},
         RunOutcome::UploadIncomplete,
         {"end upload-incomplete|Upgrade Failed: Firmware Upload Incomplete"},
         false},
        {"stage silent",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         std::vector<const char*>(10, kSilent),
         RunOutcome::NotRespondingAfterUpload,
         {notResponding},
         false},
        {"stage third read",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         {kSilent, kSilent, "7.5.3"},
         RunOutcome::Success,
         succeeded,
         false},
        {"stage other version",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         false,
         Stage::Target,
         {"7.5.2"},
         RunOutcome::VersionMismatch,
         {"version 7.5.2", "end version-mismatch|Upgrade Failed: Version not matching"},
         false},
        {"stage phone",
         &kOrbstageProfile,
         "ORB-A110",
         true,
         true,
         Stage::Target,
         {"7.5.2"},
         RunOutcome::Success,
         {"version 7.5.2", "success", "end success"},
         false},
        {"stage R2xK",
         &kOrbstageProfile,
         "ORBR2xK",
         true,
         false,
         Stage::Target,
         {"7.5.3"},
         RunOutcome::Success,
         succeeded,
         true},
        {"transition",
         &kOrbstageProfile,
         "ORBR2xK",
         true,
         false,
         Stage::Transition,
         {"7.0.0"},
         std::nullopt,
         {"version 7.0.0"},
         true},
        // The command line: a page counts only with a version, from the device read before.
        {"cli, no version", &kOrbflashProfile, "ORB-A110", true, false, Stage::Target, {"?"},
         RunOutcome::NotRespondingAfterUpload, {notResponding}, false, true},
        {"cli, no version, then one", &kOrbstageProfile, "ORB-A110", true, false, Stage::Target, {"?", "7.5.3"},
         RunOutcome::Success, succeeded, false, true},
        {"cli, no version, served its own", &kOrbstageProfile, "ORB-A110", true, false, Stage::Target,
         std::vector<const char*>(10, "?"), RunOutcome::NotRespondingAfterUpload, {notResponding}, false, true,
         "7.5.3"},
        {"cli, another device", &kOrbstageProfile, "ORB-A110", true, false, Stage::Target, {"!7.5.3"},
         RunOutcome::OtherDevice,
         {"end other-device|Upgrade Failed: Another device answers at the ORB's address (serial ORB0099999, MAC "
          "none; the ORB: serial ORB0012345, MAC none)"},
         false, true},
        {"cli, phone on its old", &kOrbstageProfile, "ORB-A110", true, true, Stage::Target, {"7.0.0"},
         RunOutcome::NotRestarted,
         {"version 7.0.0", "end not-restarted|Upgrade Failed: ORB did not restart after firmware upload"}, false,
         true},
        {"cli, phone given its own", &kOrbstageProfile, "ORB-A110", true, true, Stage::Target, {"7.5.3"},
         RunOutcome::Success, succeeded, false, true, "7.5.3"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        RunOptions options;
        options.verifyDeviceAfterUpload = options.phoneMustChange = options.silentConnectAfterUpload = c.commandLine;
        TftpRun t(*c.program, options);
        UpgradeContext& context = t.run.context();
        t.run.context().deviceFacts.update([&](DeviceFacts& facts) {
            copyText(facts.softwareVersion, sizeof facts.softwareVersion, c.before);
            if (c.commandLine) copyText(facts.serialNumber, sizeof facts.serialNumber, "ORB0012345");
        });
        copyText(context.modelName, sizeof context.modelName, c.model);
        context.isPhone = c.phone;
        context.stage.store(c.stage);
        ScriptedHttpServer device(kDeviceHttpPort);
        ASSERT_EQ(device.port, kDeviceHttpPort);
        std::vector<ScriptedAnswer> answers;
        for (const char* version : c.reads) answers.push_back(version ? statusPage(version) : silentAnswer());
        device.serve(answers);
        const char* served = c.stage == Stage::Transition ? "7.0.0" : "7.5.3";
        const uint32_t before = clockMillis();
        std::optional<RunOutcome> outcome = t.until([&](::Run& run) {
            checkAfterUpload(run, context.targetAddress, c.complete, served, c.stage == Stage::Target);
        });
        device.finish();
        EXPECT_EQ(outcome, c.outcome);
        std::vector<std::string> events;
        for (const std::string& event : t.frontEnd.events())
            if (event.find("connecting") == std::string::npos && event.rfind("status-read", 0) != 0)
                events.push_back(event);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(t.frontEnd.count("status-read 127.0.0.1"), static_cast<int>(c.reads.size()));
        EXPECT_EQ(device.received().size(), c.reads.size());
        // The reads stand a second apart on the (fake) clock.
        if (!c.reads.empty()) {
            EXPECT_GE(clockMillis() - before, 1000 * (c.reads.size() - 1));
        }
        EXPECT_EQ(successVariantFor(*c.program, c.model), c.secondLayout);
    }
}

// A device that never restarts, with a limit that is no multiple of the
// 2 s between polls: the last poll falls on the limit, not after it.
TEST_F(TftpAfterUpload, TheLastPollOfAFollowIsAtTheLimit) {
    useFakeClock(5000);
    RunOptions options;
    options.restartWait = RestartWait::Follow;
    options.restartTimeoutMs = 51000;  // the model's fixed wait is 49,984 ms
    TftpRun t(kOrbflashProfile, options);
    t.run.context().deviceFacts.update(
        [](DeviceFacts& facts) { copyText(facts.softwareVersion, sizeof facts.softwareVersion, "7.0.0"); });
    ScriptedHttpServer device(kDeviceHttpPort);
    ASSERT_EQ(device.port, kDeviceHttpPort);
    std::mutex lock;
    std::vector<uint32_t> polls;
    std::vector<ScriptedAnswer> answers(40, statusPage("7.0.0"));
    for (ScriptedAnswer& answer : answers)
        answer.ready = [&] {
            std::lock_guard<std::mutex> guard(lock);
            polls.push_back(clockMillis() - 5000);
            return true;
        };
    device.serve(answers);
    std::optional<RunOutcome> outcome = t.until([&](::Run& run) {
        OpenView view(run, ViewKind::Upload);
        followRestart(run, view, run.context().targetAddress, "7.5.3", true);
    });
    device.finish();
    EXPECT_EQ(outcome, RunOutcome::NotRestarted);
    ASSERT_EQ(polls.size(), 27u);
    EXPECT_EQ(polls[25], 50000u);
    EXPECT_EQ(polls[26], 51000u);
    // Each poll gives up connecting after 3 s, whatever the run's own bounds.
    const HttpTimeouts bounds = restartPollBounds(HttpTimeouts{20000, 30000, 30000});
    EXPECT_EQ(bounds.connectMs, 3000u);
    EXPECT_EQ(bounds.idleMs, 3000u);
    EXPECT_EQ(bounds.exchangeMs, 5000u);
    EXPECT_EQ(restartPollBounds(HttpTimeouts{1000, 2000, 2500}).connectMs, 1000u);
}

// Polls as "MS:VERSION" (the device's page), "MS:-" (no page), "MS:?" (a
// 2xx page without a version), "MS:!VERSION" (another device's page); the
// old version is 7.0.0. Each page is judged as a followed restart does.
struct FollowCase {
    const char* name;
    bool phone;
    const char* served;
    std::vector<std::string> polls;
    RestartVerdict verdict;  // after the last poll; Pending before it
};

TEST(RestartFollowVerdict, EndsWhenTheEvidenceIsComplete) {
    using enum RestartVerdict;
    const FollowCase cases[] = {
        {"down and back", false, "7.5.3", {"0:7.0.0", "2000:-", "4000:7.5.3"}, Upgraded},
        {"down between polls", false, "7.5.3", {"0:7.0.0", "2000:7.5.3"}, Upgraded},
        {"down from the start", false, "7.5.3", {"0:-", "2000:-", "6000:7.5.3"}, Upgraded},
        {"back on another", false, "7.5.3", {"0:7.0.0", "2000:-", "4000:9.9.9"}, OtherVersion},
        {"another, down unseen", false, "7.5.3", {"0:7.0.0", "2000:9.9.9"}, OtherVersion},
        {"two downs", false, "7.5.3", {"0:-", "2000:7.0.0", "4000:-", "6000:7.5.3"}, Upgraded},
        {"back on the old", false, "7.5.3", {"0:-", "2000:7.0.0", "4000:7.0.0", "12000:7.0.0"}, OtherVersion},
        {"old at the limit", false, "7.5.3", {"0:-", "28000:7.0.0", "30000:7.0.0"}, OtherVersion},
        {"old, then down for good", false, "7.5.3", {"0:-", "2000:7.0.0", "4000:-", "30000:-"}, Silent},
        {"never down", false, "7.5.3", {"0:7.0.0", "2000:7.0.0", "30000:7.0.0"}, NotRestarted},
        {"down for good", false, "7.5.3", {"0:7.0.0", "2000:-", "30000:-"}, Silent},
        {"same version, never down", false, "7.0.0", {"0:7.0.0", "30000:7.0.0"}, NotRestarted},
        {"same version, down and back", false, "7.0.0", {"0:7.0.0", "2000:-", "4000:7.0.0"}, Upgraded},
        {"another device, served version", false, "7.5.3", {"0:7.0.0", "2000:-", "4000:!7.5.3"}, OtherDevice},
        {"pages without a version", false, "7.5.3", {"0:7.0.0", "2000:?", "4000:?", "30000:?"}, Silent},
        {"same version, no version after", false, "7.0.0", {"0:7.0.0", "2000:-", "4000:?", "30000:?"}, Silent},
        {"phone on another", true, "3.2.1", {"0:7.0.0", "2000:-", "4000:9.9.9"}, Upgraded},
        {"phone back on the old", true, "3.2.1", {"0:-", "2000:7.0.0", "12000:7.0.0"}, OtherVersion},
        {"phone old at the limit", true, "3.2.1", {"0:-", "28000:7.0.0", "30000:7.0.0"}, OtherVersion},
        {"phone never down", true, "3.2.1", {"0:7.0.0", "30000:7.0.0"}, NotRestarted},
        {"phone down for good", true, "3.2.1", {"0:-", "30000:-"}, Silent},
        {"phone, another device", true, "3.2.1", {"0:-", "4000:!9.9.9"}, OtherDevice},
    };
    DeviceFacts before{};
    copyText(before.productName, sizeof before.productName, "ORBQ4x4");
    copyText(before.macAddress, sizeof before.macAddress, "000E08123456");
    copyText(before.serialNumber, sizeof before.serialNumber, "ORB0012345");
    copyText(before.softwareVersion, sizeof before.softwareVersion, "7.0.0");
    for (const FollowCase& c : cases) {
        SCOPED_TRACE(c.name);
        RestartFollow follow(before.softwareVersion, c.served, c.phone, 30000);
        for (size_t i = 0; i < c.polls.size(); ++i) {
            std::string shown = c.polls[i].substr(c.polls[i].find(':') + 1);
            RequestReply page;
            page.facts = before;
            page.found = kFactProduct | kFactMac | kFactSerial | kFactSoftware | kFactHardware;
            page.whole = true;
            if (shown[0] == '!') copyText(page.facts.serialNumber, sizeof page.facts.serialNumber, "ORB0099999");
            if (shown[0] == '?') page.found &= ~unsigned{kFactSoftware};
            copyText(page.facts.softwareVersion, sizeof page.facts.softwareVersion, shown.c_str() + (shown[0] == '!'));
            const PageAfterUpload seen = judgePageAfterUpload(before, shown == "-" ? 0 : 100, page);
            const RestartPoll poll{static_cast<uint32_t>(std::stoul(c.polls[i])), seen == PageAfterUpload::SameDevice,
                                   page.facts.softwareVersion, seen == PageAfterUpload::OtherDevice};
            EXPECT_EQ(follow.observe(poll), i + 1 == c.polls.size() ? c.verdict : Pending) << c.polls[i];
        }
    }
}

// Identity after the upload: before, then the page (serial|MAC|product|
// version, "~" for a fact the page lacks).
TEST(PageAfterUploadJudge, HoldsThePageToTheDeviceReadBefore) {
    using enum PageAfterUpload;
    const struct {
        const char* before;
        const char* page;
        PageAfterUpload seen;
    } cases[] = {
        {"ORB1|00:0e:08:12:34:56|ORBQ4x4|7.0.0", "ORB1|000E08123456| orbq4x4 |7.5.3", SameDevice},
        {"ORB1|000E08123456|ORBQ4x4|7.0.0", "ORB2|000E08123456|ORBQ4x4|7.5.3", OtherDevice},
        {"ORB1|000E08123456|ORBQ4x4|7.0.0", "ORB1|000E08123457|ORBQ4x4|7.5.3", OtherDevice},
        {"ORB1|000E08123456|ORBQ4x4|7.0.0", "ORB1|000E08123456|ORB-A110|7.5.3", OtherDevice},
        {"ORB1|000E08123456|ORBQ4x4|7.0.0", "~|000E08123456|ORBQ4x4|7.5.3", NoAnswer},
        {"ORB1|000E08123456|ORBQ4x4|7.0.0", "ORB1|000E08123456|ORBQ4x4|", NoAnswer},
        {"ORB1|000E08123456|ORBQ4x4|7.0.0", "~|~|~|~", NoAnswer},
        {"||ORBQ4x4|7.0.0", "~|~|ORBQ4x4|7.5.3", SameDevice},
    };
    auto facts = [](const std::string& text, unsigned* found) {
        DeviceFacts f{};
        char* fields[] = {f.serialNumber, f.macAddress, f.productName, f.softwareVersion};
        const unsigned bits[] = {kFactSerial, kFactMac, kFactProduct, kFactSoftware};
        std::stringstream in(text);
        std::string field;
        for (int i = 0; i < 4 && std::getline(in, field, '|'); ++i) {
            if (field == "~") continue;
            copyText(fields[i], sizeof f.serialNumber, field.c_str());
            *found |= bits[i];
        }
        return f;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        unsigned ignored = 0;
        RequestReply page;
        const DeviceFacts before = facts(c.before, &ignored);
        page.facts = facts(c.page, &page.found);
        EXPECT_EQ(judgePageAfterUpload(before, 100, page), NoAnswer);  // cut short: a value may be cut too
        page.whole = true;
        EXPECT_EQ(judgePageAfterUpload(before, 100, page), c.seen);
        EXPECT_EQ(judgePageAfterUpload(before, 0, page), NoAnswer);
    }
}

}  // namespace
