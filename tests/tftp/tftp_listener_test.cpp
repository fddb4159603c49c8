// The listener on its own thread, as the flows serve, in a private
// namespace with the device's web server for the status reads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "apps/profiles/program_profiles.h"
#include "core/tftp_serving.h"
#include "net/http/http_exchange.h"
#include "tests/tftp/test_client.h"
#include "tests/tftp/tftp_test_support.h"

namespace {

const uint32_t kGroup = 0xEA04080A;  // 234.4.8.10

// A run that serves with the listener's thread. A run that has not ended
// after 30 s is cancelled, so that a broken case fails instead of hanging.
class ListenerRun : public TftpRun {
public:
    explicit ListenerRun(const ProgramProfile& profile) : TftpRun(profile) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        frontEnd.cancel = [deadline](ViewKind) { return std::chrono::steady_clock::now() > deadline; };
    }
    // The listener's port; 0 when it did not start.
    uint16_t start(uint32_t group = 0) {
        uint16_t port = 0;
        serving.emplace(run);
        until([&](::Run&) { port = serving->start(kLoopback, group, kLoopback); });
        return port;
    }
    // Waits for the listener's thread to end the run.
    std::optional<RunOutcome> finish() {
        return until([&](::Run&) { serving->finish(); });
    }

    std::optional<Serving> serving;
};

class TftpListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        useFakeClock(1000, true);
        ASSERT_EQ(device.port, kDeviceHttpPort);
    }
    void TearDown() override { useRealClock(); }

    // Serves the status reads once a fetch is done; until then they wait in its backlog.
    ScriptedHttpServer device{kDeviceHttpPort};
};

TEST_F(TftpListenerTest, IgnoresEverythingButTheExpectedNameThenServesIt) {
    ListenerRun t(kOrbflashProfile);
    std::vector<uint8_t> image = makeTestImage(40000, 20, "7.5.3");
    t.install(image);
    EXPECT_EQ(t.start(), 69);

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
    device.serve({statusPage("7.5.3")});
    EXPECT_EQ(t.finish(), RunOutcome::Success);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_GT(t.frontEnd.ticks(ViewKind::AwaitFetch), 0);
    EXPECT_TRUE(t.frontEnd.inOrder({"open await-fetch", "close await-fetch", "open upload", "transfer-done 40000/40000",
                                    "close upload", "success", "end success"}))
        << t.frontEnd.all();
    closeTestSocket(client);
}

TEST_F(TftpListenerTest, TakenPortsAreSkippedUpTo168) {
    TftpRun t(kOrbflashProfile);
    TestSocket other = openTestSocket(kLoopback, 69);
    ASSERT_GE(other.fd, 0);
    TftpListener* listener = nullptr;
    auto bind = [&](::Run& run) { listener = tftpBindListener(run, kLoopback, 0, kLoopback); };
    EXPECT_EQ(t.until(bind), std::nullopt);
    ASSERT_NE(listener, nullptr);
    EXPECT_EQ(listener->port, 70);
    tftpCloseListener(listener);

    std::vector<TestSocket> taken;
    for (uint16_t port = 70; port <= 168; ++port) taken.push_back(openTestSocket(kLoopback, port));
    EXPECT_EQ(t.until(bind), RunOutcome::ListenerBindFailed);
    EXPECT_EQ(t.frontEnd.count("end listener-bind|Upgrade Failed: Can't bind TFTP listener socket"), 1);
    for (TestSocket& socket : taken) closeTestSocket(socket);
    closeTestSocket(other);
}

TEST_F(TftpListenerTest, FailedGroupJoinReturnsZeroWithoutAThread) {
    ListenerRun t(kOrbflashProfile);
    EXPECT_EQ(t.start(0x0A010203), 0);  // not a group address
    EXPECT_TRUE(t.serving->ended(0));
    EXPECT_EQ(t.frontEnd.events(), std::vector<std::string>{"message Error|setsockopt"});
    TestSocket again = openTestSocket(kLoopback, 69);  // the socket was closed
    EXPECT_GE(again.fd, 0);
    closeTestSocket(again);
}

TEST_F(TftpListenerTest, RecoveryListenerHearsTheGroupAndServesTheGroup) {
    ListenerRun t(kOrbflashProfile);
    t.run.context().firmwareFileName.set("/orb77.bin");
    std::vector<uint8_t> image = makeTestImage(20000, 21, "7.5.3");
    t.install(image);
    EXPECT_EQ(t.start(kGroup), 69);
    TestSocket client = openTestSocket(0, 0);
    joinTestGroup(client, kGroup, kLoopback);
    FetchOptions options;
    options.sendRequest = true;
    options.name = "/orb77.bin";
    options.server = kGroup;  // the request itself goes to the group
    options.serverPort = 69;
    FetchResult got = fetchFile(client, options);
    device.serve({statusPage("7.5.3")});
    EXPECT_EQ(t.finish(), RunOutcome::Success);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_EQ(got.destinations, std::vector<uint32_t>{kGroup});
    closeTestSocket(client);
}

TEST_F(TftpListenerTest, StagedRunServesBothImagesOnOnePort) {
    ListenerRun t(kOrbstageProfile);
    UpgradeContext& c = t.run.context();
    std::vector<uint8_t> target = makeTestImage(9000, 22, "7.5.3");
    std::vector<uint8_t> transition = makeTestImage(7000, 23, "7.0.0");
    t.install(target);
    t.install(transition, true);
    c.stage.store(Stage::Transition);
    c.firmwareFileName.set("/orb10.bi0");
    // Everything the listener thread reads is set before it starts.
    uint16_t port = t.start();
    ASSERT_NE(port, 0);

    TestSocket client = openTestSocket();
    FetchOptions options;
    options.sendRequest = true;
    options.serverPort = port;
    options.name = "/orb10.bi0";
    FetchResult first = fetchFile(client, options);
    device.serve({statusPage("7.0.0")});
    for (int i = 0; i < 5000 && c.stage.load() != Stage::Target; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    c.firmwareFileName.set("/orb2f.bi1");  // as the flow does after the first stage
    sendTo(client, readRequest("/orb10.bi0"), kLoopback, port);
    Datagram d;
    EXPECT_FALSE(receiveFrom(client, &d, 300)) << "served the old name again";
    options.name = "/orb2f.bi1";
    FetchResult second = fetchFile(client, options);
    device.finish();
    device.serve({statusPage("7.5.3")});
    EXPECT_EQ(t.finish(), RunOutcome::Success);
    EXPECT_TRUE(first.complete && first.bytes == transition);
    EXPECT_TRUE(second.complete && second.bytes == target);
    EXPECT_EQ(t.frontEnd.count("open await-fetch"), 1);
    EXPECT_EQ(t.frontEnd.count("open await-next-fetch"), 1);
    EXPECT_TRUE(t.frontEnd.inOrder({"open await-fetch", "transfer-done 7000/7000", "restart-wait 0/1093",
                                    "version 7.0.0", "open await-next-fetch", "transfer-done 9000/9000",
                                    "restart-wait 0/1093", "version 7.5.3", "success", "end success"}))
        << t.frontEnd.all();
    EXPECT_EQ(t.frontEnd.count("success"), 1);
    EXPECT_EQ(t.frontEnd.count("status-read"), 2);
    closeTestSocket(client);
}

}  // namespace
