#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

#include "apps/orbflash/orbflash_recovery.h"
#include "core/program_profile.h"
#include "core/upgrade_context.h"
#include "net/recovery/recovery_discovery.h"
#include "platform/platform_clock.h"
#include "tests/support/scripted_front_end.h"

namespace {

const uint32_t kLoopback = 0x7F000001;

TEST(RecoveryPackets, SearchAndFetchLayouts) {
    RecoveryRequest request;
    makeSearchRequest(&request, "ABCDEFGHIJKLMNOPQRS");  // 19 characters
    EXPECT_EQ(request.bytes[0], 0);
    EXPECT_EQ(std::memcmp(request.bytes + 4, "RECM", 4), 0);
    EXPECT_EQ(std::memcmp(request.bytes + 8, "ABCDEFGHIJKLMNOPQRS", 19), 0);
    EXPECT_EQ(request.bytes[27], 0) << "the serial field's last byte stays NUL";
    for (size_t i = 28; i < kRecoveryRequestSize; ++i) ASSERT_EQ(request.bytes[i], 0) << i;

    makeFetchRequest(&request, "SN1", 70, "/orb1a2b.bin");
    EXPECT_EQ(request.bytes[0], 2);
    EXPECT_EQ(request.bytes[28], 0x00);
    EXPECT_EQ(request.bytes[29], 0x46);
    EXPECT_EQ(request.bytes[30], 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(request.bytes + 32), "/orb1a2b.bin");
    EXPECT_EQ(std::memcmp(request.bytes + 8, "SN1\0", 4), 0);
}

TEST(RecoveryPackets, AnswerFieldsStayInsideTheirTwentyBytes) {
    uint8_t bytes[100] = {};
    std::memcpy(bytes + 8, "SERIAL-1", 8);
    std::memset(bytes + 28, 'P', 20);  // no NUL: cut at the field's end
    const uint8_t mac[6] = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::memcpy(bytes + 48, mac, 6);
    std::memcpy(bytes + 54, "7.5.3", 5);
    std::memcpy(bytes + 74, "HW2", 3);
    bytes[94] = 127, bytes[95] = 0, bytes[96] = 0, bytes[97] = 2;
    RecoveryAnswer answer;
    readRecoveryAnswer(bytes, &answer);
    EXPECT_STREQ(answer.serialNumber, "SERIAL-1");
    EXPECT_EQ(std::string(answer.productName), std::string(20, 'P'));
    EXPECT_STREQ(answer.softwareVersion, "7.5.3");
    EXPECT_STREQ(answer.hardwareVersion, "HW2");
    EXPECT_EQ(answer.address, 0x7F000002u);
    char text[13];
    formatMacHex(answer.mac, text, 6);
    EXPECT_STREQ(text, "021A2B3C4D5E");
}

// A device in recovery mode: answers the n-th search it hears with a
// datagram of the given size.
class Responder {
public:
    Responder(int answerSize, int answerOnRequest) : size(answerSize), answerOn(answerOnRequest) {
        fd = socket(AF_INET, SOCK_DGRAM, 0);
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(kRecoveryRequestPort);
        bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        ip_mreq group{};
        group.imr_multiaddr.s_addr = htonl(kRecoveryGroup);
        group.imr_interface.s_addr = htonl(kLoopback);
        setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group);
        timeval wait{0, 100000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        worker = std::thread([this] { run(); });
    }
    ~Responder() {
        stop = true;
        worker.join();
        close(fd);
    }
    int heard() const { return requests.load(); }

private:
    void run() {
        while (!stop) {
            uint8_t request[200];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t got = recvfrom(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (got != 160 || std::memcmp(request + 4, "RECM", 4) != 0) continue;
            if (++requests < answerOn) continue;
            uint8_t answer[128] = {};
            std::memcpy(answer + 8, request + 8, 20);
            answer[94] = 127, answer[97] = 2;
            from.sin_port = htons(kRecoveryAnswerPort);
            sendto(fd, answer, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
        }
    }
    int fd;
    int size;
    int answerOn;
    std::atomic<bool> stop{false};
    std::atomic<int> requests{0};
    std::thread worker;
};

// Each 500 ms wait of the exchange takes 5 ms here.
void shortSleep(unsigned ms) { usleep(ms * 10); }

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        resetUpgradeContext();
        resetScriptedFrontEnd();
        gProgram = &kOrbflashProfile;
        setClockHooks(nullptr, shortSleep);
        makeSearchRequest(&request, "SN-42");
    }
    void TearDown() override {
        recoveryClose();
        setClockHooks(nullptr, nullptr);
    }
    int exchange() {
        RecoveryHooks hooks{
            &reports,
            [](void* raw, const char* text, const char* caption) {
                static_cast<std::vector<std::string>*>(raw)->push_back(std::string(caption) + "|" + text);
            },
            [](void*) { return true; }};
        return recoveryExchange(&request, answer, kLoopback, hooks);
    }
    RecoveryRequest request;
    uint8_t answer[128] = {};
    std::vector<std::string> reports;
};

TEST_F(Exchange, AHundredByteAnswerIsFoundEvenInTheFifthCycle) {
    {
        Responder device(100, 1);
        EXPECT_EQ(exchange(), 1);
        EXPECT_EQ(std::memcmp(answer + 8, "SN-42", 5), 0);
    }
    Responder lateDevice(100, 5);
    EXPECT_EQ(exchange(), 1);
    EXPECT_EQ(lateDevice.heard(), 5);
}

TEST_F(Exchange, AnswersOfOtherSizesAreNotAnswers) {
    for (int size : {99, 101}) {
        Responder device(size, 1);
        EXPECT_EQ(exchange(), 0) << size;
        EXPECT_EQ(device.heard(), 5) << "five send cycles";
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(Exchange, ABindFailureIsReportedAndTheNextExchangeTriesAgain) {
    int blocker = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in taken{};
    taken.sin_family = AF_INET;
    taken.sin_port = htons(kRecoveryAnswerPort);
    ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&taken), sizeof taken), 0);
    EXPECT_EQ(exchange(), 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("Error|Binding socket failed! Error: ", 0), 0u) << reports[0];
    close(blocker);

    Responder device(100, 1);
    EXPECT_EQ(exchange(), 1);
}

TEST_F(Exchange, SearchRunsBehindTheConnectingWindow) {
    std::strcpy(gContext.recoverySerial, "SN-42");
    std::strcpy(gContext.targetText, "SN-42");
    gContext.localAddress = kLoopback;
    {
        Responder device(100, 1);
        EXPECT_EQ(runUntilEnd(searchForDevice), std::nullopt);
    }
    std::vector<std::string> expected = {"open 105", "title Connecting with ORB@SN-42", "range 105 100", "destroy 105"};
    EXPECT_EQ(frontEndEvents(), expected);
    recoveryClose();
    EXPECT_EQ(runUntilEnd(searchForDevice), RunOutcome::DeviceNotFound);
    EXPECT_EQ(frontEndEvents().end()[-2], "error Recovery Failed: Cannot find the specified device!");
    // Cancel in the window ends the search the same way, in words.
    scriptedFrontEnd().onPoll = [](ProgressKind) { return true; };
    EXPECT_EQ(runUntilEnd(searchForDevice), RunOutcome::SearchCancelled);
    EXPECT_EQ(frontEndEvents().end()[-2], "error Recovery Failed: Cannot find the specified device!");
}

}  // namespace
