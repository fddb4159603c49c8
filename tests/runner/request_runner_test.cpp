#include "core/request_runner.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "apps/profiles/program_profiles.h"
#include "base/text.h"
#include "core/device_requests.h"
#include "core/exchange_results.h"
#include "net/http/http_exchange.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/scripted_http_server.h"

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

int request(Run& run, const ScriptedHttpServer& server, int* status = nullptr) {
    RequestReply reply;
    int got = runRequest(run, kLoopback, server.port, kPath, &reply);
    if (status) *status = reply.status;
    return got;
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

class RequestRunner : public ::testing::Test {
protected:
    void SetUp() override {
        UpgradeContext& c = t.run.context();
        c.localAddress = kLoopback;
        c.mode = RunMode::Upgrade;
        t.run.httpTimeouts() = HttpTimeouts{5000, 5000, 30000};
    }
    int request(const ScriptedHttpServer& server, int* status = nullptr) { return ::request(t.run, server, status); }
    int dialogsShown() const { return t.frontEnd.count("ask credentials"); }
    // The password dialog as a user who types these credentials each time.
    void answerPasswordWith(const char* user, const char* password) {
        t.frontEnd.credentials = [user, password](CredentialsAnswer* answer) {
            copyText(answer->userName, sizeof answer->userName, user);
            copyText(answer->password, sizeof answer->password, password);
            return true;
        };
    }
    void knowCredentials(const char* user, const char* password) {
        t.run.context().digest.update([&](DigestChallenge& digest) {
            copyText(digest.userName, sizeof digest.userName, user);
            copyText(digest.password, sizeof digest.password, password);
        });
    }

    TestRun t{kOrbflashProfile};
};

TEST_F(RequestRunner, OpenDeviceTakesOneAttemptAndNoDialog) {
    ScriptedHttpServer server;
    server.serve({{pageOfSize(1000)}});
    EXPECT_EQ(request(server), 1000);
    server.finish();
    ASSERT_EQ(server.received().size(), 1u);
    EXPECT_FALSE(hasAuthorization(server.received()[0]));
    EXPECT_EQ(dialogsShown(), 0);
    EXPECT_EQ(t.frontEnd.events(), (std::vector<std::string>{"open connecting", "close connecting"}));
}

TEST_F(RequestRunner, ZeroAnd259BytesAreCountsLikeAnyOther) {
    // 259 is what a still-running thread reports as its exit code on Windows.
    ScriptedHttpServer server;
    server.serve({{""}, {pageOfSize(259)}});
    EXPECT_EQ(request(server), 0);
    EXPECT_EQ(request(server), 259);
    server.finish();
    EXPECT_EQ(server.received().size(), 2u);
    EXPECT_EQ(dialogsShown(), 0);
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
    EXPECT_EQ(dialogsShown(), 1);
    // One connecting view per attempt, the question in between.
    std::vector<std::string> events = t.frontEnd.events();
    auto prompt = std::find(events.begin(), events.end(), "ask credentials");
    EXPECT_EQ(std::count(events.begin(), prompt, "close connecting"), 1);
    EXPECT_EQ(std::count(prompt, events.end(), "open connecting"), 1);
}

TEST_F(RequestRunner, FreshNonceWithKnownCredentialsRetriesSilentlyOnce) {
    answerPasswordWith("admin", "secret");
    knowCredentials("admin", "secret");
    ScriptedHttpServer server;
    server.serve({{challengeWithNonce("N1")}, {pageOfSize(300)}});
    EXPECT_EQ(request(server), 300);
    server.finish();
    EXPECT_EQ(server.received().size(), 2u);
    EXPECT_EQ(dialogsShown(), 0);
}

TEST_F(RequestRunner, SecondFreshNonceInARowAsksAndThePromptAllowsAnotherSilentRetry) {
    answerPasswordWith("admin", "secret");
    knowCredentials("", "secret");
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
    EXPECT_EQ(dialogsShown(), 1);
    std::vector<std::string> events = t.frontEnd.events();
    // The prompt came after the second attempt, not the first.
    auto prompt = std::find(events.begin(), events.end(), "ask credentials");
    EXPECT_EQ(std::count(events.begin(), prompt, "close connecting"), 2);
}

TEST_F(RequestRunner, WrongCredentialsAskAgainEachTime) {
    int prompts = 0;
    t.frontEnd.credentials = [&prompts](CredentialsAnswer* answer) {
        ++prompts;
        copyText(answer->userName, sizeof answer->userName, "admin");
        copyText(answer->password, sizeof answer->password, prompts < 3 ? "wrong" : "right");
        return true;
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

TEST_F(RequestRunner, A400WithoutCredentialsIsTheAnswerAndOneToBothFormsBringsTheEmptyUriBack) {
    answerPasswordWith("admin", "secret");
    const std::string bad = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
    ScriptedHttpServer server;
    server.serve({{bad}, {challengeWithNonce("N1")}, {bad}, {bad}, {pageOfSize(200)}});
    int status[3] = {};
    for (int& each : status) request(server, &each);
    EXPECT_EQ(std::vector<int>(status, status + 3), (std::vector<int>{400, 400, 200}));
    server.finish();
    std::vector<std::string> uris;  // the 400 to no credentials is not asked again
    for (const std::string& sent : server.received()) {
        size_t at = sent.find(",uri=\"");
        uris.push_back(at == std::string::npos ? "-" : sent.substr(at + 6, sent.find('"', at + 6) - at - 6));
    }
    EXPECT_EQ(uris, (std::vector<std::string>{"-", "-", "", kPath, ""}));
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
    EXPECT_EQ(dialogsShown(), 0);
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
    EXPECT_EQ(dialogsShown(), 2);
    for (const std::string& sent : requests) EXPECT_EQ(sent.find("\r\nX-Injected"), std::string::npos) << sent;
}

TEST_F(RequestRunner, OnlyA2xxStatusPageCountsAndTheTriggerKeepsItsStatus) {
    const std::string facts = "<td>Software Version:</td><td>7.1.0</td>";
    ScriptedHttpServer server;
    ASSERT_TRUE(listenOnDevicePort(&server));
    server.serve({{"HTTP/1.1 500 Internal Server Error\r\n\r\n" + facts},
                  {"HTTP/1.1 300 Multiple Choices\r\n\r\n"},
                  {"HTTP/1.1 200 OK\r\n\r\n" + facts},
                  {"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n"},
                  {"HTTP/1.1 200 OK\r\n\r\nstarted"},
                  {""}});
    UpgradeContext& c = t.run.context();
    c.targetAddress = kLoopback;
    c.firmwareFileName.set("/orb1a2b.bi1");
    EXPECT_EQ(readStatusPage(t.run, kLoopback), 0);
    EXPECT_STREQ(c.deviceFacts.get().softwareVersion, "");
    EXPECT_EQ(readStatusPage(t.run, kLoopback), 0);
    EXPECT_GT(readStatusPage(t.run, kLoopback), 0);
    EXPECT_STREQ(c.deviceFacts.get().softwareVersion, "7.1.0");
    for (int expected : {403, 200, 0}) {
        sendUpgradeTrigger(t.run, 69);
        EXPECT_EQ(c.triggerStatus.load(), expected);
    }
    server.finish();
    EXPECT_NE(server.received()[3].find("GET /admin/upgrade?tftp://127.0.0.1:69/orb1a2b.bi1 "), std::string::npos);
}

TEST_F(RequestRunner, BarStepsOncePerTickAndWrapsAfterOneHundred) {
    static std::atomic<int> polls;
    polls = 0;
    t.frontEnd.cancel = [](ViewKind) {
        ++polls;
        return false;
    };
    ScriptedHttpServer server;
    // The answer waits until the runner has ticked 150 times.
    server.serve({answerWhen(pageOfSize(200), [] { return polls.load() >= 150; })});
    EXPECT_EQ(request(server), 200);
    server.finish();
    EXPECT_EQ(t.frontEnd.ticks(ViewKind::Connecting), polls.load());
    EXPECT_EQ(t.frontEnd.lastTick(ViewKind::Connecting), polls.load() - 1);
}

TEST_F(RequestRunner, DecliningThePasswordEndsTheRunWithUserAbort) {
    // On the calling thread, and on another one (the listener's).
    for (bool otherThread : {false, true}) {
        TestRun run(kOrbflashProfile);
        run.run.context().localAddress = kLoopback;
        ScriptedHttpServer server;
        server.serve({{challengeWithNonce("N1")}});
        std::optional<RunOutcome> outcome;
        auto body = [&] { outcome = run.until([&](::Run& r) { ::request(r, server); }); };
        if (otherThread)
            std::thread(body).join();
        else
            body();
        EXPECT_EQ(outcome, RunOutcome::UserAbort) << otherThread;
        EXPECT_EQ(run.frontEnd.events().back(), "end user-abort|Upgrade Failed: User Abort");
    }
}

TEST_F(RequestRunner, CancelInTheConnectingWindowEndsTheRunAtOnce) {
    ScriptedHttpServer server;
    // A device that never answers: Cancel must not wait for the worker.
    server.serve({answerWhen(pageOfSize(100), [] { return false; })});
    // In an orbflash recovery the view stands for the search.
    for (RunMode mode : {RunMode::Upgrade, RunMode::Recovery}) {
        TestRun run(kOrbflashProfile);
        run.run.context().localAddress = kLoopback;
        run.run.context().mode = mode;
        run.frontEnd.cancel = [](ViewKind kind) { return kind == ViewKind::Connecting; };
        EXPECT_EQ(run.until([&](::Run& r) { ::request(r, server); }),
                  mode == RunMode::Upgrade ? RunOutcome::UserAbort : RunOutcome::SearchCancelled);
        std::vector<std::string> events = run.frontEnd.events();
        ASSERT_GE(events.size(), 2u);
        // The view is gone before the end is shown.
        EXPECT_EQ(events[events.size() - 2], "close connecting");
    }
    server.finish();
}

}  // namespace

// A trigger answered only after the status read that follows the upload:
// its late answer must not put back the version the device had before.
TEST_F(RequestRunner, ALateTriggerAnswerKeepsTheFactsOfTheLaterStatusRead) {
    ScriptedHttpServer device, afterRestart;
    ASSERT_TRUE(listenOnDevicePort(&device));
    std::atomic<bool> statusRead{false};
    device.serve({{"HTTP/1.1 200 OK\r\n\r\n<td>Software Version:</td><td>7.0.0</td>"},
                  answerWhen("HTTP/1.1 200 OK\r\n\r\nupgrade started", [&] { return statusRead.load(); })});
    afterRestart.serve({{"HTTP/1.1 200 OK\r\n\r\n<td>Software Version:</td><td>7.1.0</td>"}});
    UpgradeContext& c = t.run.context();
    c.targetAddress = kLoopback;
    ASSERT_GT(readStatusPage(t.run, kLoopback), 0);
    std::thread trigger([&] { sendUpgradeTrigger(t.run, 69); });
    // The trigger's worker has taken its copies once its request is in.
    for (int i = 0; i < 5000 && device.received().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GT(request(afterRestart), 0);
    statusRead = true;
    trigger.join();
    device.finish();
    afterRestart.finish();
    EXPECT_EQ(c.triggerStatus.load(), 200);
    EXPECT_STREQ(c.deviceFacts.get().softwareVersion, "7.1.0");
}

// The Digest state a finished exchange gives the run.
TEST(ExchangeResults, AnExchangeTakesOnlyTheDigestStateItLearnt) {
    auto digest = [](const char* nonce, uint32_t count, const char* password) {
        DigestChallenge d{};
        copyText(d.nonce, sizeof d.nonce, nonce);
        d.nonceCount = count;
        copyText(d.password, sizeof d.password, password);
        return d;
    };
    struct DigestCase {
        DigestChallenge run, after;
        bool challenged;
        const char* nonce;
        uint32_t count;
    } digestCases[] = {
        // A new challenge is the device's latest word; the password typed meanwhile stays.
        {digest("N1", 3, "typed"), digest("N2", 0, ""), true, "N2", 0},
        {digest("N1", 3, "typed"), digest("N1", 5, ""), false, "N1", 5},
        {digest("N1", 4, "typed"), digest("N1", 2, ""), false, "N1", 4},
        // Another exchange brought a new nonce meanwhile: the old one's count is not taken.
        {digest("N3", 1, "typed"), digest("N1", 7, ""), false, "N3", 1},
    };
    for (DigestCase& c : digestCases) {
        takeExchangeDigest(c.run, c.after, c.challenged);
        EXPECT_STREQ(c.run.nonce, c.nonce);
        EXPECT_EQ(c.run.nonceCount, c.count);
        EXPECT_STREQ(c.run.password, "typed");
    }
}
