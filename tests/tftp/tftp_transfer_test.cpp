// The transfer against a test client on loopback (in a private namespace).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "core/upgrade_context.h"
#include "net/tftp/tftp_transfer.h"
#include "platform/platform_socket.h"
#include "tests/support/scripted_front_end.h"
#include "tests/tftp/test_client.h"
#include "tests/tftp/tftp_test_support.h"

namespace {

const uint32_t kGroup = 0xEA04080A;  // 234.4.8.10

// The transfer's socket, as the listener would hand it over.
TestSocket serverSocket() { return openTestSocket(kLoopback, 0); }

// Runs the transfer on this thread while body plays the client.
void serve(const std::function<void(TestSocket& client, uint16_t serverPort)>& body, bool withOptions = true) {
    TestSocket server = serverSocket();
    TestSocket client = openTestSocket(kLoopback, 0);
    ASSERT_GE(server.fd, 0);
    ASSERT_GE(client.fd, 0);
    std::thread player([&] { body(client, server.port); });
    tftpStartTransfer(server.fd, 0, kLoopback, kLoopback, client.port, withOptions);
    player.join();
    closeTestSocket(client);
    closeTestSocket(server);
}

class TftpStageTransfer : public ::testing::Test {
protected:
    void SetUp() override { resetTftpTest(&kOrbstageProfile); }
    void TearDown() override { useRealClock(); }
};

TEST_F(TftpStageTransfer, ServesEveryLayoutByteForByte) {
    for (uint32_t size : {0u, 512u, 1000u, 4200090u}) {
        SCOPED_TRACE(size);
        resetTftpTest(&kOrbstageProfile);
        std::vector<uint8_t> image = makeTestImage(size, size, "7.5.3");
        installImage(image);
        scriptStatusReads({{300, ""}});
        FetchResult got;
        serve([&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); });

        ASSERT_TRUE(got.complete) << got.problem;
        EXPECT_TRUE(got.bytes == image);
        EXPECT_EQ(got.blocks, size / 512 + 1);
        EXPECT_EQ(got.lastLength, size % 512);
        std::vector<uint8_t> expectedAck(kTftpPacketSize);
        expectedAck.resize(static_cast<size_t>(tftpBuildOptionAck(expectedAck.data(), size)));
        EXPECT_EQ(got.optionAck, expectedAck);
        std::string done = "title Uploading Target Firmware to ORB@10.1.0.13 " + std::to_string(size) + "/" +
                           std::to_string(size) + " Bytes";
        EXPECT_TRUE(eventsInOrder({"open 110", "range 110 " + std::to_string(size / 512 + 1), done,
                                   "title Updating Target Firmware", "destroy 110", "dialog 111"}))
            << allEvents();
        EXPECT_EQ(countEvents("error"), 0);
    }
}

TEST_F(TftpStageTransfer, RequestWithoutOptionsStartsWithTheFirstBlock) {
    std::vector<uint8_t> image = makeTestImage(5000, 14, "7.5.3");
    installImage(image);
    FetchResult got;
    serve([&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); }, false);
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_EQ(got.optionAcks, 0);
    EXPECT_EQ(got.dataPackets, 10);
    EXPECT_TRUE(got.bytes == image);
}

TEST_F(TftpStageTransfer, AlignedImageEndsOnlyWhenTheEmptyBlockIsAcknowledged) {
    gProgram = &gQuickStage;
    std::vector<uint8_t> image = makeTestImage(1024, 4, "7.5.3");
    installImage(image);
    FetchResult got;
    FetchOptions options;
    options.ackLastBlock = false;
    serve([&](TestSocket& client, uint16_t) { got = fetchFile(client, options); });
    EXPECT_TRUE(got.complete);
    EXPECT_EQ(got.blocks, 3u);
    EXPECT_EQ(got.lastLength, 0u);
    EXPECT_TRUE(eventsInOrder({"title Updating Target Firmware", "error Upgrade Failed: Firmware Upload Incomplete"}))
        << allEvents();
    EXPECT_EQ(statusReadCount(), 0);
}

