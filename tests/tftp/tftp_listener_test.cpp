// The listener in a private namespace, its loop on a thread of the test
// until the run ends.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "core/tftp_serving.h"
#include "core/upgrade_context.h"
#include "tests/support/scripted_front_end.h"
#include "tests/tftp/test_client.h"
#include "tests/tftp/tftp_test_support.h"
#include "ui/dialog_texts.h"

namespace {

const uint32_t kGroup = 0xEA04080A;  // 234.4.8.10

std::atomic<int> gFetchesDone{0};

// The listener's loop on its own thread. A run that has not ended after
// 30 s is cancelled, so that a broken case fails instead of hanging.
class ListenerRun {
public:
    explicit ListenerRun(uint32_t group = 0) {
        listener_ = tftpBindListener(kLoopback, group, kLoopback);
        if (!listener_) return;
        port = listener_->port;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        scriptedFrontEnd().onPoll = [deadline](ProgressKind) { return std::chrono::steady_clock::now() > deadline; };
        thread_ = std::thread([this] { outcome_ = runUntilEnd([this] { tftpListenLoop(listener_); }); });
    }
    ~ListenerRun() { finish(); }
    std::optional<RunOutcome> finish() {
        if (thread_.joinable()) thread_.join();
        if (listener_) tftpCloseListener(listener_);
        listener_ = nullptr;
        return outcome_;
    }
    uint16_t port = 0;

private:
    TftpListener* listener_ = nullptr;
    std::thread thread_;
    std::optional<RunOutcome> outcome_;
};

// The status read after an upload waits until the client has taken stock
// of what it fetched.
void waitForFetches(std::function<int()> wanted) {
    gFetchesDone = 0;
    setBeforeStatusRead([wanted] {
        for (int i = 0; i < 5000 && gFetchesDone.load() < wanted(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
}

class TftpListenerTest : public ::testing::Test {
protected:
    void SetUp() override { resetTftpTest(&kOrbflashProfile); }
    void TearDown() override { useRealClock(); }
};

TEST_F(TftpListenerTest, IgnoresEverythingButTheExpectedNameThenServesIt) {
    std::vector<uint8_t> image = makeTestImage(40000, 20, "7.5.3");
    installImage(image);
    scriptStatusReads({{500, ""}});
    waitForFetches([] { return 1; });
    ListenerRun run;
    EXPECT_EQ(run.port, 69);

    TestSocket client = openTestSocket();
    std::vector<uint8_t> unterminated = readRequest("/orb1a2b.bi1", false);
    unterminated.resize(2 + std::strlen("/orb1a2b.bi1"));
    std::vector<uint8_t> tooBig = readRequest("/orb1a2b.bi1");
    tooBig.resize(1500);
    std::vector<uint8_t> writeRequest = readRequest("/orb1a2b.bi1");
    writeRequest[1] = 2;
    for (const auto& noise : {writeRequest, readRequest("/orb1a2c.bi1"), readRequest("/ORB1A2B.BI1"),
                              readRequest("orb1a2b.bi1"), unterminated, tooBig, ackPacket(0), errorPacket(1, "x"),
                              std::vector<uint8_t>{0x00}, std::vector<uint8_t>{0, 6}}) {
        sendTo(client, noise, kLoopback, 69);
    }
    Datagram d;
    EXPECT_FALSE(receiveFrom(client, &d, 400)) << "answered a request it should ignore";
    FetchOptions options;
    options.sendRequest = true;
    options.name = "/orb1a2b.bi1";
    options.serverPort = 69;
    FetchResult got = fetchFile(client, options);
    gFetchesDone = 1;
    EXPECT_EQ(run.finish(), RunOutcome::Success);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_TRUE(eventsInOrder(
        {"open 114", "range 114 1000", std::string("text ") + kWaitingText, "destroy 114", "open 110", "dialog 111"}))
        << allEvents();
    closeTestSocket(client);
}

TEST_F(TftpListenerTest, TakenPortsAreSkippedUpTo168) {
    TestSocket other = openTestSocket(kLoopback, 69);
    ASSERT_GE(other.fd, 0);
    TftpListener* listener = tftpBindListener(kLoopback, 0, kLoopback);
    ASSERT_NE(listener, nullptr);
    EXPECT_EQ(listener->port, 70);
    tftpCloseListener(listener);

    std::vector<TestSocket> taken;
    for (uint16_t port = 70; port <= 168; ++port) taken.push_back(openTestSocket(kLoopback, port));
    EXPECT_EQ(runUntilEnd([] { tftpBindListener(kLoopback, 0, kLoopback); }), RunOutcome::ListenerBindFailed);
    EXPECT_EQ(countEvents("error Upgrade Failed: Can't bind TFTP listener socket"), 1);
    for (TestSocket& socket : taken) closeTestSocket(socket);
    closeTestSocket(other);
}

TEST_F(TftpListenerTest, FailedGroupJoinReturnsZeroWithoutAThread) {
    EXPECT_EQ(tftpStartListener(kLoopback, 0x0A010203, kLoopback), 0);  // not a group address
    EXPECT_EQ(frontEndEvents(), std::vector<std::string>{"message Error|setsockopt"});
    TestSocket again = openTestSocket(kLoopback, 69);  // the socket was closed
    EXPECT_GE(again.fd, 0);
    closeTestSocket(again);
}

TEST_F(TftpListenerTest, RecoveryListenerHearsTheGroupAndServesTheGroup) {
    gContext.firmwareFileName.set("/orb77.bin");
    std::vector<uint8_t> image = makeTestImage(20000, 21, "7.5.3");
    installImage(image);
    scriptStatusReads({{500, ""}});
    waitForFetches([] { return 1; });
    ListenerRun run(kGroup);
    EXPECT_EQ(run.port, 69);
    TestSocket device = openTestSocket(0, 0);
    joinTestGroup(device, kGroup, kLoopback);
    FetchOptions options;
    options.sendRequest = true;
    options.name = "/orb77.bin";
    options.server = kGroup;  // the request itself goes to the group
    options.serverPort = 69;
    FetchResult got = fetchFile(device, options);
    gFetchesDone = 1;
    EXPECT_EQ(run.finish(), RunOutcome::Success);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_EQ(got.destinations, std::vector<uint32_t>{kGroup});
    closeTestSocket(device);
}

TEST_F(TftpListenerTest, StagedRunServesBothImagesOnOnePort) {
    resetTftpTest(&kOrbstageProfile);
    std::vector<uint8_t> target = makeTestImage(9000, 22, "7.5.3");
    std::vector<uint8_t> transition = makeTestImage(7000, 23, "7.0.0");
    installImage(target);
    installImage(transition, true);
    gContext.stage.store(Stage::Transition);
    gContext.firmwareFileName.set("/orb10.bi0");
    scriptStatusReads({{500, ""}});
    waitForFetches([] { return gContext.stage.load() == Stage::Transition ? 1 : 2; });
    // Everything the listener thread reads is set before it starts.
    ListenerRun run;

    TestSocket device = openTestSocket();
    FetchOptions options;
    options.sendRequest = true;
    options.serverPort = run.port;
    options.name = "/orb10.bi0";
    FetchResult first = fetchFile(device, options);
    gFetchesDone = 1;
    for (int i = 0; i < 5000 && gContext.stage.load() != Stage::Target; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    gContext.firmwareFileName.set("/orb2f.bi1");  // as the flow does after the first stage
    sendTo(device, readRequest("/orb10.bi0"), kLoopback, run.port);
    Datagram d;
    EXPECT_FALSE(receiveFrom(device, &d, 300)) << "served the old name again";
    options.name = "/orb2f.bi1";
    FetchResult second = fetchFile(device, options);
    gFetchesDone = 2;
    EXPECT_EQ(run.finish(), RunOutcome::Success);
    EXPECT_TRUE(first.complete && first.bytes == transition);
    EXPECT_TRUE(second.complete && second.bytes == target);
    EXPECT_EQ(countEvents("open 114"), 2);
    EXPECT_EQ(countEvents("text "), 1);
    EXPECT_TRUE(eventsInOrder({"title Uploading Transition Firmware", "title Updating Transition Firmware", "open 114",
                               "title Uploading Target Firmware", "title Updating Target Firmware", "dialog 111"}))
        << allEvents();
    EXPECT_EQ(countEvents("dialog"), 1);
    EXPECT_EQ(statusReadCount(), 2);
    closeTestSocket(device);
}

}  // namespace
