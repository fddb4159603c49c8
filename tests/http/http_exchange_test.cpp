#include "net/http/http_exchange.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/upgrade_context.h"
#include "tests/support/scripted_http_server.h"

namespace {

const uint32_t kLoopback = 0x7f000001u;
const char kStatusPath[] = "/admin/advanced";
const char kPlainRequest[] = "GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n\r\n";
const char kChallenge[] =
    "HTTP/1.1 401 Unauthorized\r\n"
    "WWW-Authenticate: Digest realm=\"testrealm@host.com\", qop=\"auth\", "
    "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\"\r\n"
    "Content-Length: 0\r\n\r\n";

std::string statusPage(size_t size) {
    std::string page =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><table>"
        "<tr><td>Product Name:</td><td>ORB-1000</td></tr>"
        "<tr><td>MAC Address:</td><td>001122AABBCC</td></tr>"
        "<tr><td>Software Version:</td><td>3.1.4</td></tr>"
        "<tr><td>Hardware Version:</td><td>B</td></tr>"
        "<tr><td>Serial Number:</td><td>SN42</td></tr></table>";
    page.append(size - page.size() - 7, ' ');
    return page + "</html>";
}

class HttpExchange : public ::testing::Test {
protected:
    void SetUp() override {
        resetUpgradeContext();
        gHttpTimeouts = {5000, 5000};
    }
    void TearDown() override { gHttpTimeouts = {20000, 30000}; }

    int get(uint16_t port, const char* path = kStatusPath, int capacity = kResponseCapacity) {
        session = HttpSession{&gContext.digest, &gContext.deviceFacts, HttpFailure::None};
        return httpGet(kLoopback, kFirstHttpPort, kLoopback, port, path, gContext.responseBuffer, capacity, &session);
    }
    int get(const ScriptedHttpServer& server, const char* path = kStatusPath, int capacity = kResponseCapacity) {
        return get(server.port, path, capacity);
    }
    HttpSession session{};
    std::string received(int count) const {
        return std::string(reinterpret_cast<const char*>(gContext.responseBuffer), static_cast<size_t>(count));
    }
};

TEST_F(HttpExchange, PageOf5000BytesRefreshesTheFacts) {
    ScriptedHttpServer server;
    server.serve({{statusPage(5000), 7}});
    ASSERT_EQ(get(server), 5000);
    server.finish();
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0], kPlainRequest);
    EXPECT_EQ(server.peerPorts[0], kFirstHttpPort);
    EXPECT_EQ(received(5000), statusPage(5000));
    EXPECT_EQ(gContext.responseBuffer[5000], 0);
    EXPECT_STREQ(gContext.deviceFacts.productName, "ORB-1000");
    EXPECT_STREQ(gContext.deviceFacts.macAddress, "001122AABBCC");
    EXPECT_STREQ(gContext.deviceFacts.softwareVersion, "3.1.4");
    EXPECT_STREQ(gContext.deviceFacts.hardwareVersion, "B");
    EXPECT_STREQ(gContext.deviceFacts.serialNumber, "SN42");
}

TEST_F(HttpExchange, ChallengeThenRequestsWithAuthorizationCountingUp) {
    ScriptedHttpServer server;
    server.serve({{kChallenge}, {statusPage(600)}, {"HTTP/1.1 200 OK\r\n\r\nstarted"}});
    ASSERT_EQ(get(server), -1);
    EXPECT_STREQ(gContext.digest.realm, "testrealm@host.com");
    EXPECT_STREQ(gContext.deviceFacts.productName, "");  // a challenge refreshes nothing
    EXPECT_EQ(gContext.digest.nonceCount, 0u);

    std::strcpy(gContext.digest.userName, "Mufasa");
    std::strcpy(gContext.digest.password, "Circle Of Life");
    std::strcpy(gContext.digest.cnonce, "0a4f113b");
    EXPECT_EQ(get(server), 600);
    EXPECT_EQ(get(server, "/admin/upgrade?tftp://127.0.0.1:69/orb1a2b.bi1"), 26);
    server.finish();
    ASSERT_EQ(server.requests.size(), 3u);
    EXPECT_EQ(server.requests[0], kPlainRequest);
    EXPECT_EQ(server.requests[1],
              "GET /admin/advanced HTTP/1.1\r\nHost: 192.168.2.110\r\n"
              "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"\","
              "response=\"27e3bf1d66f6fa6b92f91eb006a74d1f\",qop=auth,nc=000000001,cnonce=\"0a4f113b\"\r\n\r\n");
    EXPECT_EQ(server.requests[2],
              "GET /admin/upgrade?tftp://127.0.0.1:69/orb1a2b.bi1 HTTP/1.1\r\nHost: 192.168.2.110\r\n"
              "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"\","
              "response=\"699537d13427e601131ee4752fcd34ef\",qop=auth,nc=000000002,cnonce=\"0a4f113b\"\r\n\r\n");
    EXPECT_EQ(gContext.digest.nonceCount, 2u);
}