TEST_F(TftpStageTransfer, DuplicateAcksTriggerNoResend) {
    std::vector<uint8_t> image = makeTestImage(20 * 512 + 77, 5, "7.5.3");
    installImage(image);
    FetchResult got;
    FetchOptions options;
    options.ackTwice = true;
    serve([&](TestSocket& client, uint16_t) { got = fetchFile(client, options); });
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_EQ(got.dataPackets, 21);
    EXPECT_EQ(got.optionAcks, 1);
}

TEST_F(TftpStageTransfer, ClientRefusingTheOptionsIsNotServed) {
    gProgram = &gQuickStage;
    std::vector<uint8_t> image = makeTestImage(5000, 6, "7.5.3");
    installImage(image);
    int optionAcks = 0;
    int others = 0;
    serve([&](TestSocket& client, uint16_t) {
        Datagram d;
        while (receiveFrom(client, &d, 1500)) {
            if (opcodeOf(d) != 6) {
                ++others;
                continue;
            }
            ++optionAcks;
            sendTo(client, errorPacket(8, "option refused"), d.from, d.fromPort);
        }
    });
    EXPECT_EQ(optionAcks, kQuickRetryLimit);  // the first and one per period until the limit
    EXPECT_EQ(others, 0);
    EXPECT_TRUE(eventsInOrder({"title Updating Target Firmware", "destroy 110",
                               "error Upgrade Failed: Firmware Upload Incomplete"}))
        << allEvents();
}

TEST_F(TftpStageTransfer, OnlyAMatchingAckFromTheRequesterMovesOn) {
    std::vector<uint8_t> image = makeTestImage(3000, 7, "7.5.3");
    installImage(image);
    FetchResult got;
    uint16_t afterNoise = 0;
    serve([&](TestSocket& client, uint16_t serverPort) {
        Datagram d;
        if (!receiveFrom(client, &d, 2000) || opcodeOf(d) != 6) return;
        TestSocket stranger = openTestSocket(kLoopback, 0);
        sendTo(stranger, ackPacket(0), kLoopback, serverPort);  // right block, wrong port
        closeTestSocket(stranger);
        std::vector<uint8_t> tooBig = ackPacket(0);
        tooBig.resize(1100);  // an ACK 0 that does not fit the receive area
        sendTo(client, tooBig, kLoopback, serverPort);
        sendTo(client, {0x00, 0x04}, kLoopback, serverPort);  // no block number
        sendTo(client, ackPacket(3), kLoopback, serverPort);  // not the awaited block
        sendTo(client, errorPacket(0, "x"), kLoopback, serverPort);
        sendTo(client, readRequest("/orb1a2b.bi1"), kLoopback, serverPort);  // a repeated request
        if (!receiveFrom(client, &d, 2000)) return;
        afterNoise = opcodeOf(d);  // the OACK again, one period later
        got = fetchFile(client, FetchOptions{});
    });
    EXPECT_EQ(afterNoise, 6);
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_TRUE(got.bytes == image);
}

TEST_F(TftpStageTransfer, BlockNumbersRollOverPast65535) {
    std::vector<uint8_t> image = makeTestImage(65537 * 512 + 100, 8, "7.5.3");
    installImage(image);
    scriptStatusReads({{700, "7.5.3"}});
    FetchResult got;
    serve([&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); });
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_EQ(got.blocks, 65538u);
    EXPECT_TRUE(got.bytes == image);
    EXPECT_EQ(countEvents("error"), 0) << allEvents();
}

// orbflash ends the process after every transfer: each case runs in a child
// whose verdict is printed as it ends.
class TftpTransferDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

std::thread gPlayer;
FetchResult gFetched;

void serveAndEnd(const std::vector<uint8_t>& image, uint32_t group, const FetchOptions& options) {
    installImage(image);
    TestSocket server = serverSocket();
    TestSocket client = openTestSocket(group ? 0 : kLoopback, 0);
    if (group) joinTestGroup(client, group, kLoopback);
    gPlayer = std::thread([client, options] { gFetched = fetchFile(client, options); });
    setBeforeStatusRead([] {
        if (gPlayer.joinable()) gPlayer.join();
    });
    tftpStartTransfer(server.fd, group, kLoopback, kLoopback, client.port);
}

