// The transfer against a test client on loopback, and the device's web
// server for the status read after it (in a private namespace).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "apps/profiles/program_profiles.h"
#include "base/text.h"
#include "core/tftp_serving.h"
#include "net/http/http_exchange.h"
#include "net/tftp/tftp_transfer.h"
#include "tests/tftp/test_client.h"
#include "tests/tftp/tftp_test_support.h"

namespace {

const uint32_t kGroup = 0xEA04080A;  // 234.4.8.10

// Runs the transfer on this thread while body plays the client (a member
// of the group, when there is one); then the device's web server gives
// the status reads (until then they wait in its backlog). How the run
// ended, if it did.
std::optional<RunOutcome> serve(TftpRun& t, const std::function<void(TestSocket& client, uint16_t serverPort)>& body,
                                const std::vector<ScriptedAnswer>& reads = {}, bool withOptions = true,
                                uint32_t group = 0) {
    // The transfer's socket, as the listener would hand it over.
    TestSocket server = openTestSocket(kLoopback, 0);
    TestSocket client = openTestSocket(group ? 0 : kLoopback, 0);
    if (group) joinTestGroup(client, group, kLoopback);
    EXPECT_GE(server.fd, 0);
    EXPECT_GE(client.fd, 0);
    // Without reads nobody listens, so that an unexpected read ends at once.
    std::unique_ptr<ScriptedHttpServer> device;
    if (!reads.empty()) {
        device = std::make_unique<ScriptedHttpServer>(kDeviceHttpPort);
        EXPECT_EQ(device->port, kDeviceHttpPort);
    }
    std::thread player([&] {
        body(client, server.port);
        if (device) device->serve(reads);
    });
    std::optional<RunOutcome> outcome = t.until([&](::Run& run) {
        tftpStartTransfer(run, server.fd, group, kLoopback, TftpRequest{kLoopback, client.port, withOptions});
    });
    player.join();
    if (device) device->finish();
    closeTestSocket(client);
    closeTestSocket(server);
    return outcome;
}

class TftpTransfer : public ::testing::Test {
protected:
    void SetUp() override { useFakeClock(1000, true); }
    void TearDown() override { useRealClock(); }
};

using TftpStageTransfer = TftpTransfer;
using TftpFlashTransfer = TftpTransfer;

TEST_F(TftpStageTransfer, ServesEveryLayoutByteForByte) {
    for (uint32_t size : {0u, 512u, 1000u, 4200090u}) {
        SCOPED_TRACE(size);
        TftpRun t(kOrbstageProfile);
        std::vector<uint8_t> image = makeTestImage(size, size, "7.5.3");
        t.install(image);
        FetchResult got;
        std::optional<RunOutcome> outcome =
            serve(t, [&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); },
                  {statusPage(imageVersion(t.run.context().image))});

        ASSERT_TRUE(got.complete) << got.problem;
        EXPECT_TRUE(got.bytes == image);
        EXPECT_EQ(got.blocks, size / 512 + 1);
        EXPECT_EQ(got.lastLength, size % 512);
        std::vector<uint8_t> expectedAck(kTftpPacketSize);
        expectedAck.resize(static_cast<size_t>(tftpBuildOptionAck(expectedAck.data(), size)));
        EXPECT_EQ(got.optionAck, expectedAck);
        EXPECT_EQ(outcome, RunOutcome::Success);
        const std::string bytes = std::to_string(size);
        EXPECT_TRUE(t.frontEnd.inOrder({"open upload", "transfer-start " + bytes,
                                        "transfer-done " + bytes + "/" + bytes, "restart-wait 0/1093", "close upload",
                                        "status-read 127.0.0.1", "success", "end success"}))
            << t.frontEnd.all();
    }
}

TEST_F(TftpStageTransfer, RequestWithoutOptionsStartsWithTheFirstBlock) {
    TftpRun t(kOrbstageProfile);
    std::vector<uint8_t> image = makeTestImage(5000, 14, "7.5.3");
    t.install(image);
    FetchResult got;
    serve(
        t, [&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); }, {}, false);
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_EQ(got.optionAcks, 0);
    EXPECT_EQ(got.dataPackets, 10);
    EXPECT_TRUE(got.bytes == image);
}

TEST_F(TftpStageTransfer, AlignedImageEndsOnlyWhenTheEmptyBlockIsAcknowledged) {
    ProgramProfile quick = quickProfile(kOrbstageProfile);
    TftpRun t(quick);
    std::vector<uint8_t> image = makeTestImage(1024, 4, "7.5.3");
    t.install(image);
    FetchResult got;
    FetchOptions options;
    options.ackLastBlock = false;
    EXPECT_EQ(serve(t, [&](TestSocket& client, uint16_t) { got = fetchFile(client, options); }),
              RunOutcome::UploadIncomplete);
    EXPECT_TRUE(got.complete);
    EXPECT_EQ(got.blocks, 3u);
    EXPECT_EQ(got.lastLength, 0u);
    EXPECT_TRUE(t.frontEnd.inOrder({"restart-wait 0/", "end upload-incomplete"})) << t.frontEnd.all();
    EXPECT_EQ(t.frontEnd.count("transfer-done"), 0);
    EXPECT_EQ(t.frontEnd.count("status-read"), 0);
}

