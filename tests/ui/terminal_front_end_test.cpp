// The terminal front end driven through pipes, as a script would drive it:
// answers queued on standard input, screen and boxes read back.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/caught_signals.h"

namespace {

struct DriverRun {
    std::string out;
    std::string err;
    int exitCode = -1;  // -1: killed or did not end
};

const int kRunLimitMs = 60000;

// Runs the driver with input on its stdin. With interruptAfter set, stdin
// stays open and SIGINT is sent once stdout shows that text.
DriverRun runDriver(const std::vector<std::string>& arguments, const std::string& input,
                    const std::string& interruptAfter = "") {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
    pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TERMINAL_DRIVER));
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(TERMINAL_DRIVER, argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);
    if (!input.empty() && write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
        ADD_FAILURE() << "input not written";
    }
    if (interruptAfter.empty()) close(in[1]);

    DriverRun run;
    bool interrupted = false;
    bool outOpen = true, errOpen = true;
    for (int waited = 0; (outOpen || errOpen) && waited < kRunLimitMs; waited += 20) {
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        poll(fds, 2, 20);
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                continue;
            }
            (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(got));
        }
        if (!interruptAfter.empty() && !interrupted && run.out.find(interruptAfter) != std::string::npos) {
            kill(child, SIGINT);
            interrupted = true;
        }
    }
    if (!interruptAfter.empty()) close(in[1]);
    close(out[0]);
    close(err[0]);
    if (outOpen || errOpen) kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    EXPECT_TRUE(interruptAfter.empty() || interrupted) << "never saw: " << interruptAfter << "\n" << run.out;
    return run;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