TEST_F(TftpTransferDeathTest, RecoverySendsToTheGroupAtTheRequestersPort) {
    EXPECT_EXIT(
        {
            resetTftpTest(&kOrbflashProfile);
            std::strcpy(gContext.modelName, "ORBQ4x4");
            static std::vector<uint8_t> image = makeTestImage(30000, 9, "7.5.3");
            scriptStatusReads({{400, ""}});
            setVerdict([] {
                std::string failures;
                if (!gFetched.complete || gFetched.bytes != image) failures += "image not received intact; ";
                if (gFetched.destinations != std::vector<uint32_t>{kGroup}) failures += "not sent to the group; ";
                if (!eventsInOrder({"title Updating Firmware to ORB@10.1.0.13", "destroy 110", "dialog 113"}))
                    failures += "no restart wait and success dialog; ";
                return failures;
            });
            serveAndEnd(image, kGroup, FetchOptions{});
        },
        ::testing::ExitedWithCode(0), "VERDICT pass");
}

TEST_F(TftpTransferDeathTest, TimeOutEndsTheRunWithoutTheRestartWait) {
    EXPECT_EXIT(
        {
            resetTftpTest(&gQuickFlash);
            static std::vector<uint8_t> image = makeTestImage(30000, 10, "7.5.3");
            setVerdict([] {
                std::string failures;
                if (countEvents("error Upgrade Failed: TFTP time out") != 1) failures += "no time-out message; ";
                if (countEvents("title Updating") != 0 || statusReadCount() != 0) failures += "went on after it; ";
                return failures;
            });
            installImage(image);
            TestSocket server = serverSocket();
            TestSocket client = openTestSocket(kLoopback, 0);  // never answers
            tftpStartTransfer(server.fd, 0, kLoopback, kLoopback, client.port);
        },
        ::testing::ExitedWithCode(0), "VERDICT pass");
}

TEST_F(TftpTransferDeathTest, DeviceSilentAfterTheUploadIsReported) {
    EXPECT_EXIT(
        {
            resetTftpTest(&kOrbflashProfile);
            static std::vector<uint8_t> image = makeTestImage(10000, 11, "7.5.3");
            scriptStatusReads({{0, ""}});
            setVerdict([] {
                std::string failures;
                if (!gFetched.complete || gFetched.bytes != image) failures += "image not received intact; ";
                if (!eventsInOrder({"title Updating Firmware", "destroy 110",
                                    "error Upgrade Failed: ORB not responding after firmware upload"}))
                    failures += "no report after the wait; ";
                if (countEvents("dialog") != 0 || statusReadCount() != 1) failures += "wrong status reads; ";
                return failures;
            });
            serveAndEnd(image, 0, FetchOptions{});
        },
        ::testing::ExitedWithCode(0), "VERDICT pass");
}

TEST_F(TftpTransferDeathTest, FailedTransitionEndsTheStagedRun) {
    EXPECT_EXIT(
        {
            resetTftpTest(&gQuickStage);
            static std::vector<uint8_t> target = makeTestImage(3000, 12, "7.5.3");
            static std::vector<uint8_t> transition = makeTestImage(3000, 13, "7.0.0");
            installImage(target);
            installImage(transition, true);
            gContext.stage.store(0);
            setVerdict([] {
                std::string failures;
                if (countEvents("error Upgrade Failed: Firmware Upload Incomplete") != 1) failures += "no message; ";
                if (gContext.stage.load() != 0) failures += "went on to the target; ";
                return failures;
            });
            TestSocket server = serverSocket();
            TestSocket client = openTestSocket(kLoopback, 0);  // never answers
            tftpStartTransfer(server.fd, 0, kLoopback, kLoopback, client.port);
            std::fprintf(stderr, "returned to the listener\n");
        },
        ::testing::ExitedWithCode(0), "VERDICT pass");
}

}  // namespace
