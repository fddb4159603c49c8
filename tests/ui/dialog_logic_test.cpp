#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "core/program_profile.h"
#include "core/firmware_file_name.h"
#include "core/random.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "core/request_runner.h"
#include "tests/support/scripted_front_end.h"

namespace {

class DialogLogic : public ::testing::Test {
protected:
    void SetUp() override {
        saved = gProgram;
        gProgram = &kOrbflashProfile;
        resetUpgradeContext();
        gContext.mode = RunMode::Upgrade;
    }
    void TearDown() override { gProgram = saved; }

    static std::string expectedFileName(unsigned seed, const char* extension) {
        seedRandom(seed);
        char name[32];
        formatFirmwareFileName(name, sizeof name, static_cast<unsigned>(nextRandom()) & 0xFFFFu, extension);
        seedRandom(seed);
        return name;
    }

    const ProgramProfile* saved = nullptr;
};

TEST_F(DialogLogic, RefusedAddressesDrawNoNumberAndLeaveTheDialogOpen) {
    gContext.localAddresses[0] = 0x0A000001;
    std::string expected = expectedFileName(7, "bi1");
    const char* refused[] = {"", "0.0.0.0", "10.1.0", "10.1.0.256", "192.168.100.1234"};
    for (const char* text : refused) {
        EXPECT_FALSE(acceptAddressDialog(text, 0)) << text;
        EXPECT_EQ(gContext.targetAddress, 0u) << text;
        EXPECT_TRUE(gContext.firmwareFileName.equals("")) << text;
        EXPECT_EQ(gContext.localAddress, 0u) << text;
    }
    // The refused text stays until the next OK, bounded by targetText.
    EXPECT_STREQ(gContext.targetText, "192.168.100.1234");
    ASSERT_TRUE(acceptAddressDialog("10.1.0.123", 0));
    EXPECT_EQ(gContext.targetAddress, 0x0A01007Bu);
    EXPECT_STREQ(gContext.targetText, "10.1.0.123");
    EXPECT_TRUE(gContext.firmwareFileName.equals(expected.c_str())) << "a refused entry drew a number";
    EXPECT_EQ(gContext.localAddress, 0x0A000001u);
}

TEST_F(DialogLogic, OverlongTypedTextIsCutToTargetTextAndRefused) {
    std::string text(40, '1');
    EXPECT_FALSE(acceptAddressDialog(text.c_str(), 0));
    EXPECT_EQ(std::strlen(gContext.targetText), sizeof gContext.targetText - 1);
}

TEST_F(DialogLogic, LocalAddressListStopsAtEightOrAtTheFirstZero) {
    char entries[8][kLocalAddressTextSize];
    for (uint32_t i = 0; i < 8; ++i) gContext.localAddresses[i] = 0xC0A80100u + i + 1;
    // A ninth address cannot be stored; eight fill the list.
    EXPECT_EQ(localAddressEntries(entries), 8);
    EXPECT_STREQ(entries[0], "192.168.1.1");
    EXPECT_STREQ(entries[7], "192.168.1.8");

    gContext.localAddresses[0] = 0xFFFFFFFFu;
    gContext.localAddresses[2] = 0;
    EXPECT_EQ(localAddressEntries(entries), 2);
    EXPECT_STREQ(entries[0], "255.255.255.255");
    EXPECT_STREQ(entries[1], "192.168.1.2");
}

TEST_F(DialogLogic, SelectedEntryBecomesLocalAddressAndAnEmptyListKeepsIt) {
    gContext.localAddresses[0] = 0x0A000001;
    gContext.localAddresses[1] = 0x0A000002;
    ASSERT_TRUE(acceptAddressDialog("10.1.0.5", 1));
    EXPECT_EQ(gContext.localAddress, 0x0A000002u);

    resetUpgradeContext();
    ASSERT_TRUE(acceptAddressDialog("10.1.0.5", -1));
    EXPECT_EQ(gContext.localAddress, 0u);
    acceptRecoveryDialog("SN", -1);
    EXPECT_EQ(gContext.localAddress, 0u);
    // An entry past the end of the list is no entry either.
    gContext.localAddresses[0] = 0x0A000001;
    acceptRecoveryDialog("SN", 3);
    EXPECT_EQ(gContext.localAddress, 0u);
}

TEST_F(DialogLogic, RecoverySerialIsUpperCaseAndAtMostNineteen) {
    gContext.localAddresses[0] = 0x0A000001;
    gContext.localAddresses[1] = 0x0A000002;
    std::string expected = expectedFileName(3, "bin");
    acceptRecoveryDialog("abcdefghijklmnopqrstuvwxy", 1);  // 25 characters
    EXPECT_STREQ(gContext.recoverySerial, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_STREQ(gContext.targetText, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_TRUE(gContext.firmwareFileName.equals(expected.c_str()));
    EXPECT_EQ(gContext.localAddress, 0x0A000002u);

    char title[64];
    connectingTitle(title, sizeof title);
    EXPECT_STREQ(title, "Connecting with ORB@ABCDEFGHIJKLMNOPQRS");
    acceptRecoveryDialog("", 0);  // not validated
    EXPECT_STREQ(gContext.recoverySerial, "");
}

TEST_F(DialogLogic, FileNameFormsPerProgramAndStage) {
    const std::regex bi1("/orb[0-9a-f]{1,4}\\.bi1"), bi0("/orb[0-9a-f]{1,4}\\.bi0"), bin("/orb[0-9a-f]{1,4}\\.bin");
    auto name = [] {
        char text[128];
        gContext.firmwareFileName.copyTo(text, sizeof text);
        return std::string(text);
    };
    seedRandom(12345);
    for (int i = 0; i < 50; ++i) {
        gProgram = &kOrbflashProfile;
        gContext.stage.store(Stage::Transition);  // orbflash has no stages
        ASSERT_TRUE(acceptAddressDialog("10.0.0.9", 0));
        EXPECT_TRUE(std::regex_match(name(), bi1)) << name();
        acceptRecoveryDialog("x", 0);
        EXPECT_TRUE(std::regex_match(name(), bin)) << name();

        gProgram = &kOrbstageProfile;
        ASSERT_TRUE(acceptAddressDialog("10.0.0.9", 0));
        EXPECT_TRUE(std::regex_match(name(), bi0)) << name();
        gContext.stage.store(Stage::Target);
        ASSERT_TRUE(acceptAddressDialog("10.0.0.9", 0));
        EXPECT_TRUE(std::regex_match(name(), bi1)) << name();
    }
}

TEST_F(DialogLogic, CredentialsAreCutTo126AndEmptyOnesKept) {
    EXPECT_STREQ(defaultUserName(), "admin");
    std::string longText(200, 'p');
    acceptPasswordDialog(longText.c_str(), longText.c_str());
    EXPECT_EQ(std::strlen(gContext.digest.userName), 126u);
    EXPECT_EQ(std::strlen(gContext.digest.password), 126u);
    acceptPasswordDialog("", "");
    EXPECT_STREQ(gContext.digest.userName, "");
    EXPECT_STREQ(gContext.digest.password, "");
}

TEST_F(DialogLogic, ConfirmTextCarriesTheNoteOnlyInAStagedRun) {
    std::memcpy(gContext.image.header + 92, "9.0.1", 6);
    std::memcpy(gContext.transitionImage.header + 92, "7.9.9", 6);
    char text[1024];
    char title[64];
    confirmDialogTitle(title, sizeof title);
    EXPECT_STREQ(title, "Confirm Upgrade to Ver. 9.0.1");

    gContext.stage.store(Stage::Transition);
    confirmDialogText(text, sizeof text);  // orbflash: never a note
    EXPECT_STREQ(text, kConfirmText);

    gProgram = &kOrbstageProfile;
    confirmDialogText(text, sizeof text);
    std::string note = text;
    EXPECT_EQ(note.rfind(kConfirmText, 0), 0u);
    EXPECT_NE(note.find("\r\n\r\nNote: Since your current firmware version\r\nis older than 7.9.9, this upgrade"),
              std::string::npos);
    EXPECT_EQ(note.substr(note.size() - 18), "slightly longer.\r\n");

    gContext.stage.store(Stage::Target);
    confirmDialogText(text, sizeof text);
    EXPECT_STREQ(text, kConfirmText);
}

TEST_F(DialogLogic, TitlesAndTextsFollowTheRun) {
    copyText(gContext.modelName, sizeof gContext.modelName, "ORB-P10");
    copyText(gContext.targetText, sizeof gContext.targetText, "10.1.0.13");
    std::memcpy(gContext.image.header + 92, "8.0.1", 6);
    char out[128];
    warningDialogTitle(out, sizeof out);
    EXPECT_STREQ(out, "ORB-P10 Firmware Upgrade");
    addressDialogTitle(out, sizeof out);
    EXPECT_STREQ(out, "ORB Firmware Upgrade");
    imageVersionLine(out, sizeof out);
    EXPECT_STREQ(out, "Version 8.0.1");
    successDialogTitle(out, sizeof out);
    EXPECT_STREQ(out, "ORB@10.1.0.13 Upgrade Successful!");
    connectingTitle(out, sizeof out);
    EXPECT_STREQ(out, "Connecting with ORB@10.1.0.13");
    EXPECT_STREQ(addressHelpText(), kAddressHelpAdapterText);
    EXPECT_STREQ(recoveryCheckText(), kRecoveryCheckAdapterText);
    EXPECT_STRNE(successWebAddress(Dialog::Success), successWebAddress(Dialog::SuccessVariant));

    gContext.isPhone = true;
    EXPECT_STREQ(addressHelpText(), kAddressHelpPhoneText);
    EXPECT_STREQ(recoveryCheckText(), kRecoveryCheckPhoneText);

    gProgram = &kOrbstageProfile;
    addressDialogTitle(out, sizeof out);
    EXPECT_STREQ(out, "ORB-P10 Firmware Upgrade");
    // orbstage shows orbflash 113's address on both templates.
    EXPECT_STREQ(successWebAddress(Dialog::Success), kSuccessWebAddress113);
    EXPECT_STREQ(successWebAddress(Dialog::SuccessVariant), kSuccessWebAddress113);
}

TEST_F(DialogLogic, CancelInTheConnectingWindowNamesTheSearchOnlyInARecovery) {
    resetScriptedFrontEnd();
    EXPECT_EQ(runUntilEnd(cancelConnecting), RunOutcome::UserAbort);
    gContext.mode = RunMode::Recovery;
    EXPECT_EQ(runUntilEnd(cancelConnecting), RunOutcome::SearchCancelled);
    gProgram = &kOrbstageProfile;  // no recovery, whatever mode holds
    EXPECT_EQ(runUntilEnd(cancelConnecting), RunOutcome::UserAbort);
}

}  // namespace
