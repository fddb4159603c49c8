// The listener in a private namespace. Its thread never ends, so every case
// runs in a child process that ends as the program would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include "core/firmware_file_name.h"
#include "core/upgrade_context.h"
#include "net/tftp/tftp_listener.h"
#include "tests/support/scripted_front_end.h"
#include "tests/tftp/test_client.h"
#include "tests/tftp/tftp_test_support.h"
#include "ui/dialog_texts.h"

namespace {

const uint32_t kGroup = 0xEA04080A;  // 234.4.8.10

class TftpListenerDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

std::atomic<int> gFetchesDone{0};

// The status read after an upload waits until the client has taken stock
// of what it fetched, since the process may end right after it.
void waitForFetches(int count) {
    setBeforeStatusRead([count] {
        for (int i = 0; i < 5000 && gFetchesDone.load() < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
}

// The child's main thread has nothing left to do; the listener ends the process.
void awaitTheEnd() {
    std::this_thread::sleep_for(std::chrono::seconds(20));
    std::fprintf(stderr, "the process did not end\n");
}

TEST_F(TftpListenerDeathTest, IgnoresEverythingButTheExpectedNameThenServesIt) {
    EXPECT_EXIT(
        {
            resetTftpTest(&kOrbflashProfile);
            static std::vector<uint8_t> image = makeTestImage(40000, 20, "7.5.3");
            installImage(image);
            scriptStatusReads({{500, ""}});
            waitForFetches(1);
            static uint16_t port = tftpStartListener(kLoopback, nullptr);
            static bool answered = false;
            static FetchResult got;
            setVerdict([] {
                std::string failures;
                if (port != 69) failures += "not on port 69; ";
                if (answered) failures += "answered a request it should ignore; ";
                if (!got.complete || got.bytes != image) failures += "image not received intact; ";
                if (!eventsInOrder({"open 114", "range 114 1000", std::string("text 1032 ") + kWaitingText,
                                    "destroy 114", "open 110", "dialog 111"}))
                    failures += "windows; ";
                return failures;
            });

            TestSocket client = openTestSocket();
            std::vector<uint8_t> unterminated = readRequest("/orb1a2b.bi1", false);
            unterminated.resize(2 + std::strlen("/orb1a2b.bi1"));
            std::vector<uint8_t> tooBig = readRequest("/orb1a2b.bi1");
            tooBig.resize(1500);
            std::vector<uint8_t> writeRequest = readRequest("/orb1a2b.bi1");
            writeRequest[1] = 2;
            for (const auto& noise : {writeRequest, readRequest("/orb1a2c.bi1"), readRequest("/ORB1A2B.BI1"),
                                      readRequest("orb1a2b.bi1"), unterminated, tooBig, ackPacket(0),
                                      errorPacket(1, "x"), std::vector<uint8_t>{0x00}, std::vector<uint8_t>{0, 6}}) {
                sendTo(client, noise, kLoopback, 69);
            }
            Datagram d;
            answered = receiveFrom(client, &d, 400);
            FetchOptions options;
            options.sendRequest = true;
            options.name = "/orb1a2b.bi1";
            options.serverPort = 69;
            got = fetchFile(client, options);
            gFetchesDone = 1;
            awaitTheEnd();
        },
        ::testing::ExitedWithCode(0), "VERDICT pass");
}

TEST_F(TftpListenerDeathTest, TakenPort69GivesPort70) {
    EXPECT_EXIT(
        {
            resetTftpTest(&kOrbflashProfile);
            TestSocket other = openTestSocket(kLoopback, 69);
            if (other.fd < 0) std::fprintf(stderr, "could not take port 69\n");
            std::fprintf(stderr, "port %u\n", tftpStartListener(kLoopback, nullptr));
            std::fflush(stderr);
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "port 70\n");
}

TEST_F(TftpListenerDeathTest, AllHundredPortsTakenEndsTheRun) {
    EXPECT_EXIT(
        {
            resetTftpTest(&kOrbflashProfile);
            std::vector<TestSocket> taken;
            for (uint16_t port = 69; port <= 168; ++port) taken.push_back(openTestSocket(kLoopback, port));
            TestSocket free169 = openTestSocket(kLoopback, 169);
            closeTestSocket(free169);
            tftpStartListener(kLoopback, nullptr);
            std::fprintf(stderr, "listener started\n");
        },
        ::testing::ExitedWithCode(0), "error box: Upgrade Failed: Can't bind TFTP listener socket");
}

TEST(TftpListener, FailedGroupJoinReturnsZeroWithoutAThread) {
    resetTftpTest(&kOrbflashProfile);
    EXPECT_EQ(tftpStartListener(kLoopback, "10.1.2.3"), 0);  // not a group address
    EXPECT_EQ(frontEndEvents(), std::vector<std::string>{"message Error|setsockopt"});
    TestSocket again = openTestSocket(kLoopback, 69);  // the socket was closed
    EXPECT_GE(again.fd, 0);
    closeTestSocket(again);
}

TEST_F(TftpListenerDeathTest, RecoveryListenerHearsTheGroupAndServesTheGroup) {
    EXPECT_EXIT(
        {
            resetTftpTest(&kOrbflashProfile);
            setFirmwareFileName("/orb77.bin");
            static std::vector<uint8_t> image = makeTestImage(20000, 21, "7.5.3");
            installImage(image);
            scriptStatusReads({{500, ""}});
            waitForFetches(1);
            static uint16_t port = tftpStartListener(kLoopback, "234.4.8.10");
            static FetchResult got;
            setVerdict([] {
                std::string failures;
                if (port != 69) failures += "not on port 69; ";
                if (!got.complete || got.bytes != image) failures += "image not received intact; ";
                if (got.destinations != std::vector<uint32_t>{kGroup}) failures += "not sent to the group; ";
                return failures;
            });
            TestSocket device = openTestSocket(0, 0);
            joinTestGroup(device, kGroup, kLoopback);
            FetchOptions options;
            options.sendRequest = true;
            options.name = "/orb77.bin";
            options.server = kGroup;  // the request itself goes to the group
            options.serverPort = 69;
            got = fetchFile(device, options);
            gFetchesDone = 1;
            awaitTheEnd();
        },
        ::testing::ExitedWithCode(0), "VERDICT pass");
}

TEST_F(TftpListenerDeathTest, StagedRunServesBothImagesOnOnePort) {
    EXPECT_EXIT(
        {
            resetTftpTest(&kOrbstageProfile);
            static std::vector<uint8_t> target = makeTestImage(9000, 22, "7.5.3");
            static std::vector<uint8_t> transition = makeTestImage(7000, 23, "7.0.0");
            installImage(target);
            installImage(transition, true);
            gContext.stage.store(0);
            setFirmwareFileName("/orb10.bi0");
            scriptStatusReads({{500, ""}});
            static FetchResult first;
            static FetchResult second;
            static bool staleServed = false;
            setBeforeStatusRead([] {
                int wanted = gContext.stage.load() == 0 ? 1 : 2;
                for (int i = 0; i < 5000 && gFetchesDone.load() < wanted; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
            setVerdict([] {
                std::string failures;
                if (!first.complete || first.bytes != transition) failures += "transition image; ";
                if (!second.complete || second.bytes != target) failures += "target image; ";
                if (staleServed) failures += "served the old name again; ";
                if (countEvents("open 114") != 2 || countEvents("text 1022") != 1) failures += "waiting windows; ";
                if (!eventsInOrder({"title Uploading Transition Firmware", "title Updating Transition Firmware",
                                    "open 114", "title Uploading Target Firmware", "title Updating Target Firmware",
                                    "dialog 111"}))
                    failures += "stage order; ";
                if (countEvents("dialog") != 1 || statusReadCount() != 2) failures += "checks; ";
                return failures;
            });
            // Everything the listener thread reads is set before it starts.
            static uint16_t port = tftpStartListener(kLoopback, nullptr);

            TestSocket device = openTestSocket();
            FetchOptions options;
            options.sendRequest = true;
            options.serverPort = port;
            options.name = "/orb10.bi0";
            first = fetchFile(device, options);
            gFetchesDone = 1;
            for (int i = 0; i < 5000 && gContext.stage.load() != 1; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            setFirmwareFileName("/orb2f.bi1");  // as the flow does after stage 1
            sendTo(device, readRequest("/orb10.bi0"), kLoopback, port);
            Datagram d;
            staleServed = receiveFrom(device, &d, 300);
            options.name = "/orb2f.bi1";
            second = fetchFile(device, options);
            gFetchesDone = 2;
            awaitTheEnd();
        },
        ::testing::ExitedWithCode(0), "VERDICT pass");
}

}  // namespace
