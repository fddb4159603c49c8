// The transfer against a test client on loopback (in a private namespace).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "core/tftp_serving.h"
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

// Runs the transfer on this thread while body plays the client (a member
// of the group, when there is one); how the run ended, if it did.
std::optional<RunOutcome> serve(const std::function<void(TestSocket& client, uint16_t serverPort)>& body,
                                bool withOptions = true, uint32_t group = 0) {
    TestSocket server = serverSocket();
    TestSocket client = openTestSocket(group ? 0 : kLoopback, 0);
    if (group) joinTestGroup(client, group, kLoopback);
    EXPECT_GE(server.fd, 0);
    EXPECT_GE(client.fd, 0);
    std::thread player([&] { body(client, server.port); });
    // The status read after the upload waits for the client to finish.
    setBeforeStatusRead([&player] {
        if (player.joinable()) player.join();
    });
    std::optional<RunOutcome> outcome = runUntilEnd([&] {
        tftpStartTransfer(server.fd, group, kLoopback, TftpRequest{kLoopback, client.port, withOptions});
    });
    if (player.joinable()) player.join();
    setBeforeStatusRead(nullptr);
    closeTestSocket(client);
    closeTestSocket(server);
    return outcome;
}

FetchResult fetchAll(const FetchOptions& options, std::optional<RunOutcome>* outcome, uint32_t group = 0) {
    FetchResult got;
    *outcome = serve([&](TestSocket& client, uint16_t) { got = fetchFile(client, options); }, true, group);
    return got;
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

TEST_F(TftpStageTransfer, StrayDatagramsCostNoTime) {
    // A retry limit of four 100 ms periods; a flood of junk far above four
    // hundred datagrams before the device answers must not end the transfer.
    gProgram = &gQuickStage;
    std::vector<uint8_t> image = makeTestImage(3000, 15, "7.5.3");
    installImage(image);
    scriptStatusReads({{300, ""}});
    FetchResult got;
    int refusals = 0;
    serve([&](TestSocket& client, uint16_t serverPort) {
        TestSocket stranger = openTestSocket(0x7F000003, 0);
        for (int i = 0; i < 3000; ++i) sendTo(stranger, ackPacket(static_cast<uint16_t>(i)), kLoopback, serverPort);
        Datagram d;
        while (receiveFrom(stranger, &d, 50)) refusals += opcodeOf(d) == 5;
        closeTestSocket(stranger);
        got = fetchFile(client, FetchOptions{});
    });
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_TRUE(got.bytes == image);
    EXPECT_GE(refusals, 1);
    EXPECT_LT(refusals, 3000) << "every stray datagram answered";
}

TEST_F(TftpStageTransfer, AFetchAskedAgainFromANewPortStartsOver) {
    std::vector<uint8_t> image = makeTestImage(9000, 16, "7.5.3");
    installImage(image);
    scriptStatusReads({{300, ""}});
    FetchResult got;
    serve([&](TestSocket& client, uint16_t serverPort) {
        Datagram d;
        if (!receiveFrom(client, &d, 2000) || opcodeOf(d) != 6) return;
        sendTo(client, ackPacket(0), kLoopback, serverPort);  // block 1 comes, then the device gives up
        if (!receiveFrom(client, &d, 2000)) return;
        TestSocket again = openTestSocket(kLoopback, 0);
        FetchOptions options;
        options.sendRequest = true;
        options.name = "/orb1a2b.bi1";
        options.serverPort = serverPort;
        got = fetchFile(again, options);
        closeTestSocket(again);
    });
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_TRUE(got.bytes == image);
    EXPECT_EQ(countEvents("error"), 0) << allEvents();
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

TEST_F(TftpStageTransfer, TheDevicesErrorEndsTheRunAtOnceWithItsWords) {
    std::vector<uint8_t> image = makeTestImage(5000, 6, "7.5.3");
    installImage(image);
    int optionAcks = 0;
    std::optional<RunOutcome> outcome = serve([&](TestSocket& client, uint16_t) {
        Datagram d;
        if (!receiveFrom(client, &d, 1500) || opcodeOf(d) != 6) return;
        ++optionAcks;
        sendTo(client, errorPacket(8, "option refused"), d.from, d.fromPort);
    });
    EXPECT_EQ(outcome, RunOutcome::TftpDeviceError);
    EXPECT_EQ(optionAcks, 1);
    EXPECT_EQ(countEvents("error Upgrade Failed: TFTP error 8 from ORB: option refused"), 1) << allEvents();
    EXPECT_EQ(countEvents("title Updating"), 0);
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
        sendTo(stranger, errorPacket(0, "x"), kLoopback, serverPort);      // not the device's transfer
        sendTo(stranger, ackPacket(0), kLoopback, serverPort);             // right block, wrong port
        if (!receiveFrom(stranger, &d, 2000) || opcodeOf(d) != 5) return;  // RFC 1350: "unknown transfer ID"
        closeTestSocket(stranger);
        std::vector<uint8_t> tooBig = ackPacket(0);
        tooBig.resize(1100);  // an ACK 0 that does not fit the receive area
        sendTo(client, tooBig, kLoopback, serverPort);
        sendTo(client, {0x00, 0x04}, kLoopback, serverPort);                 // no block number
        sendTo(client, ackPacket(3), kLoopback, serverPort);                 // not the awaited block
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

TEST(TftpFlashTransfer, RecoverySendsToTheGroupAtTheRequestersPort) {
    resetTftpTest(&kOrbflashProfile);
    std::strcpy(gContext.modelName, "ORBQ4x4");
    std::vector<uint8_t> image = makeTestImage(30000, 9, "7.5.3");
    installImage(image);
    scriptStatusReads({{400, ""}});
    std::optional<RunOutcome> outcome;
    FetchResult got = fetchAll(FetchOptions{}, &outcome, kGroup);
    EXPECT_EQ(outcome, RunOutcome::Success);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_EQ(got.destinations, std::vector<uint32_t>{kGroup});
    EXPECT_TRUE(eventsInOrder({"title Updating Firmware to ORB@10.1.0.13", "destroy 110", "dialog 113"}))
        << allEvents();
    useRealClock();
}

TEST(TftpFlashTransfer, TimeOutEndsTheRunWithoutTheRestartWait) {
    resetTftpTest(&gQuickFlash);
    std::vector<uint8_t> image = makeTestImage(30000, 10, "7.5.3");
    installImage(image);
    // A client that never answers.
    EXPECT_EQ(serve([](TestSocket&, uint16_t) {}), RunOutcome::TftpTimeOut);
    EXPECT_EQ(countEvents("error Upgrade Failed: TFTP time out"), 1);
    EXPECT_EQ(countEvents("title Updating"), 0);
    EXPECT_EQ(statusReadCount(), 0);
    useRealClock();
}

TEST(TftpFlashTransfer, DeviceSilentAfterTheUploadIsReported) {
    resetTftpTest(&kOrbflashProfile);
    std::vector<uint8_t> image = makeTestImage(10000, 11, "7.5.3");
    installImage(image);
    scriptStatusReads({{0, ""}});
    std::optional<RunOutcome> outcome;
    FetchResult got = fetchAll(FetchOptions{}, &outcome);
    EXPECT_EQ(outcome, RunOutcome::NotRespondingAfterUpload);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_TRUE(eventsInOrder(
        {"title Updating Firmware", "destroy 110", "error Upgrade Failed: ORB not responding after firmware upload"}))
        << allEvents();
    EXPECT_EQ(countEvents("dialog"), 0);
    EXPECT_EQ(statusReadCount(), 1);
    useRealClock();
}

TEST(TftpStageTransferEnd, FailedTransitionEndsTheStagedRun) {
    resetTftpTest(&gQuickStage);
    std::vector<uint8_t> target = makeTestImage(3000, 12, "7.5.3");
    std::vector<uint8_t> transition = makeTestImage(3000, 13, "7.0.0");
    installImage(target);
    installImage(transition, true);
    gContext.stage.store(Stage::Transition);
    EXPECT_EQ(serve([](TestSocket&, uint16_t) {}), RunOutcome::UploadIncomplete);
    EXPECT_EQ(countEvents("error Upgrade Failed: Firmware Upload Incomplete"), 1);
    EXPECT_EQ(gContext.stage.load(), Stage::Transition) << "went on to the target";
    useRealClock();
}

}  // namespace
