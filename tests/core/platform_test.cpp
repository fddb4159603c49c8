#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include "platform/local_addresses.h"
#include "platform/platform_child.h"
#include "platform/platform_console.h"
#include "tests/support/caught_signals.h"

namespace {

template <class Done>
bool within2s(Done done) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2); !done(); usleep(1000))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

TEST(Platform, LocalAddressTowardADeviceIsTheRoutesSource) {
    if (!std::getenv("ORB_IN_NETNS")) GTEST_SKIP() << "needs its own network namespace (netns.sh)";
    // To loopback; no route to 198.18.0.0/15 here; 0.0.0.0 is no device.
    for (const auto& row : {std::pair{0x7F000002u, 0x7F000001u}, {0xC6120009u, 0u}, {0u, 0u}}) {
        uint32_t local = 0;
        EXPECT_EQ(localAddressToward(row.first, &local) ? local : 0, row.second) << std::hex << row.first;
    }
}

TEST(Platform, ChildLogRefusesLinksAndChildDiesWithItsParent) {
    char folder[] = "/tmp/orb-logs.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string at = std::string(folder) + "/";
    ASSERT_EQ(std::system(("cd " + at + " && touch plain && ln -s plain link && ln -s no dangling").c_str()), 0);
    char* argv[] = {const_cast<char*>("/bin/sleep"), const_cast<char*>("30"), nullptr};
    for (std::string name : {"link", "dangling", "", "plain"}) {  // "": the folder
        char why[64] = "";
        EXPECT_EQ(childLogOpenable((at + name).c_str(), why, sizeof why), name == "plain") << name;
        EXPECT_EQ(std::string(why) == "it is a symbolic link", name == "link" || name == "dangling") << why;
        EXPECT_TRUE(name == "plain" || !childStart(argv, (at + name).c_str())) << name;
    }
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // orphans come to us, to be seen gone
    for (int signal : {SIGKILL, SIGTERM}) {
        int started[2], status = 0;
        ASSERT_EQ(pipe(started), 0);
        pid_t parent = fork();
        if (parent == 0) {
            if (childStart(argv, nullptr)) close(started[1]), pause();
            _exit(1);
        }
        close(started[1]);
        EXPECT_EQ(read(started[0], &status, 1), 0);  // the parent and the child (before exec) closed theirs
        close(started[0]);
        kill(parent, signal);
        waitpid(parent, nullptr, 0);
        EXPECT_TRUE(within2s([&] { return waitpid(-1, &status, WNOHANG) > 0; })) << "outlived its parent";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    std::system(("rm -rf " + at).c_str());
}

TEST(Platform, ConsoleSignals) {
    SKIP_IF_SIGNALS_CAN_BE_DROPPED();
    signal(SIGPIPE, SIG_DFL);
    Console().attach();
    int ends[2], terminal, input, status = 0;
    termios now{};
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    EXPECT_EQ(write(ends[1], "x", 1) == -1 ? errno : 0, EPIPE) << "a closed output must not end the run";
    // Hidden prompt: uncaught, the signal ends the run; caught, the read returns (2 * interrupts + termination).
    const int rows[][3] = {{SIGQUIT, 0, -SIGQUIT}, {SIGHUP, 0, -SIGHUP}, {SIGINT, 1, 2}, {SIGTERM, 1, 5}};
    for (const auto& row : rows) {
        ASSERT_EQ(openpty(&terminal, &input, nullptr, nullptr, nullptr), 0);
        pid_t run = fork();
        if (run == 0) {
            prctl(PR_SET_DUMPABLE, 0);  // no core file from SIGQUIT
            signal(row[0], SIG_DFL);
            dup2(input, STDIN_FILENO), close(terminal);  // the read ends when the test closes its side
            Console console;
            if (row[1]) console.catchInterrupts(InterruptCatching::Always);
            char line[8];
            bool read = console.readHiddenLine(line, 8) == LineResult::Line;
            _exit(read ? 9 : console.interruptCount() * 2 + console.terminationRequested());
        }
        EXPECT_TRUE(within2s([&] { return tcgetattr(input, &now) == 0 && !(now.c_lflag & ECHO); }));
        kill(run, row[0]);
        bool ended = within2s([&] { return waitpid(run, &status, WNOHANG) == run; });
        EXPECT_EQ(!ended ? 99 : WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status), row[2]);
        EXPECT_TRUE(tcgetattr(input, &now) == 0 && (now.c_lflag & ECHO)) << row[0];
        close(terminal), close(input);
    }
}

}  // namespace
