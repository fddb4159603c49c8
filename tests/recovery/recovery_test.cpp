#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "apps/orbflash/orbflash_recovery.h"
#include "apps/profiles/program_profiles.h"
#include "base/text.h"
#include "net/recovery/recovery_discovery.h"
#include "platform/platform_clock.h"
#include "tests/support/recording_front_end.h"

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

using Datagram = std::vector<uint8_t>;

// A 100-byte answer for serial at address; every byte the rule does not
// read (0..7, past the serial's NUL, 98..99) holds 0xAB.
Datagram answerFor(const char* serial, uint32_t address) {
    Datagram answer(100, 0xAB);
    size_t length = std::strlen(serial);
    std::memcpy(answer.data() + 8, serial, length);
    if (length < 20) answer[8 + length] = 0;
    for (int i = 0; i < 4; ++i) answer[94 + i] = static_cast<uint8_t>(address >> (24 - 8 * i));
    return answer;
}

TEST(RecoveryPackets, AnAnswerCountsOnlyForTheRequestsSerialFromAHostAddress) {
    struct Row {
        const char* serial;
        uint32_t address;
        size_t length;
        bool matches;
    };
    const Row rows[] = {
        {"SN-42", 0x7F000002, 100, true},                                     // loopback stays usable
        {"SN-42", 0x0A000001, 100, true},  {"SN-42", 0xDFFFFFFF, 100, true},  // the last address below multicast
        {"SN-42", 0x7F000002, 99, false},  {"SN-42", 0x7F000002, 101, false},  {"SN-43", 0x7F000002, 100, false},
        {"SN-4", 0x7F000002, 100, false},  {"SN-421", 0x7F000002, 100, false}, {"sn-42", 0x7F000002, 100, false},
        {"", 0x7F000002, 100, false},      {"SN-42", 0x00000000, 100, false},  {"SN-42", 0xE0000001, 100, false},
        {"SN-42", 0xEA04080A, 100, false},  // the recovery group itself
        {"SN-42", 0xEFFFFFFF, 100, false}, {"SN-42", 0xF0000001, 100, false},  {"SN-42", 0xFFFFFFFF, 100, false},
    };
    for (int command : {0, 2}) {
        RecoveryRequest request;
        if (command == 0)
            makeSearchRequest(&request, "SN-42");
        else
            makeFetchRequest(&request, "SN-42", 69, "/orb1a2b.bin");
        for (const Row& row : rows) {
            Datagram answer = answerFor(row.serial, row.address);
            answer.resize(row.length, 0);
            EXPECT_EQ(recoveryAnswerMatches(request, answer.data(), static_cast<int>(row.length)), row.matches)
                << command << " " << row.serial << " " << std::hex << row.address << " " << std::dec << row.length;
        }
    }
    // The whole field when the request fills it (19 characters and its NUL).
    RecoveryRequest longest;
    makeSearchRequest(&longest, "ABCDEFGHIJKLMNOPQRS");
    EXPECT_TRUE(recoveryAnswerMatches(longest, answerFor("ABCDEFGHIJKLMNOPQRS", 0x7F000002).data(), 100));
    EXPECT_FALSE(recoveryAnswerMatches(longest, answerFor("ABCDEFGHIJKLMNOPQRST", 0x7F000002).data(), 100));
}

// What a host sends for each request it hears, before the answer if any.
using Strays = std::function<std::vector<Datagram>(const uint8_t* request)>;

