// The terminal front end on a pseudo-terminal: keys that cancel, input
// without echo, and the terminal settings put back at the end.
#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "tests/support/caught_signals.h"

namespace {

struct TtyRun {
    std::string screen;
    int exitCode = -1;
    int endSignal = 0;  // the signal that ended it, if one did
    bool echo = false;  // settings of the terminal after the end
    bool lineMode = false;
};

struct Step {
    std::string awaited;  // on screen before the keys are typed
    std::string keys;
    int signal = 0;  // sent instead of the keys
};

const int kLimitMs = 30000;

TtyRun runOnTty(const std::vector<std::string>& arguments, const std::vector<Step>& steps) {
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(TERMINAL_DRIVER)};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(TERMINAL_DRIVER, argv.data());
        _exit(127);
    }
    TtyRun run;
    if (child < 0) return run;
    size_t step = 0;
    size_t searchFrom = 0;
    for (int waited = 0; waited < kLimitMs; waited += 10) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10) == 1) {
            char buffer[4096];
            ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0) break;  // the child has gone
            run.screen.append(buffer, static_cast<size_t>(got));
        }
        if (step < steps.size()) {
            size_t at = run.screen.find(steps[step].awaited, searchFrom);
            if (at != std::string::npos) {
                searchFrom = at + steps[step].awaited.size();
                if (steps[step].signal != 0) {
                    EXPECT_EQ(kill(child, steps[step].signal), 0);
                } else {
                    ssize_t put = write(master, steps[step].keys.data(), steps[step].keys.size());
                    EXPECT_EQ(put, static_cast<ssize_t>(steps[step].keys.size()));
                }
                ++step;
            }
        }
    }
    termios settings{};
    if (tcgetattr(master, &settings) == 0) {
        run.echo = (settings.c_lflag & ECHO) != 0;
        run.lineMode = (settings.c_lflag & ICANON) != 0;
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    close(master);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.endSignal = WTERMSIG(status);
    EXPECT_EQ(step, steps.size()) << run.screen;
    return run;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(TerminalOnATty, QAndEscPressCancelButKeySequencesDoNot) {
    // The status line is drawn in place; q presses Cancel; the box waits for Enter.
    TtyRun quit = runOnTty({"flash", "wait", "110"}, {{"Uploading Firmware To ORB [", "q"}, {"Press Enter", "\r"}});
    EXPECT_EQ(quit.exitCode, 0);
    EXPECT_TRUE(has(quit.screen, "\r\nORB Firwmare Upgrade Error: Upgrade Failed: User Abort"));
    EXPECT_FALSE(has(quit.screen, "not cancelled"));

    TtyRun escape =
        runOnTty({"flash", "wait", "114"},
                 {{"From ORB [", "\x1b[A"}, {"From ORB [", "x"}, {"From ORB [", "\x1b"}, {"Press Enter", "\r"}});
    EXPECT_EQ(escape.exitCode, 0);
    EXPECT_TRUE(has(escape.screen, "Upgrade Failed: User Abort"));
}

TEST(TerminalOnATty, PasswordIsNotEchoedAndSettingsComeBack) {
    TtyRun run = runOnTty({"flash", "dialog", "104", "end", "114"},
                          {{"User [admin]: ", "\r"}, {"Password: ", "s3cret\r"}, {"Cancel > ", "\r"}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(has(run.screen, "s3cret\r\n[OK]")) << run.screen;
    EXPECT_TRUE(has(run.screen, "password=s3cret"));
    // It ended while a window read single keys without echo.
    EXPECT_TRUE(has(run.screen, "Waiting For Firmware Download Request From ORB ["));
    EXPECT_TRUE(run.echo);
    EXPECT_TRUE(run.lineMode);
}

TEST(TerminalOnATty, EndSignalsPutTheTerminalBackAndStillEndTheProcess) {
    SKIP_IF_SIGNALS_CAN_BE_DROPPED();
    // Without echo at the password; single keys without echo in a window.
    struct Place {
        std::vector<std::string> arguments;
        std::vector<Step> before;
        std::string awaited;
    };
    const std::vector<Place> places = {{{"flash", "dialog", "104"}, {{"User [admin]: ", "\r"}}, "Password: "},
                                       {{"flash", "wait", "114"}, {}, "From ORB ["}};
    for (int number : {SIGTERM, SIGHUP}) {
        for (const Place& place : places) {
            std::vector<Step> steps = place.before;
            steps.push_back({place.awaited, "", number});
            TtyRun run = runOnTty(place.arguments, steps);
            EXPECT_EQ(run.endSignal, number) << place.awaited;
            EXPECT_TRUE(run.echo) << number << " at " << place.awaited;
            EXPECT_TRUE(run.lineMode) << number << " at " << place.awaited;
        }
    }
}

}  // namespace
