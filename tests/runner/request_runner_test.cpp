#include "core/request_runner.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/device_requests.h"
#include "core/program_profile.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/http_exchange.h"
#include "tests/support/scripted_front_end.h"
#include "tests/support/scripted_http_server.h"
#include "ui/dialog_logic.h"

// A cancelled request leaves its worker behind, by design: under
// ThreadSanitizer that is not a leak.
extern "C" const char* __tsan_default_options() { return "report_thread_leaks=0"; }

namespace {

// A 401 with a Digest challenge carrying this nonce.
std::string challengeWithNonce(const std::string& nonce) {
    return "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"orb\", qop=\"auth\", nonce=\"" + nonce +
           "\"\r\nContent-Length: 0\r\n\r\n";
}

// A 200 answer of exactly size bytes.
std::string pageOfSize(size_t size) {
    std::string page = "HTTP/1.1 200 OK\r\n\r\n";
    page.append(size - page.size(), 'x');
    return page;
}

ScriptedAnswer answerWhen(std::string bytes, std::function<bool()> ready) {
    ScriptedAnswer answer;
    answer.bytes = std::move(bytes);
    answer.ready = std::move(ready);
    return answer;
}

const uint32_t kLoopback = 0x7f000001u;
const char kPath[] = "/admin/advanced";

int request(const ScriptedHttpServer& server, int* status = nullptr) {
    return runRequest(nullptr, kLoopback, kFirstHttpPort, kLoopback, server.port, kPath, gContext.responseBuffer,
                      kResponseCapacity, status);
}

// Moves the server to the device's port 80 (the test has its own namespace).
bool listenOnDevicePort(ScriptedHttpServer* server) {
    ::close(server->listener);
    server->listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(server->listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    address.sin_port = htons(kDeviceHttpPort);
    server->port = kDeviceHttpPort;
    return ::bind(server->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
           ::listen(server->listener, 4) == 0;
}

bool hasAuthorization(const std::string& request) {
    return request.find("\r\nAuthorization: Digest ") != std::string::npos;
}

size_t dialogsShown() {
    std::vector<std::string> events = frontEndEvents();
    return static_cast<size_t>(std::count(events.begin(), events.end(), "dialog 104"));
}

// The password dialog as a user who types these credentials each time.
void answerPasswordWith(const char* user, const char* password) {
    scriptedFrontEnd().onDialog = [user, password](Dialog dialog) {
        if (dialog != Dialog::Password) return 0;
        acceptPasswordDialog(user, password);
        return 1;
    };
}

class RequestRunner : public ::testing::Test {
protected:
    void SetUp() override {
        gProgram = &kOrbflashProfile;
        resetUpgradeContext();
        resetScriptedFrontEnd();
        gContext.mode = RunMode::Upgrade;
        gHttpTimeouts = {5000, 5000};
    }
    void TearDown() override { gHttpTimeouts = {20000, 30000}; }
};

TEST_F(RequestRunner, OpenDeviceTakesOneAttemptAndNoDialog) {
    ScriptedHttpServer server;
    server.serve({{pageOfSize(1000)}});
    EXPECT_EQ(request(server), 1000);
    server.finish();
    ASSERT_EQ(server.received().size(), 1u);
    EXPECT_FALSE(hasAuthorization(server.received()[0]));
    EXPECT_EQ(dialogsShown(), 0u);
    std::vector<std::string> events = frontEndEvents();
    EXPECT_EQ(events,
              (std::vector<std::string>{"open 105", "title Connecting with ORB@", "range 105 100", "destroy 105"}));
}

TEST_F(RequestRunner, ZeroAnd259BytesAreCountsLikeAnyOther) {
    // 259 is what a still-running thread reports as its exit code on Windows.
    ScriptedHttpServer server;
    server.serve({{""}, {pageOfSize(259)}});
    EXPECT_EQ(request(server), 0);
    EXPECT_EQ(request(server), 259);
    server.finish();
    EXPECT_EQ(server.received().size(), 2u);
    EXPECT_EQ(dialogsShown(), 0u);
}

TEST_F(RequestRunner, ProtectedDeviceAsksOnceThenSendsAuthorization) {
    answerPasswordWith("admin", "secret");
    ScriptedHttpServer server;
    server.serve({{challengeWithNonce("N1")}, {pageOfSize(500)}});
    EXPECT_EQ(request(server), 500);
    server.finish();
    std::vector<std::string> requests = server.received();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(hasAuthorization(requests[0]));
    EXPECT_TRUE(hasAuthorization(requests[1]));
    EXPECT_NE(requests[1].find("username=\"admin\""), std::string::npos);
    EXPECT_NE(requests[1].find("nonce=\"N1\""), std::string::npos);
    EXPECT_EQ(dialogsShown(), 1u);
    // One connecting window per attempt, the dialog in between.
    std::vector<std::string> events = frontEndEvents();
    auto prompt = std::find(events.begin(), events.end(), "dialog 104");
    EXPECT_EQ(std::count(events.begin(), prompt, "destroy 105"), 1);
    EXPECT_EQ(std::count(prompt, events.end(), "open 105"), 1);
}

TEST_F(RequestRunner, FreshNonceWithKnownCredentialsRetriesSilentlyOnce) {
    answerPasswordWith("admin", "secret");
    copyText(gContext.digest.userName, sizeof gContext.digest.userName, "admin");
    copyText(gContext.digest.password, sizeof gContext.digest.password, "secret");
    ScriptedHttpServer server;
    server.serve({{challengeWithNonce("N1")}, {pageOfSize(300)}});
    EXPECT_EQ(request(server), 300);
    server.finish();
    EXPECT_EQ(server.received().size(), 2u);
    EXPECT_EQ(dialogsShown(), 0u);
}

TEST_F(RequestRunner, SecondFreshNonceInARowAsksAndThePromptAllowsAnotherSilentRetry) {
    answerPasswordWith("admin", "secret");
    copyText(gContext.digest.password, sizeof gContext.digest.password, "secret");
    ScriptedHttpServer server;
    // N1: silent retry; N2: prompt; N3 after the prompt: silent again; then the page.
    server.serve(
        {{challengeWithNonce("N1")}, {challengeWithNonce("N2")}, {challengeWithNonce("N3")}, {pageOfSize(400)}});
    EXPECT_EQ(request(server), 400);
    server.finish();
    std::vector<std::string> requests = server.received();
    ASSERT_EQ(requests.size(), 4u);
    for (const std::string& sent : requests) EXPECT_TRUE(hasAuthorization(sent));
    EXPECT_NE(requests[3].find("nonce=\"N3\""), std::string::npos);
    EXPECT_EQ(dialogsShown(), 1u);
    std::vector<std::string> events = frontEndEvents();
    // The prompt came after the second attempt, not the first.
    auto prompt = std::find(events.begin(), events.end(), "dialog 104");
    EXPECT_EQ(std::count(events.begin(), prompt, "destroy 105"), 2);
}

TEST_F(RequestRunner, WrongCredentialsAskAgainEachTime) {
    int prompts = 0;
    scriptedFrontEnd().onDialog = [&prompts](Dialog) {
        ++prompts;
        acceptPasswordDialog("admin", prompts < 3 ? "wrong" : "right");
        return 1;
    };
    ScriptedHttpServer server;
    // The same nonce every time: the credentials, not the nonce, were refused.
    server.serve(
        {{challengeWithNonce("N1")}, {challengeWithNonce("N1")}, {challengeWithNonce("N1")}, {pageOfSize(600)}});
    EXPECT_EQ(request(server), 600);
    server.finish();
    EXPECT_EQ(server.received().size(), 4u);
    EXPECT_EQ(prompts, 3);
}

TEST_F(RequestRunner, TheAnswersStatusCodeIsReported) {
    const std::pair<std::string, int> answers[] = {
        {pageOfSize(300), 200},
        {"HTTP/1.1 404 Not Found\r\n\r\nnothing here", 404},
        {"HTTP/1.0 503 Busy\r\nContent-Length: 0\r\n\r\n", 503},
        {"", 0},
    };
    ScriptedHttpServer server;
    std::vector<ScriptedAnswer> script;
    for (const auto& answer : answers) script.push_back({answer.first});
    server.serve(script);
    for (const auto& [bytes, code] : answers) {
        int status = -1;
        EXPECT_EQ(request(server, &status), static_cast<int>(bytes.size()));
        EXPECT_EQ(status, code) << bytes;
    }
    server.finish();
    EXPECT_EQ(dialogsShown(), 0u);
}

TEST_F(RequestRunner, A401WithoutAUsableChallengeAsksForThePasswordToo) {
    answerPasswordWith("admin", "secret");
    ScriptedHttpServer server;
    server.serve({{"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"orb\"\r\n\r\n"},
                  {challengeWithNonce("abc\r\nX-Injected: 1")},
                  {pageOfSize(200)}});
    int status = 0;
    EXPECT_EQ(request(server, &status), 200);
    EXPECT_EQ(status, 200);
    server.finish();
    std::vector<std::string> requests = server.received();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(dialogsShown(), 2u);
    for (const std::string& sent : requests) EXPECT_EQ(sent.find("\r\nX-Injected"), std::string::npos) << sent;
}

TEST_F(RequestRunner, OnlyA2xxStatusPageCountsAndTheTriggerKeepsItsStatus) {
    const std::string facts = "<td>Software Version:</td><td>7.1.0</td>";
    ScriptedHttpServer server;
    ASSERT_TRUE(listenOnDevicePort(&server));
    server.serve({{"HTTP/1.1 500 Internal Server Error\r\n\r\n" + facts},
                  {"HTTP/1.1 404 Not Found\r\n\r\n"},
                  {"HTTP/1.1 200 OK\r\n\r\n" + facts},
                  {"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n"},
                  {"HTTP/1.1 200 OK\r\n\r\nstarted"},
                  {""}});
    gContext.localAddress = kLoopback;
    gContext.targetAddress = kLoopback;
    gContext.firmwareFileName.set("/orb1a2b.bi1");
    EXPECT_EQ(readStatusPage(kLoopback), 0);
    EXPECT_STREQ(gContext.deviceFacts.softwareVersion, "");
    EXPECT_EQ(readStatusPage(kLoopback), 0);
    EXPECT_GT(readStatusPage(kLoopback), 0);
    EXPECT_STREQ(gContext.deviceFacts.softwareVersion, "7.1.0");
    for (int expected : {403, 200, 0}) {
        sendUpgradeTrigger(69);
        EXPECT_EQ(gContext.triggerStatus.load(), expected);
    }
    server.finish();
    EXPECT_NE(server.received()[3].find("GET /admin/upgrade?tftp://127.0.0.1:69/orb1a2b.bi1 "), std::string::npos);
}

TEST_F(RequestRunner, BarStepsOncePerTickAndWrapsAfterOneHundred) {
    static std::atomic<int> polls;
    polls = 0;
    scriptedFrontEnd().onPoll = [](ProgressKind) {
        ++polls;
        return false;
    };
    ScriptedHttpServer server;
    // The answer waits until the runner has ticked 150 times.
    server.serve({answerWhen(pageOfSize(200), [] { return polls.load() >= 150; })});
    EXPECT_EQ(request(server), 200);
    server.finish();
    EXPECT_EQ(lastProgressPosition(105), (polls.load() - 1) % 101);
}

TEST_F(RequestRunner, DecliningThePasswordEndsTheRunWithUserAbort) {
    // On the calling thread, and on another one (the listener's).
    for (bool otherThread : {false, true}) {
        resetScriptedFrontEnd();
        ScriptedHttpServer server;
        server.serve({{challengeWithNonce("N1")}});
        std::optional<RunOutcome> outcome;
        auto body = [&] { outcome = runUntilEnd([&] { request(server); }); };
        if (otherThread)
            std::thread(body).join();
        else
            body();
        EXPECT_EQ(outcome, RunOutcome::UserAbort) << otherThread;
        EXPECT_EQ(frontEndEvents().back(), "end user-abort");
    }
}

TEST_F(RequestRunner, CancelInTheConnectingWindowEndsTheRunAtOnce) {
    scriptedFrontEnd().onPoll = [](ProgressKind kind) { return kind == ProgressKind::Connecting; };
    ScriptedHttpServer server;
    // A device that never answers: Cancel must not wait for the worker.
    server.serve({answerWhen(pageOfSize(100), [] { return false; })});
    EXPECT_EQ(runUntilEnd([&] { request(server); }), RunOutcome::UserAbort);
    std::vector<std::string> events = frontEndEvents();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 3], "destroy 105");
    EXPECT_EQ(events[events.size() - 2], "error Upgrade Failed: User Abort");
    // In an orbflash recovery the window stands for the search.
    gContext.mode = RunMode::Recovery;
    EXPECT_EQ(runUntilEnd([&] { request(server); }), RunOutcome::SearchCancelled);
    server.finish();
}

}  // namespace