TEST_F(HttpExchange, AnswersThatAreNotChallengesReturnTheirCount) {
    const std::string notFound =
        "HTTP/1.1 404 Not Found\r\n\r\n<html>No such page<td>Software Version:</td><td>9.9</td></html>";
    const std::string http10 = std::string(kChallenge).replace(5, 3, "1.0");
    const std::string lowerCase = std::string(kChallenge).replace(27, 17, "www-authenticate:");
    const std::string noNonce =
        "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"r\", qop=\"auth\"\r\n\r\n";
    const std::string noRealm = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest nonce=\"n\"\r\n\r\n";
    ScriptedHttpServer server;
    server.serve({{notFound}, {http10}, {lowerCase}, {noNonce}, {noRealm}});
    EXPECT_EQ(get(server), static_cast<int>(notFound.size()));
    EXPECT_STREQ(gContext.deviceFacts.softwareVersion, "9.9");
    for (const std::string* answer : {&http10, &lowerCase, &noNonce, &noRealm}) {
        EXPECT_EQ(get(server), static_cast<int>(answer->size())) << *answer;
    }
    server.finish();
    EXPECT_EQ(server.requests.size(), 5u);
    EXPECT_STREQ(gContext.digest.nonce, "");
    EXPECT_STREQ(gContext.digest.realm, "");
    EXPECT_STREQ(gContext.digest.cnonce, "");
}

TEST_F(HttpExchange, DeviceThatClosesWithoutAnsweringGivesZero) {
    ScriptedHttpServer server;
    server.serve({{""}});
    EXPECT_EQ(get(server), 0);
    EXPECT_EQ(gContext.responseBuffer[0], 0);  // not the request text
    server.finish();
    EXPECT_EQ(server.requests[0], kPlainRequest);
}

TEST_F(HttpExchange, BindsTheNextPortWhenTheFirstIsTaken) {
    int taken = occupyPort(kFirstHttpPort);
    ASSERT_GE(taken, 0);
    ScriptedHttpServer server;
    server.serve({{"HTTP/1.1 200 OK\r\n\r\n"}});
    EXPECT_EQ(get(server), 19);
    server.finish();
    releasePort(taken);
    ASSERT_EQ(server.peerPorts.size(), 1u);
    EXPECT_EQ(server.peerPorts[0], kFirstHttpPort + 1);
}

TEST_F(HttpExchange, RefusedConnectionIsReported) {
    ScriptedHttpServer server;  // listening is not started on this port
    uint16_t closedPort = server.port;
    ::close(server.listener);
    server.listener = -1;
    std::strcpy(gContext.digest.password, "secret");
    EXPECT_EQ(get(closedPort), 0);
    EXPECT_EQ(session.failure, HttpFailure::ConnectFailed);
    EXPECT_EQ(gContext.digest.nonceCount, 0u);  // nothing was sent
}

TEST_F(HttpExchange, ConnectingGivesUpAfterTheBound) {
    // A listener whose queue is full drops further connection attempts
    // unanswered, as a device that has gone away would.
    gHttpTimeouts.connectMs = 300;
    ScriptedHttpServer server;
    ::listen(server.listener, 0);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(kLoopback);
        address.sin_port = htons(server.port);
        ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(s);
    }
    EXPECT_EQ(get(server), 0);
    EXPECT_EQ(session.failure, HttpFailure::ConnectFailed);
    for (int s : fillers) ::close(s);
}

TEST_F(HttpExchange, AllPortsTakenIsReported) {
    std::vector<int> taken;
    for (uint16_t port = kFirstHttpPort; port <= kFirstHttpPort + 100; ++port) taken.push_back(occupyPort(port));
    EXPECT_EQ(get(80), 0);
    EXPECT_EQ(session.failure, HttpFailure::BindFailed);
    for (int s : taken) releasePort(s);
}

TEST_F(HttpExchange, TheHundredAndFirstPortIsStillTried) {
    // Ports 23456 to 23555 taken, 23556 free: the 101st attempt succeeds.
    std::vector<int> taken;
    for (uint16_t port = kFirstHttpPort; port < kFirstHttpPort + 100; ++port) taken.push_back(occupyPort(port));
    ScriptedHttpServer server;
    server.serve({{"HTTP/1.1 200 OK\r\n\r\n"}});
    EXPECT_EQ(get(server), 19);
    server.finish();
    for (int s : taken) releasePort(s);
    EXPECT_EQ(server.peerPorts[0], kFirstHttpPort + 100);
}