const std::vector<std::string> kTwoLocal = {"flash", "--local", "10.0.0.1,10.0.0.2"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

TEST(TerminalDialogs, WelcomeTakesEitherModeButtonAndOnlyTheCloseBoxDeclines) {
    DriverRun run = runDriver({"flash", "dialog", "141", "dialog", "141", "dialog", "141", "dialog", "141"},
                              "\nRECOVER firmware\ncancel\nupgrade firmware\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(has(run.out, "== Velmora ORB Device Firmware Upgrade Utility =="));
    EXPECT_TRUE(has(run.out, "[Upgrade Firmware] / Recover Firmware > "));
    EXPECT_TRUE(has(run.out, "dialog 141 result 1\nmode=1\n"));  // empty line: the default
    EXPECT_TRUE(has(run.out, "dialog 141 result 1\nmode=0\n"));
    // Escape-like "cancel" names no button here; asked again.
    EXPECT_EQ(count(run.out, "No such button."), 1u);
    EXPECT_EQ(count(run.out, "dialog 141 result 1"), 3u);
    // End of input is the close box.
    EXPECT_TRUE(has(run.out, "dialog 141 result 0"));
}

TEST(TerminalDialogs, WarningDeclinesOnEnterAndContinuesOnContinue) {
    DriverRun run = runDriver({"flash", "--model", "ORB-A110", "dialog", "139", "dialog", "139"}, "\n  CONTINUE \n");
    EXPECT_TRUE(has(run.out, "== ORB-A110 Firmware Upgrade =="));
    EXPECT_TRUE(has(run.out, "WARNING: Forcing a firmware upgrade on your ORB\nwithout prior approval"));
    EXPECT_FALSE(has(run.out, "\r"));
    EXPECT_TRUE(has(run.out, "Continue / [Cancel] > "));
    size_t declined = run.out.find("dialog 139 result 0");
    size_t accepted = run.out.find("dialog 139 result 1");
    EXPECT_NE(declined, std::string::npos);
    EXPECT_NE(accepted, std::string::npos);
    EXPECT_LT(declined, accepted);
}

TEST(TerminalDialogs, AddressDialogTakesAddressAndLocalEntry) {
    DriverRun run = runDriver(with(kTwoLocal, {"--seed", "7", "dialog", "101"}), "10.1.0.123\n2\nok\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(has(run.out, "== ORB Firmware Upgrade =="));
    EXPECT_TRUE(has(run.out, "  1) 10.0.0.1\n  2) 10.0.0.2\n"));
    EXPECT_TRUE(has(run.out, "dialog 101 result 1"));
    EXPECT_TRUE(has(run.out, "targetAddress=10.1.0.123\n"));
    EXPECT_TRUE(has(run.out, "localAddress=10.0.0.2\n"));
    EXPECT_TRUE(has(run.out, "firmwareFileName=/orb3d.bi1\n"));  // the first number of seed 7
    EXPECT_EQ(run.err, "");
}

TEST(TerminalDialogs, InvalidAddressShowsTheBoxAndAsksAgainKeepingTheLocalChoice) {
    // Blank, 0.0.0.0 and too long; then a good one with the menu left alone.
    DriverRun run = runDriver(with(kTwoLocal, {"--seed", "7", "dialog", "168"}),
                              "\n\n\n0.0.0.0\n2\nOK\n192.168.100.1234\n\n\n10.1.0.5\n\n\n");
    EXPECT_EQ(count(run.err, "Error: Invalid IP Address\n"), 3u);
    EXPECT_EQ(count(run.out, "IP Address: "), 4u);
    EXPECT_TRUE(has(run.out, "Choose 1-2 [2]: "));
    EXPECT_TRUE(has(run.out, "dialog 168 result 1"));
    EXPECT_TRUE(has(run.out, "targetAddress=10.1.0.5\n"));
    EXPECT_TRUE(has(run.out, "localAddress=10.0.0.2\n"));
    // Refusals drew no number: still the first of seed 7.
    EXPECT_TRUE(has(run.out, "firmwareFileName=/orb3d.bi1\n"));
}

TEST(TerminalDialogs, MenuAndButtonLinesThatNameNothingAreAskedAgain) {
    DriverRun run = runDriver(with(kTwoLocal, {"dialog", "101"}), "10.1.0.5\n3\nzero\n0\n2\nyes\nok\n");
    EXPECT_EQ(count(run.out, "No such entry."), 3u);
    EXPECT_EQ(count(run.out, "No such button."), 1u);
    EXPECT_TRUE(has(run.out, "localAddress=10.0.0.2\n"));
    EXPECT_TRUE(has(run.out, "dialog 101 result 1"));
}

TEST(TerminalDialogs, AddressDialogCancelAndEndOfInputDecline) {
    DriverRun cancel = runDriver(with(kTwoLocal, {"dialog", "101"}), "10.1.0.5\n\ncancel\n");
    EXPECT_TRUE(has(cancel.out, "dialog 101 result 0"));
    EXPECT_TRUE(has(cancel.out, "firmwareFileName=\n"));
    DriverRun ended = runDriver(with(kTwoLocal, {"dialog", "101"}), "10.1.0.5\n");
    EXPECT_TRUE(has(ended.out, "dialog 101 result 0"));
    EXPECT_EQ(ended.exitCode, 0);
}

TEST(TerminalDialogs, OrbstagePhoneAddressDialogUsesModelTitleAndStageDigit) {
    DriverRun run =
        runDriver({"stage", "--phone", "--stage", "0", "--model", "ORB-P10", "--local", "10.0.0.1", "dialog", "305"},
                  "10.1.0.13\n\n\n");
    EXPECT_TRUE(has(run.out, "== ORB-P10 Firmware Upgrade =="));
    EXPECT_TRUE(has(run.out, "press the I button on the phone"));
    EXPECT_TRUE(has(run.out, "dialog 305 result 1"));
    EXPECT_TRUE(has(run.out, ".bi0\n"));
}

TEST(TerminalDialogs, RecoveryEntryUpperCasesTheSerial) {
    DriverRun run = runDriver(with(kTwoLocal, {"dialog", "142", "dialog", "142"}),
                              "  abcdefghijklmnopqrstuvwxy \n2\n\nsn1\n\ncancel\n");
    EXPECT_TRUE(has(run.out, "== ORB Firmware Recovery =="));
    EXPECT_TRUE(has(run.out, "short-short-short-long-long-short-short-short."));
    EXPECT_TRUE(has(run.out, "recoverySerial=ABCDEFGHIJKLMNOPQRS\n"));
    EXPECT_TRUE(has(run.out, "targetText=ABCDEFGHIJKLMNOPQRS\n"));
    EXPECT_TRUE(has(run.out, "localAddress=10.0.0.2\n"));
    EXPECT_TRUE(has(run.out, ".bin\n"));
    EXPECT_TRUE(has(run.out, "dialog 142 result 0"));
    EXPECT_FALSE(has(run.out, "SN1"));
}

TEST(TerminalDialogs, PasswordDialogOffersAdminOnEveryOpening) {
    DriverRun run = runDriver({"flash", "dialog", "104", "dialog", "104", "dialog", "104"},
                              "bob\npw 1\n\n\n secret\nOK\nx\ny\ncancel\n");
    EXPECT_EQ(count(run.out, "User [admin]: "), 3u);
    EXPECT_TRUE(has(run.out, "userName=bob\npassword=pw 1\n"));
    // The second opening starts from "admin" again; the password is kept as typed.
    EXPECT_TRUE(has(run.out, "userName=admin\npassword= secret\n"));
    EXPECT_TRUE(has(run.out, "dialog 104 result 0"));
    // A password read from a pipe is not written back.
    EXPECT_FALSE(has(run.out, "Password: pw"));
}

TEST(TerminalDialogs, ConfirmShowsTheFactsAndTheStagedNote) {
    DriverRun flash = runDriver({"flash", "--facts", "dialog", "103", "dialog", "103"}, "upgrade\n\t\n");
    EXPECT_TRUE(has(flash.out, "== Confirm Upgrade to Ver.  =="));
    EXPECT_TRUE(has(flash.out,
                    "Serial Number: SN0042\nMAC Address: 021A2B3C4D5E\nSoftware Version: 3.1.4\n"
                    "Hardware Version: HW2\nProduct Name: ORB-A020\n"));
    EXPECT_FALSE(has(flash.out, "Note: Since"));
    EXPECT_EQ(count(flash.out, "dialog 103 result 1"), 2u);

    DriverRun staged = runDriver({"stage", "--stage", "0", "--facts", "dialog", "304"}, "Cancel\n");
    EXPECT_TRUE(has(staged.out, "Note: Since your current firmware version"));
    EXPECT_TRUE(has(staged.out, "dialog 304 result 0"));
}

TEST(TerminalDialogs, SuccessDialogEndsWithOkOrClose) {
    DriverRun run = runDriver({"flash", "--target", "10.1.0.9", "--facts", "dialog", "113", "dialog", "111"}, "\n");
    EXPECT_TRUE(has(run.out, "== ORB@10.1.0.9 Upgrade Successful! =="));
    EXPECT_TRUE(has(run.out, "3.1.4\n"));
    EXPECT_TRUE(has(run.out, "dialog 113 result 1"));
    EXPECT_TRUE(has(run.out, "dialog 111 result 0"));
}

TEST(TerminalDialogs, CtrlCAtAPromptIsTheCloseBox) {
    SKIP_IF_SIGNALS_CAN_BE_DROPPED();
    DriverRun run = runDriver({"flash", "dialog", "141", "box", "after"}, "", "Recover Firmware > ");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(has(run.out, "dialog 141 result 0"));
    // The run goes on: the next box still shows.
    EXPECT_TRUE(has(run.err, "ORB Firwmare Upgrade Error: after\n"));
}

TEST(TerminalDialogs, CtrlCWithNothingOnScreenEndsTheRunShowingNothingMore) {
    SKIP_IF_SIGNALS_CAN_BE_DROPPED();
    DriverRun run = runDriver({"flash", "dialog", "139", "idle", "dialog", "141", "wait", "110"}, "continue\n", "idle\n");
    EXPECT_EQ(run.exitCode, 0);
    // Declined unseen, the wait cancelled without its window or the error box.
    EXPECT_TRUE(has(run.out, "dialog 141 result 0"));
    EXPECT_FALSE(has(run.out, "Velmora") || has(run.out, "Uploading") || has(run.out, "not cancelled")) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST(TerminalProgress, PipedWindowWritesOneLinePerTitleAndReadsNoInput) {
    DriverRun run = runDriver({"flash", "titles", "110", "Uploading A", "Uploading A", "Uploading B", "--", "titles",
                               "114", "--", "dialog", "139"},
                              "continue\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.find("Please do not unplug the power of your ORB until the Status Light stops blinking\n"
                           "Uploading Firmware To ORB\nUploading A\nUploading B\nwindow 110 done\n"
                           "Waiting For Firmware Download Request From ORB\nwindow 114 done\n"),
              0u)
        << run.out;
    // The answer queued for the dialog was still there after the windows.
    EXPECT_TRUE(has(run.out, "dialog 139 result 1"));
}

TEST(TerminalProgress, CtrlCPressesCancelOfTheUploadWindow) {
    SKIP_IF_SIGNALS_CAN_BE_DROPPED();
    DriverRun run = runDriver({"flash", "--mode", "0", "wait", "110"}, "", "Uploading Firmware To ORB\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "ORB Firwmare Upgrade Error: Upgrade Failed: User Abort\n");
    EXPECT_FALSE(has(run.out, "not cancelled"));
}

TEST(TerminalProgress, CtrlCInTheConnectingWindowNamesTheSearchOnlyInARecovery) {
    SKIP_IF_SIGNALS_CAN_BE_DROPPED();
    DriverRun upgrade =
        runDriver({"flash", "--target", "10.1.0.9", "wait", "105"}, "", "Connecting with ORB@10.1.0.9\n");
    EXPECT_EQ(upgrade.exitCode, 0);
    EXPECT_EQ(upgrade.err, "ORB Firwmare Upgrade Error: Upgrade Failed: User Abort\n");
    DriverRun staged = runDriver({"stage", "--mode", "0", "wait", "105"}, "", "Connecting with ORB@\n");
    EXPECT_EQ(staged.err, "ORB Firwmare Upgrade Error: Upgrade Failed: User Abort\n");
    DriverRun search = runDriver({"flash", "--mode", "0", "wait", "105"}, "", "Connecting with ORB@\n");
    EXPECT_EQ(search.err, "ORB Firwmare Upgrade Error: Recovery Failed: Cannot find the specified device!\n");
}

}  // namespace