TEST_F(TftpStageTransfer, StrayDatagramsCostNoTime) {
    // A retry limit of four 100 ms periods; a flood of junk far above four
    // hundred datagrams before the device answers must not end the transfer.
    ProgramProfile quick = quickProfile(kOrbstageProfile);
    TftpRun t(quick);
    std::vector<uint8_t> image = makeTestImage(3000, 15, "7.5.3");
    t.install(image);
    FetchResult got;
    int refusals = 0;
    serve(t,
          [&](TestSocket& client, uint16_t serverPort) {
              TestSocket stranger = openTestSocket(0x7F000003, 0);
              for (int i = 0; i < 3000; ++i)
                  sendTo(stranger, ackPacket(static_cast<uint16_t>(i)), kLoopback, serverPort);
              Datagram d;
              while (receiveFrom(stranger, &d, 50)) refusals += opcodeOf(d) == 5;
              closeTestSocket(stranger);
              got = fetchFile(client, FetchOptions{});
          },
          {statusPage("7.5.3")});
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_TRUE(got.bytes == image);
    EXPECT_GE(refusals, 1);
    EXPECT_LT(refusals, 3000) << "every stray datagram answered";
}

TEST_F(TftpStageTransfer, AFetchAskedAgainFromANewPortStartsOver) {
    TftpRun t(kOrbstageProfile);
    std::vector<uint8_t> image = makeTestImage(9000, 16, "7.5.3");
    t.install(image);
    FetchResult got;
    std::optional<RunOutcome> outcome =
        serve(t,
              [&](TestSocket& client, uint16_t serverPort) {
                  Datagram d;
                  if (!receiveFrom(client, &d, 2000) || opcodeOf(d) != 6) return;
                  sendTo(client, ackPacket(0), kLoopback, serverPort);  // block 1 comes, then the device gives up
                  if (!receiveFrom(client, &d, 2000)) return;
                  TestSocket again = openTestSocket(kLoopback, 0);
                  // Asked again without options: block 1 comes, not an OACK.
                  FetchOptions options;
                  options.sendRequest = true;
                  options.requestOptions = false;
                  options.name = "/orb1a2b.bi1";
                  options.serverPort = serverPort;
                  got = fetchFile(again, options);
                  closeTestSocket(again);
              },
              {statusPage("7.5.3")});
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_TRUE(got.bytes == image);
    EXPECT_EQ(got.optionAcks, 0);
    EXPECT_EQ(outcome, RunOutcome::Success) << t.frontEnd.all();
}

TEST_F(TftpStageTransfer, DuplicateAcksTriggerNoResend) {
    TftpRun t(kOrbstageProfile);
    std::vector<uint8_t> image = makeTestImage(20 * 512 + 77, 5, "7.5.3");
    t.install(image);
    FetchResult got;
    FetchOptions options;
    options.ackTwice = true;
    serve(t, [&](TestSocket& client, uint16_t) { got = fetchFile(client, options); });
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_EQ(got.dataPackets, 21);
    EXPECT_EQ(got.optionAcks, 1);
}

TEST_F(TftpStageTransfer, TheDevicesErrorEndsTheRunAtOnceWithItsWords) {
    TftpRun t(kOrbstageProfile);
    std::vector<uint8_t> image = makeTestImage(5000, 6, "7.5.3");
    t.install(image);
    int optionAcks = 0;
    std::optional<RunOutcome> outcome = serve(t, [&](TestSocket& client, uint16_t) {
        Datagram d;
        if (!receiveFrom(client, &d, 1500) || opcodeOf(d) != 6) return;
        ++optionAcks;
        sendTo(client, errorPacket(8, "option refused"), d.from, d.fromPort);
    });
    EXPECT_EQ(outcome, RunOutcome::TftpDeviceError);
    EXPECT_EQ(optionAcks, 1);
    EXPECT_EQ(t.frontEnd.count("end tftp-device-error|Upgrade Failed: TFTP error 8 from ORB: option refused"), 1)
        << t.frontEnd.all();
    EXPECT_EQ(t.frontEnd.count("restart-wait"), 0);
}