// A device in recovery mode: answers the n-th search it hears with a
// datagram of the given size, after the strays; leaves the first fetches
// unanswered when told to.
class Responder {
public:
    Responder(int answerSize, int answerOnRequest, Strays straysFor = {}, int ignoredFetches = 0)
        : size(answerSize), answerOn(answerOnRequest), strays(std::move(straysFor)), fetchesIgnored(ignoredFetches) {
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
    int fetchesHeard() const { return fetches.load(); }

private:
    void run() {
        while (!stop) {
            uint8_t request[200];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t got = recvfrom(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (got != 160 || std::memcmp(request + 4, "RECM", 4) != 0) continue;
            from.sin_port = htons(kRecoveryAnswerPort);
            if (request[0] == 2 && ++fetches <= fetchesIgnored) continue;
            if (strays)
                for (const Datagram& stray : strays(request))
                    sendto(fd, stray.data(), stray.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
            if (++requests < answerOn) continue;
            uint8_t answer[128] = {};
            std::memcpy(answer + 8, request + 8, 20);
            answer[94] = 127, answer[97] = 2;
            sendto(fd, answer, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
        }
    }
    int fd;
    int size;
    int answerOn;
    Strays strays;
    int fetchesIgnored;
    std::atomic<bool> stop{false};
    std::atomic<int> requests{0};
    std::atomic<int> fetches{0};
    std::thread worker;
};

// Each 500 ms wait of the exchange takes 5 ms here.
void shortSleep(unsigned ms) { usleep(ms * 10); }

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        setClockHooks(nullptr, shortSleep);
        makeSearchRequest(&request, "SN-42");
    }
    void TearDown() override {
        recoveryClose(&channel);
        setClockHooks(nullptr, nullptr);
    }
    int exchange() {
        RecoveryHooks hooks{
            &reports,
            [](void* raw, const char* text, const char* caption) {
                static_cast<std::vector<std::string>*>(raw)->push_back(std::string(caption) + "|" + text);
            },
            [](void*) { return true; }};
        return recoveryExchange(&channel, &request, answer, kLoopback, hooks);
    }
    RecoveryChannel channel;
    RecoveryRequest request;
    uint8_t answer[128] = {};
    std::vector<std::string> reports;
};

// An orbflash run in recovery mode for the serial SN-42, on loopback.
struct RecoveryRun : TestRun {
    RecoveryRun() : TestRun(kOrbflashProfile) {
        UpgradeContext& c = run.context();
        c.mode = RunMode::Recovery;
        copyText(c.recoverySerial, sizeof c.recoverySerial, "SN-42");
        copyText(c.targetText, sizeof c.targetText, "SN-42");
        c.localAddress = kLoopback;
        c.firmwareFileName.set("/orb1a2b.bin");
    }
    std::optional<RunOutcome> search() {
        return until([&](::Run&) { recovery.search(); });
    }
    RecoverySearch recovery{run};
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

Datagram junk() {
    static std::mt19937 random(1);
    Datagram datagram(100);
    for (uint8_t& byte : datagram) byte = static_cast<uint8_t>(random());
    return datagram;
}

TEST_F(Exchange, StraysAreIgnoredAndTheDeviceBehindThemIsFound) {
    struct Row {
        const char* name;
        Strays strays;
    };
    const Row rows[] = {
        {"another serial", [](const uint8_t*) { return std::vector<Datagram>{answerFor("SN-43", 0x7F000003)}; }},
        {"bad addresses",
         [](const uint8_t* heard) {
             std::vector<Datagram> out;
             for (uint32_t bad : {0x00000000u, 0xE0000001u, 0xF0000001u, 0xFFFFFFFFu})
                 out.push_back(answerFor(reinterpret_cast<const char*>(heard + 8), bad));
             return out;
         }},
        {"junk", [](const uint8_t*) { return std::vector<Datagram>{junk()}; }},
        {"a burst of 30",
         [](const uint8_t*) {
             std::vector<Datagram> out;
             for (int i = 0; i < 30; ++i) out.push_back(junk());
             return out;
         }},
    };
    for (const Row& row : rows) {
        {
            Responder straysOnly(100, 99, row.strays);
            EXPECT_EQ(exchange(), 0) << row.name;
            EXPECT_EQ(straysOnly.heard(), 5) << row.name << ": five send cycles";
        }
        std::memset(answer, 0, sizeof answer);
        Responder device(100, 1, row.strays);
        EXPECT_EQ(exchange(), 1) << row.name;
        EXPECT_EQ(std::memcmp(answer + 8, "SN-42", 6), 0) << row.name;
        EXPECT_EQ(answer[97], 2) << row.name << ": the device's own address";
    }
    EXPECT_TRUE(reports.empty());
}

// Bytes waiting in the socket bound to the answer port, as the kernel lists them.
unsigned long waitingAtAnswerPort() {
    std::ifstream table("/proc/net/udp");
    std::string line;
    while (std::getline(table, line)) {
        char local[32];
        unsigned long waiting = 0;
        if (std::sscanf(line.c_str(), " %*d: %31s %*s %*x %*x:%lx", local, &waiting) == 2 && std::strlen(local) == 13 &&
            std::strcmp(local + 9, "12CB") == 0)
            return waiting;
    }
    return 0;
}

// A second answer to the search, still waiting when the next request goes out.
void leaveAnswerWaiting(const Datagram& answer) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kRecoveryAnswerPort);
    to.sin_addr.s_addr = htonl(kLoopback);
    sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
    for (int polls = 0; polls < 5000 && waitingAtAnswerPort() == 0; ++polls) usleep(1000);
    ASSERT_NE(waitingAtAnswerPort(), 0u);
}

TEST_F(Exchange, ALeftOverSearchAnswerDoesNotConfirmTheFetch) {
    struct Row {
        int fetchesIgnored;
        bool confirmed;
        int fetchesSent;
    };
    for (const Row& row : {Row{0, true, 1}, Row{1, true, 2}, Row{5, false, 5}}) {
        RecoveryRun t;
        Responder device(100, 1, {}, row.fetchesIgnored);
        ASSERT_EQ(t.search(), std::nullopt);
        leaveAnswerWaiting(answerFor("SN-42", 0x7F000002));
        EXPECT_EQ(t.recovery.sendFetch(69), row.confirmed) << row.fetchesIgnored;
        EXPECT_EQ(device.fetchesHeard(), row.fetchesSent) << row.fetchesIgnored;
        EXPECT_EQ(t.frontEnd.count("message"), 0);
    }
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

TEST_F(Exchange, SearchRunsBehindTheConnectingView) {
    {
        RecoveryRun t;
        Responder device(100, 1);
        EXPECT_EQ(t.search(), std::nullopt);
        EXPECT_EQ(t.frontEnd.events(), (std::vector<std::string>{"open connecting", "close connecting"}));
    }
    RecoveryRun unanswered;
    EXPECT_EQ(unanswered.search(), RunOutcome::DeviceNotFound);
    EXPECT_EQ(unanswered.frontEnd.events().back(),
              "end device-not-found|Recovery Failed: Cannot find the specified device!");
    // Cancel in the view ends the search the same way, in words.
    RecoveryRun cancelled;
    cancelled.frontEnd.cancel = [](ViewKind) { return true; };
    EXPECT_EQ(cancelled.search(), RunOutcome::SearchCancelled);
    EXPECT_EQ(cancelled.frontEnd.events().back(),
              "end search-cancelled|Recovery Failed: Cannot find the specified device!");
}

}  // namespace