TEST_F(HttpExchange, NoSocketIsReported) {
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit limit{64, saved.rlim_max};
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> filler;
    for (int d; (d = dup(0)) >= 0;) filler.push_back(d);
    EXPECT_EQ(get(80), 0);
    EXPECT_EQ(session.failure, HttpFailure::SocketFailed);
    for (int d : filler) ::close(d);
    setrlimit(RLIMIT_NOFILE, &saved);
}

// The client closes first in these two, so port 23456 stays in TIME_WAIT
// for a while: they come last when the whole binary runs in one namespace.
TEST_F(HttpExchange, LongerResponseIsCutAtTheCapacity) {
    std::string big = "HTTP/1.1 200 OK\r\n\r\n";
    for (size_t i = 0; big.size() < 200000; ++i) big += static_cast<char>('a' + i % 26);
    ScriptedHttpServer server;
    server.serve({{big, 3}});
    ASSERT_EQ(get(server), kResponseCapacity);
    EXPECT_EQ(received(kResponseCapacity), big.substr(0, kResponseCapacity));
    EXPECT_EQ(gContext.responseBuffer[kResponseCapacity], 0);
}

TEST_F(HttpExchange, SilentDeviceEndsTheReadingWithWhatCame) {
    gHttpTimeouts.idleMs = 200;
    const std::string partial = "HTTP/1.1 200 OK\r\n\r\n<td>Software Version:</td><td>4.0";
    ScriptedHttpServer server;
    server.serve({{partial, 1, true}, {"", 1, true}});
    EXPECT_EQ(get(server), static_cast<int>(partial.size()));
    EXPECT_STREQ(gContext.deviceFacts.softwareVersion, "4.0");
    EXPECT_EQ(get(server), 0);
}

TEST(ClassifyResponse, StatusLineForms) {
    DigestChallenge challenge{};
    const std::string header = "\r\nWWW-Authenticate: Digest realm=\"r\", nonce=\"n\"\r\n\r\n";
    auto classify = [&](const std::string& statusLine) {
        std::string text = statusLine + header;
        return classifyResponse(text.data(), static_cast<int>(text.size()), &challenge);
    };
    EXPECT_TRUE(classify("HTTP/1.1 401 Unauthorized"));
    EXPECT_TRUE(classify("HTTP/1.1x401"));  // the ninth character is skipped whatever it is
    EXPECT_TRUE(classify("HTTP/1.1  \t 401"));
    EXPECT_FALSE(classify("HTTP/1.1 200 OK"));
    EXPECT_FALSE(classify("HTTP/1.1 402"));
    EXPECT_FALSE(classify("HTTP/1.0 401"));
    EXPECT_FALSE(classify("http/1.1 401"));
    EXPECT_FALSE(classify(" HTTP/1.1 401"));
    EXPECT_FALSE(classify("HTTP/1.1401"));
    // A challenge before the status code does not count.
    std::string early = "HTTP/1.1 " + header + "401";
    EXPECT_FALSE(classifyResponse(early.data(), static_cast<int>(early.size()), &challenge));
}

TEST(ClassifyResponse, ShortAndCutResponses) {
    DigestChallenge challenge{};
    for (const char* text : {"", "HTTP/1.1", "HTTP/1.1 ", "HTTP/1.1   ", "HTTP/1.1 40", "HTTP/1.1 401"}) {
        // Exactly sized copies: any read past the end shows under the sanitizers.
        std::vector<char> bytes(text, text + std::strlen(text));
        EXPECT_FALSE(classifyResponse(bytes.data(), static_cast<int>(bytes.size()), &challenge)) << text;
    }
    std::string full = "HTTP/1.1 401\r\nWWW-Authenticate: Digest realm=\"r\", nonce=\"n\"";
    std::vector<char> cut(full.begin(), full.end() - 10);  // before the nonce
    EXPECT_FALSE(classifyResponse(cut.data(), static_cast<int>(cut.size()), &challenge));
    // A NUL after the version is a byte like any other, not an end.
    std::string withNul =
        std::string("HTTP/1.1") + '\0' + "401\r\n" + '\0' + "WWW-Authenticate: Digest realm=\"r\", nonce=\"n\"";
    EXPECT_TRUE(classifyResponse(withNul.data(), static_cast<int>(withNul.size()), &challenge));
    EXPECT_STREQ(challenge.nonce, "n");
}

}  // namespace
