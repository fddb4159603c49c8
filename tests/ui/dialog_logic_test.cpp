#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "apps/profiles/program_profiles.h"
#include "base/random.h"
#include "base/text.h"
#include "core/firmware_file_name.h"
#include "core/questions.h"
#include "tests/support/recording_front_end.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "ui/window_texts.h"
#include "ui/wizard_front_end.h"

namespace {

std::string expectedFileName(unsigned seed, const char* extension) {
    seedRandom(seed);
    char name[32];
    formatFirmwareFileName(name, sizeof name, static_cast<unsigned>(nextRandom()) & 0xFFFFu, extension);
    seedRandom(seed);
    return name;
}

std::string fileName(const Run& run) {
    char text[128];
    run.context().firmwareFileName.copyTo(text, sizeof text);
    return text;
}

// A run whose address and serial questions are answered with text and entry.
struct Answered : TestRun {
    explicit Answered(const ProgramProfile& profile = kOrbflashProfile) : TestRun(profile) {
        frontEnd.address = [this](AddressAnswer* answer) {
            copyText(answer->typed, sizeof answer->typed, typed.c_str());
            answer->localIndex = entry;
            return true;
        };
        frontEnd.serial = [this](SerialAnswer* answer) {
            copyText(answer->serial, sizeof answer->serial, typed.c_str());
            answer->localIndex = entry;
            return true;
        };
    }
    bool address(const std::string& text, int index) {
        typed = text;
        entry = index;
        return askAddress(run);
    }
    void serial(const std::string& text, int index) {
        typed = text;
        entry = index;
        askSerial(run);
    }
    std::string typed;
    int entry = 0;
};

TEST(Questions, RefusedAddressesDrawNoNumberAndTakeNoLocalAddress) {
    Answered t;
    UpgradeContext& c = t.run.context();
    c.localAddresses[0] = 0x0A000001;
    std::string expected = expectedFileName(7, "bi1");
    for (const char* text : {"", "0.0.0.0", "10.1.0", "10.1.0.256", "192.168.100.1234", "1111111111111111111111"}) {
        EXPECT_FALSE(t.address(text, 0)) << text;
        EXPECT_EQ(c.targetAddress, 0u) << text;
        EXPECT_EQ(fileName(t.run), "") << text;
        EXPECT_EQ(c.localAddress, 0u) << text;
        EXPECT_FALSE(addressAcceptable(text)) << text;
    }
    ASSERT_TRUE(t.address("10.1.0.123", 0));
    EXPECT_EQ(c.targetAddress, 0x0A01007Bu);
    EXPECT_STREQ(c.targetText, "10.1.0.123");
    EXPECT_EQ(fileName(t.run), expected) << "a refused entry drew a number";
    EXPECT_EQ(c.localAddress, 0x0A000001u);
}

TEST(Questions, SelectedEntryBecomesLocalAddressAndAnEmptyListKeepsIt) {
    Answered t;
    UpgradeContext& c = t.run.context();
    c.localAddresses[0] = 0x0A000001;
    c.localAddresses[1] = 0x0A000002;
    ASSERT_TRUE(t.address("10.1.0.5", 1));
    EXPECT_EQ(c.localAddress, 0x0A000002u);

    Answered empty;
    ASSERT_TRUE(empty.address("10.1.0.5", -1));
    EXPECT_EQ(empty.run.context().localAddress, 0u);
    empty.serial("SN", -1);
    EXPECT_EQ(empty.run.context().localAddress, 0u);
    // An entry past the end of the list is no entry either.
    empty.run.context().localAddresses[0] = 0x0A000001;
    empty.serial("SN", 3);
    EXPECT_EQ(empty.run.context().localAddress, 0u);
}

TEST(Questions, RecoverySerialIsUpperCaseAndAtMostNineteen) {
    Answered t;
    UpgradeContext& c = t.run.context();
    c.localAddresses[1] = 0x0A000002;
    std::string expected = expectedFileName(3, "bin");
    t.serial("abcdefghijklmnopqrstuvwxy", 1);  // 25 characters
    EXPECT_STREQ(c.recoverySerial, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_STREQ(c.targetText, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(fileName(t.run), expected);
    char title[64];
    connectingTitle(t.run, title, sizeof title);
    EXPECT_STREQ(title, "Connecting with ORB@ABCDEFGHIJKLMNOPQRS");
}

TEST(Questions, FileNameFormsPerProgramAndStage) {
    const std::regex bi1("/orb[0-9a-f]{1,4}\\.bi1"), bi0("/orb[0-9a-f]{1,4}\\.bi0"), bin("/orb[0-9a-f]{1,4}\\.bin");
    Answered flash(kOrbflashProfile), stage(kOrbstageProfile);
    flash.run.context().stage.store(Stage::Transition);  // orbflash has no stages
    seedRandom(12345);
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(flash.address("10.0.0.9", 0));
        EXPECT_TRUE(std::regex_match(fileName(flash.run), bi1));
        flash.serial("x", 0);
        EXPECT_TRUE(std::regex_match(fileName(flash.run), bin));
        stage.run.context().stage.store(Stage::Transition);
        ASSERT_TRUE(stage.address("10.0.0.9", 0));
        EXPECT_TRUE(std::regex_match(fileName(stage.run), bi0));
        stage.run.context().stage.store(Stage::Target);
        ASSERT_TRUE(stage.address("10.0.0.9", 0));
        EXPECT_TRUE(std::regex_match(fileName(stage.run), bi1));
    }
}

TEST(Questions, CredentialsAreCutTo126AndEmptyOnesKept) {
    EXPECT_STREQ(defaultUserName(), "admin");
    TestRun t(kOrbflashProfile);
    std::string given(200, 'p');
    t.frontEnd.credentials = [&given](CredentialsAnswer* answer) {
        copyText(answer->userName, sizeof answer->userName, given.c_str());
        copyText(answer->password, sizeof answer->password, given.c_str());
        return true;
    };
    askCredentials(t.run);
    EXPECT_EQ(std::strlen(t.run.context().digest.get().userName), 126u);
    EXPECT_EQ(std::strlen(t.run.context().digest.get().password), 126u);
    given.clear();
    askCredentials(t.run);
    EXPECT_STREQ(t.run.context().digest.get().password, "");
    // None given: the run ends as the answer says.
    t.frontEnd.credentials = [](CredentialsAnswer* answer) {
        answer->refusal = RunOutcome::PasswordNeeded;
        return false;
    };
    EXPECT_EQ(t.until(askCredentials), RunOutcome::PasswordNeeded);
}

TEST(WizardTexts, ConfirmTextCarriesTheNoteOnlyInAStagedRun) {
    TestRun flash(kOrbflashProfile), stage(kOrbstageProfile);
    for (TestRun* t : {&flash, &stage}) {
        std::memcpy(t->run.context().image.header + 92, "9.0.1", 6);
        std::memcpy(t->run.context().transitionImage.header + 92, "7.9.9", 6);
        t->run.context().stage.store(Stage::Transition);
    }
    char text[1024];
    char title[64];
    confirmDialogTitle(flash.run, title, sizeof title);
    EXPECT_STREQ(title, "Confirm Upgrade to Ver. 9.0.1");
    confirmDialogText(flash.run, text, sizeof text);  // orbflash: never a note
    EXPECT_STREQ(text, kConfirmText);

    confirmDialogText(stage.run, text, sizeof text);
    std::string note = text;
    EXPECT_EQ(note.rfind(kConfirmText, 0), 0u);
    EXPECT_NE(note.find("\r\n\r\nNote: Since your current firmware version\r\nis older than 7.9.9, this upgrade"),
              std::string::npos);
    EXPECT_EQ(note.substr(note.size() - 18), "slightly longer.\r\n");
    stage.run.context().stage.store(Stage::Target);
    confirmDialogText(stage.run, text, sizeof text);
    EXPECT_STREQ(text, kConfirmText);
}

TEST(WizardTexts, TitlesAndTextsFollowTheRun) {
    TestRun flash(kOrbflashProfile), stage(kOrbstageProfile);
    for (TestRun* t : {&flash, &stage}) {
        UpgradeContext& c = t->run.context();
        copyText(c.modelName, sizeof c.modelName, "ORB-P10");
        copyText(c.targetText, sizeof c.targetText, "10.1.0.13");
        std::memcpy(c.image.header + 92, "8.0.1", 6);
    }
    char out[128];
    warningDialogTitle(flash.run, out, sizeof out);
    EXPECT_STREQ(out, "ORB-P10 Firmware Upgrade");
    addressDialogTitle(flash.run, out, sizeof out);
    EXPECT_STREQ(out, "ORB Firmware Upgrade");
    imageVersionLine(flash.run, out, sizeof out);
    EXPECT_STREQ(out, "Version 8.0.1");
    successDialogTitle(flash.run, out, sizeof out);
    EXPECT_STREQ(out, "ORB@10.1.0.13 Upgrade Successful!");
    EXPECT_STREQ(addressHelpText(flash.run), kAddressHelpAdapterText);
    EXPECT_STREQ(recoveryCheckText(flash.run), kRecoveryCheckAdapterText);
    EXPECT_STRNE(successWebAddress(flash.run, Dialog::Success), successWebAddress(flash.run, Dialog::SuccessVariant));

    flash.run.context().isPhone = true;
    EXPECT_STREQ(addressHelpText(flash.run), kAddressHelpPhoneText);
    EXPECT_STREQ(recoveryCheckText(flash.run), kRecoveryCheckPhoneText);

    addressDialogTitle(stage.run, out, sizeof out);
    EXPECT_STREQ(out, "ORB-P10 Firmware Upgrade");
    // orbstage shows orbflash 113's address on both templates.
    EXPECT_STREQ(successWebAddress(stage.run, Dialog::Success), kSuccessWebAddress113);
    EXPECT_STREQ(successWebAddress(stage.run, Dialog::SuccessVariant), kSuccessWebAddress113);
}

// The windows' side of the wizard front end, as a list of calls.
class RecordedWindows : public WizardWindows {
public:
    int showDialog(const Run&, Dialog dialog, DialogAnswers*) override {
        calls.push_back("dialog " + std::to_string(static_cast<int>(dialog)));
        return 1;
    }
    void showErrorBox(const char* text) override { calls.push_back(std::string("error ") + text); }
    void showMessageBox(const char* text, const char*) override { calls.push_back(std::string("box ") + text); }
    ProgressView* open(ProgressKind kind, const char* title) override {
        calls.push_back("open " + std::to_string(static_cast<int>(kind)) + (title ? std::string(" ") + title : ""));
        return reinterpret_cast<ProgressView*>(&calls);
    }
    void setRange(ProgressView*, unsigned maximum) override { calls.push_back("range " + std::to_string(maximum)); }
    void setPosition(ProgressView*, unsigned position) override {
        calls.push_back("position " + std::to_string(position));
    }
    void setTitle(ProgressView*, const char* title) override { calls.push_back(std::string("title ") + title); }
    void setText(ProgressView*, const char* text) override { calls.push_back(std::string("text ") + text); }
    void setNote(ProgressView*, const char* note) override { calls.push_back(std::string("note ") + note); }
    bool poll(ProgressView*) override { return false; }
    void close(ProgressView*) override { calls.push_back("close"); }
    std::vector<std::string> calls;
};

TEST(WizardFrontEnd, StepsBecomeTheWindowsTitlesBarsAndNotes) {
    struct Case {
        const ProgramProfile* profile;
        Stage stage;
        ViewKind view;
        std::vector<RunStep> steps;
        std::vector<std::string> calls;
    };
    const RunStep transferStart{.kind = StepKind::TransferStart, .blockCount = 200000};
    const Case cases[] = {
        {&kOrbflashProfile, Stage::Target, ViewKind::Connecting,
         {{.kind = StepKind::Tick, .done = 100}, {.kind = StepKind::Tick, .done = 101}},
         {"open 0 Connecting with ORB@10.1.0.13", "range 100", "position 100", "position 0", "close"}},
        {&kOrbflashProfile, Stage::Target, ViewKind::AwaitFetch,
         {{.kind = StepKind::WaitTick, .status = 0, .done = 2500},
          {.kind = StepKind::WaitTick, .status = 404, .done = 2550},
          {.kind = StepKind::WaitTick, .status = 404, .done = 2600}},
         {"open 2", "range 1000", "position 0", std::string("text ") + kWaitingText, "position 500", "position 550",
          "note The ORB answered the upgrade request with HTTP 404", "position 600", "close"}},
        {&kOrbstageProfile, Stage::Target, ViewKind::AwaitNextFetch,
         {{.kind = StepKind::WaitTick, .status = -1, .done = 10}},
         {"open 2", "range 1000", "position 0", "position 10", "note The ORB did not confirm the fetch command",
          "close"}},
        // A large image moves the 16-bit bar in steps of several blocks.
        {&kOrbflashProfile, Stage::Target, ViewKind::Upload,
         {transferStart,
          {.kind = StepKind::Transfer, .done = 512, .total = 102400000, .block = 9, .blockCount = 200000},
          {.kind = StepKind::RestartWait, .done = 0, .total = 1562},
          {.kind = StepKind::RestartWait, .done = 7, .total = 1562}},
         {"open 1", "range 50000", "position 2", "title Uploading Firmware to ORB@10.1.0.13 512/102400000 Bytes",
          "range 1562", "position 0", "title Updating Firmware to ORB@10.1.0.13", "position 0", "position 7",
          "close"}},
        {&kOrbstageProfile, Stage::Transition, ViewKind::Upload,
         {{.kind = StepKind::TransferDone, .done = 2000, .total = 2000, .block = 4, .blockCount = 4},
          {.kind = StepKind::RestartWait, .total = 9}},
         {"open 1", "position 4", "title Uploading Transition Firmware to ORB@10.1.0.13 2000/2000 Bytes",
          "range 9", "position 0", "title Updating Transition Firmware to ORB@10.1.0.13", "position 0", "close"}},
    };
    for (const Case& c : cases) {
        RecordedWindows windows;
        WizardFrontEnd frontEnd(windows);
        ::Run run(*c.profile, frontEnd);
        copyText(run.context().targetText, sizeof run.context().targetText, "10.1.0.13");
        run.context().stage.store(c.stage);
        View* view = run.openView(c.view);
        for (const RunStep& step : c.steps) run.step(view, step);
        run.closeView(view);
        EXPECT_EQ(windows.calls, c.calls) << viewName(c.view);
    }
}

TEST(WizardFrontEnd, TheEndShowsItsMessageInTheErrorBoxAndExitsWithZero) {
    RecordedWindows windows;
    WizardFrontEnd frontEnd(windows);
    ::Run run(kOrbflashProfile, frontEnd);
    try {
        run.stop(RunOutcome::TftpTimeOut);
    } catch (const RunStopped&) {
    }
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_EQ(windows.calls, std::vector<std::string>{"error Upgrade Failed: TFTP time out"});
}

}  // namespace
