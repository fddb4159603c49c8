#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/local_addresses.h"
#include "platform/platform_child.h"
#include "platform/platform_socket.h"

namespace {

// A veth pair in the test's own namespace (netns.sh): 198.18.0.1/24 on one
// end, 198.19.0.1/24 on the other; nothing is sent through it.
bool twoInterfaces() {
    return std::getenv("ORB_IN_NETNS") &&
           std::system("ip link add orbv0 type veth peer name orbv1 && ip addr add 198.18.0.1/24 dev orbv0 && "
                       "ip addr add 198.19.0.1/24 dev orbv1 && ip link set orbv0 up && ip link set orbv1 up") == 0;
}

TEST(Platform, LocalAddressTowardADeviceIsTheRoutesSource) {
    if (!twoInterfaces()) GTEST_SKIP() << "needs its own network namespace";
    const struct {
        uint32_t device, local;
    } rows[] = {{0x7F000002, 0x7F000001}, {0xC6120009, 0xC6120001}, {0xC6130009, 0xC6130001}, {0xC612C801, 0}};
    for (const auto& row : rows) {
        uint32_t local = 0;
        EXPECT_EQ(localAddressToward(row.device, &local), row.local != 0) << std::hex << row.device;
        EXPECT_EQ(local, row.local) << std::hex << row.device;
    }
}

TEST(Platform, JoiningOnAnInterfaceAlsoSendsThere) {
    if (!std::getenv("ORB_IN_NETNS")) GTEST_SKIP() << "needs its own network namespace";
    for (uint32_t interface : {0u, 0x7F000001u}) {
        OrbSocket s = socketOpenUdp();
        ASSERT_TRUE(socketJoinGroup(s, 0xEFFF0001, interface));
        in_addr sending{};
        socklen_t length = sizeof sending;
        ASSERT_EQ(getsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &sending, &length), 0);
        EXPECT_EQ(ntohl(sending.s_addr), interface);
        socketClose(s);
    }
}

// Polls until done() holds, for at most 2 s.
template <class Done>
bool within2s(Done done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done())
        if (std::chrono::steady_clock::now() > end || usleep(1000) != 0) return false;
    return true;
}

TEST(Platform, ChildLogIsNeverReachedThroughALink) {
    char folder[] = "/tmp/orb-platform-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string at = std::string(folder) + "/";
    std::ofstream(at + "target").flush();
    ASSERT_EQ(symlink("target", (at + "link.log").c_str()) | symlink("missing", (at + "dangling.log").c_str()), 0);
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), const_cast<char*>("echo oops >&2"), nullptr};
    for (const char* name : {"plain.log", "link.log", "dangling.log", ""}) {
        const std::string path = at + name;
        const bool plain = *name == 'p';
        char why[64] = "";
        EXPECT_EQ(childLogOpenable(path.c_str(), why, sizeof why), plain) << path;
        OrbChild* child = childStart(argv, path.c_str());
        ASSERT_EQ(child != nullptr, plain) << path << ": " << why;
        int status = -1;
        if (!child) continue;
        EXPECT_TRUE(within2s([&] { return childEnded(child, &status); }));
        childRelease(child, nullptr);
    }
    std::string target, plain;
    std::getline(std::ifstream(at + "target"), target);
    std::getline(std::ifstream(at + "plain.log"), plain);
    EXPECT_EQ(target, "") << "appended through the link";
    EXPECT_EQ(plain, "oops");
    EXPECT_NE(access((at + "missing").c_str(), F_OK), 0) << "created through the dangling link";
    std::system(("rm -rf " + at).c_str());
}

TEST(Platform, ChildDiesWithItsParent) {
    // Orphans come to us, so that we can reap them and see them gone.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (int signal : {SIGKILL, SIGTERM}) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t parent = fork();
        if (parent == 0) {
            char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"),
                            const_cast<char*>("echo $$; exec sleep 30"), nullptr};
            OrbChild* child = childStart(argv, nullptr);
            char pid[16];
            int got = 0;
            while (child && (got = childRead(child, pid, sizeof pid)) == 0) childWaitForOutput(&child, 1, 100);
            if (got <= 0 || write(report[1], pid, static_cast<size_t>(got)) != got) _exit(1);
            pause();
        }
        close(report[1]);
        char pid[16] = {};
        ASSERT_GT(read(report[0], pid, sizeof pid - 1), 0);
        close(report[0]);
        pid_t child = std::atoi(pid);
        kill(parent, signal);
        waitpid(parent, nullptr, 0);
        int status = 0;
        EXPECT_TRUE(within2s([&] { return waitpid(child, &status, WNOHANG) == child; })) << "outlived its parent";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        if (kill(child, SIGKILL) == 0) waitpid(child, nullptr, 0);
    }
}

}  // namespace