TEST_F(TftpStageTransfer, OnlyAMatchingAckFromTheRequesterMovesOn) {
    TftpRun t(kOrbstageProfile);
    std::vector<uint8_t> image = makeTestImage(3000, 7, "7.5.3");
    t.install(image);
    FetchResult got;
    uint16_t afterNoise = 0;
    serve(t, [&](TestSocket& client, uint16_t serverPort) {
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
    TftpRun t(kOrbstageProfile);
    std::vector<uint8_t> image = makeTestImage(65537 * 512 + 100, 8, "7.5.3");
    t.install(image);
    FetchResult got;
    std::optional<RunOutcome> outcome =
        serve(t, [&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); }, {statusPage("7.5.3")});
    ASSERT_TRUE(got.complete) << got.problem;
    EXPECT_EQ(got.blocks, 65538u);
    EXPECT_TRUE(got.bytes == image);
    EXPECT_EQ(outcome, RunOutcome::Success) << t.frontEnd.all();
}

TEST_F(TftpStageTransfer, FailedTransitionEndsTheStagedRun) {
    ProgramProfile quick = quickProfile(kOrbstageProfile);
    TftpRun t(quick);
    std::vector<uint8_t> target = makeTestImage(3000, 12, "7.5.3");
    std::vector<uint8_t> transition = makeTestImage(3000, 13, "7.0.0");
    t.install(target);
    t.install(transition, true);
    t.run.context().stage.store(Stage::Transition);
    EXPECT_EQ(serve(t, [](TestSocket&, uint16_t) {}), RunOutcome::UploadIncomplete);
    EXPECT_EQ(t.frontEnd.count("end upload-incomplete|Upgrade Failed: Firmware Upload Incomplete"), 1);
    EXPECT_EQ(t.run.context().stage.load(), Stage::Transition) << "went on to the target";
}

TEST_F(TftpFlashTransfer, RecoverySendsToTheGroupAtTheRequestersPort) {
    TftpRun t(kOrbflashProfile);
    copyText(t.run.context().modelName, sizeof t.run.context().modelName, "ORBQ4x4");
    std::vector<uint8_t> image = makeTestImage(30000, 9, "7.5.3");
    t.install(image);
    FetchResult got;
    std::optional<RunOutcome> outcome = serve(
        t, [&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); }, {statusPage("7.5.3")}, true,
        kGroup);
    EXPECT_EQ(outcome, RunOutcome::Success);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_EQ(got.destinations, std::vector<uint32_t>{kGroup});
    EXPECT_TRUE(t.frontEnd.inOrder({"restart-wait 0/3905", "close upload", "status-read 127.0.0.1", "success"}))
        << t.frontEnd.all();
}

TEST_F(TftpFlashTransfer, TimeOutEndsTheRunWithoutTheRestartWait) {
    ProgramProfile quick = quickProfile(kOrbflashProfile);
    TftpRun t(quick);
    std::vector<uint8_t> image = makeTestImage(30000, 10, "7.5.3");
    t.install(image);
    // A client that never answers: the first block and a resend for each
    // period but the last, then the time-out.
    int received = 0;
    EXPECT_EQ(serve(t,
                    [&](TestSocket& client, uint16_t) {
                        for (int i = 0; i < 3000 && t.frontEnd.count("end") == 0; ++i) {
                            Datagram d;
                            received += receiveFrom(client, &d, 10);
                        }
                        for (Datagram d; receiveFrom(client, &d, 0);) ++received;
                    }),
              RunOutcome::TftpTimeOut);
    EXPECT_EQ(received, kQuickRetryLimit);
    EXPECT_EQ(t.frontEnd.count("end tftp-time-out|Upgrade Failed: TFTP time out"), 1);
    EXPECT_EQ(t.frontEnd.count("restart-wait"), 0);
    EXPECT_EQ(t.frontEnd.count("status-read"), 0);
}

TEST_F(TftpFlashTransfer, DeviceSilentAfterTheUploadIsReported) {
    TftpRun t(kOrbflashProfile);
    std::vector<uint8_t> image = makeTestImage(10000, 11, "7.5.3");
    t.install(image);
    FetchResult got;
    std::optional<RunOutcome> outcome =
        serve(t, [&](TestSocket& client, uint16_t) { got = fetchFile(client, FetchOptions{}); }, {silentAnswer()});
    EXPECT_EQ(outcome, RunOutcome::NotRespondingAfterUpload);
    EXPECT_TRUE(got.complete && got.bytes == image);
    EXPECT_TRUE(
        t.frontEnd.inOrder({"restart-wait 0/1562", "close upload", "status-read",
                            "end silent-after-upload|Upgrade Failed: ORB not responding after firmware upload"}))
        << t.frontEnd.all();
    EXPECT_EQ(t.frontEnd.count("success"), 0);
    EXPECT_EQ(t.frontEnd.count("status-read"), 1);
}

}  // namespace
