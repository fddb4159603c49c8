#include "net/http/http_exchange.h"

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

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

std::string hex(size_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "%zx", n);
    return text;
}

// The pieces as chunks, the last chunk and the empty trailer behind them.
std::string chunked(const std::vector<std::string>& pieces) {
    std::string body;
    for (const std::string& piece : pieces) body += hex(piece.size()) + "\r\n" + piece + "\r\n";
    return body + "0\r\n\r\n";
}

const char kChunkedHeader[] = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

const int kResponseCapacity = 131071;

// What a run keeps between exchanges.
struct Exchanges {
    DigestChallenge digest{};
    DeviceFacts deviceFacts{};
    uint8_t responseBuffer[kResponseCapacity + 1] = {};
};

class HttpExchange : public ::testing::Test {
protected:
    void SetUp() override { limits = HttpTimeouts{5000, 5000, 30000}; }

    int get(uint16_t port, const char* path = kStatusPath, int capacity = kResponseCapacity) {
        session = HttpSession{&state.digest, &state.deviceFacts, HttpFailure::None, 0, limits};
        return httpGet(kLoopback, kFirstHttpPort, kLoopback, port, path, state.responseBuffer, capacity, &session);
    }
    int get(const ScriptedHttpServer& server, const char* path = kStatusPath, int capacity = kResponseCapacity) {
        return get(server.port, path, capacity);
    }
    HttpSession session{};
    std::string received(int count) const {
        return std::string(reinterpret_cast<const char*>(state.responseBuffer), static_cast<size_t>(count));
    }
    Exchanges state;
    HttpTimeouts limits;
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
    EXPECT_EQ(state.responseBuffer[5000], 0);
    EXPECT_STREQ(state.deviceFacts.productName, "ORB-1000");
    EXPECT_STREQ(state.deviceFacts.macAddress, "001122AABBCC");
    EXPECT_STREQ(state.deviceFacts.softwareVersion, "3.1.4");
    EXPECT_STREQ(state.deviceFacts.hardwareVersion, "B");
    EXPECT_STREQ(state.deviceFacts.serialNumber, "SN42");
}

TEST_F(HttpExchange, DeviceThatClosesWithoutAnsweringGivesZero) {
    ScriptedHttpServer server;
    server.serve({{""}});
    EXPECT_EQ(get(server), 0);
    EXPECT_EQ(state.responseBuffer[0], 0);  // not the request text
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
    std::strcpy(state.digest.password, "secret");
    EXPECT_EQ(get(closedPort), 0);
    EXPECT_EQ(session.failure, HttpFailure::ConnectFailed);
    EXPECT_EQ(state.digest.nonceCount, 0u);  // nothing was sent
}

TEST_F(HttpExchange, ConnectingGivesUpAfterTheBound) {
    // A listener whose queue is full drops further connection attempts
    // unanswered, as a device that has gone away would.
    limits.connectMs = 300;
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

// The client closes first from here on (an answer complete by its length,
// a cut), so its port stays in TIME_WAIT for a while: these come last when
// the whole binary runs in one namespace.
TEST_F(HttpExchange, ChallengeThenRequestsWithAuthorizationCountingUp) {
    ScriptedHttpServer server;
    server.serve({{kChallenge}, {statusPage(600)}, {"HTTP/1.1 200 OK\r\n\r\nstarted"}});
    ASSERT_EQ(get(server), -1);
    EXPECT_STREQ(state.digest.realm, "testrealm@host.com");
    EXPECT_STREQ(state.deviceFacts.productName, "");  // a challenge refreshes nothing
    EXPECT_EQ(state.digest.nonceCount, 0u);

    std::strcpy(state.digest.userName, "Mufasa");
    std::strcpy(state.digest.password, "Circle Of Life");
    std::strcpy(state.digest.cnonce, "0a4f113b");
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
    EXPECT_EQ(state.digest.nonceCount, 2u);
}

TEST_F(HttpExchange, OnlyA2xxPageRefreshesTheFactsAndEvery401AsksForCredentials) {
    const std::string page = "<html><td>Software Version:</td><td>9.9</td></html>";
    const std::string http10 = std::string(kChallenge).replace(5, 3, "1.0");
    const std::string lowerCase = std::string(kChallenge).replace(27, 17, "www-authenticate:");
    struct Case {
        std::string answer;
        int status;
        bool challenge;  // a usable one: the realm is taken
        const char* version;
    };
    const Case cases[] = {
        {"HTTP/1.1 404 Not Found\r\n\r\n" + page, 404, false, ""},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n" + page, 500, false, ""},
        {"HTTP/1.1 300 Multiple Choices\r\n\r\n" + page, 300, false, ""},
        {"HTTP/1.1 302 Found\r\nLocation: /login\r\n\r\n" + page, 302, false, ""},
        {"<html>no status line</html>" + page, 0, false, ""},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"r\", qop=\"auth\"\r\n\r\n", 401, false, ""},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest nonce=\"n\"\r\n\r\n", 401, false, ""},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n\r\n" + page, 401, false, ""},
        {http10, 401, true, ""},
        {lowerCase, 401, true, ""},
        {"HTTP/1.0 204 No Content\r\n\r\n" + page, 204, false, "9.9"},
        {"HTTP/1.1 200 OK\r\n\r\n<html>a page without facts</html>", 200, false, "9.9"},
    };
    std::vector<ScriptedAnswer> answers;
    for (const Case& c : cases) answers.push_back({c.answer});
    ScriptedHttpServer server;
    server.serve(answers);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        std::memset(state.digest.realm, 0, sizeof state.digest.realm);
        int expected = c.status == 401 ? -1 : static_cast<int>(c.answer.size());
        EXPECT_EQ(get(server), expected);
        EXPECT_EQ(session.statusCode, c.status);
        EXPECT_STREQ(state.digest.realm, c.challenge ? "testrealm@host.com" : "");
        EXPECT_STREQ(state.deviceFacts.softwareVersion, c.version);
    }
    server.finish();
    EXPECT_EQ(server.requests.size(), std::size(cases));
}

TEST_F(HttpExchange, ChunkedPageIsDecodedInPlaceEvenWithABoundaryInsideAValue) {
    const std::string first = "<td>Software Version:</td><td>7.0", second = ".0</td><td>Serial Number:</td><td>SN7";
    ScriptedHttpServer server;
    // Held open after the last chunk: the reading ends there all the same.
    server.serve({{kChunkedHeader + chunked({first, second, "</td>"}), 7, true}});
    const std::string plain = kChunkedHeader + first + second + "</td>";
    ASSERT_EQ(get(server), static_cast<int>(plain.size()));
    EXPECT_EQ(received(static_cast<int>(plain.size())), plain);
    EXPECT_EQ(state.responseBuffer[plain.size()], 0);
    EXPECT_STREQ(state.deviceFacts.softwareVersion, "7.0.0");
    EXPECT_STREQ(state.deviceFacts.serialNumber, "SN7");
}

TEST_F(HttpExchange, LongerResponseIsCutAtTheCapacity) {
    std::string big = "HTTP/1.1 200 OK\r\n\r\n";
    for (size_t i = 0; big.size() < 200000; ++i) big += static_cast<char>('a' + i % 26);
    ScriptedHttpServer server;
    server.serve({{big, 3}});
    ASSERT_EQ(get(server), kResponseCapacity);
    EXPECT_EQ(received(kResponseCapacity), big.substr(0, kResponseCapacity));
    EXPECT_EQ(state.responseBuffer[kResponseCapacity], 0);
}

TEST_F(HttpExchange, AnswersAreCutAtTheirLengthAndAtTheCapacity) {
    const int capacity = 1000;
    const std::string page(3000, 'p');
    const std::string lengthHeader = "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n";
    const std::string bigLength = "HTTP/1.1 200 OK\r\nContent-Length: 3000\r\n\r\n";
    struct Case {
        ScriptedAnswer answer;
        std::string expected;
        bool whole;  // ended by its framing, not by the capacity
    };
    const Case cases[] = {
        // Bytes behind the length are not the answer's; the device holds on.
        {{lengthHeader + "<td>12</td>+trailing bytes", 1, true}, lengthHeader + "<td>12</td>+", true},
        {{bigLength + page}, (bigLength + page).substr(0, capacity), false},
        {{kChunkedHeader + chunked({page.substr(0, 700), page.substr(700)}), 3},
         (kChunkedHeader + page).substr(0, capacity),
         false},
        {{"HTTP/1.1 200 OK\r\n\r\n" + page.substr(0, 500)},
         "HTTP/1.1 200 OK\r\n\r\n" + page.substr(0, 500),
         true},  // ended by the device's close
    };
    for (const Case& c : cases) {
        ScriptedHttpServer server;
        server.serve({c.answer});
        int count = get(server, kStatusPath, capacity);
        EXPECT_EQ(received(count), c.expected);
        EXPECT_EQ(state.responseBuffer[count], 0);
        EXPECT_EQ(session.answerWhole, c.whole) << c.expected.substr(0, 40);
        server.finish();
    }
}

TEST_F(HttpExchange, TrickleIsCutByTheWholeExchangeBound) {
    // A byte every few milliseconds never lets the idle bound strike.
    limits.exchangeMs = 200;
    const std::string answer = "HTTP/1.1 200 OK\r\n\r\n" + std::string(400, 'x');
    ScriptedHttpServer server;
    server.serve({{answer, static_cast<int>(answer.size())}});
    int count = get(server);
    EXPECT_GE(count, 0);
    EXPECT_LT(count, static_cast<int>(answer.size()));
    EXPECT_EQ(state.responseBuffer[count], 0);
    EXPECT_FALSE(session.answerWhole);
}

TEST_F(HttpExchange, SilentDeviceEndsTheReadingWithWhatCame) {
    limits.idleMs = 200;
    const std::string partial = "HTTP/1.1 200 OK\r\n\r\n<td>Software Version:</td><td>4.0";
    ScriptedHttpServer server;
    server.serve({{partial, 1, true}, {"", 1, true}});
    EXPECT_EQ(get(server), static_cast<int>(partial.size()));
    EXPECT_STREQ(state.deviceFacts.softwareVersion, "4.0");
    EXPECT_FALSE(session.answerWhole);  // the version may be cut
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
    EXPECT_TRUE(classify("HTTP/1.0 401 Unauthorized"));
    EXPECT_FALSE(classify("HTTP/1.1 402"));
    EXPECT_FALSE(classify("HTTP/1.1 4010"));
    EXPECT_FALSE(classify("HTTP/1.2 401"));
    EXPECT_FALSE(classify("http/1.1 401"));
    EXPECT_FALSE(classify(" HTTP/1.1 401"));
    EXPECT_FALSE(classify("HTTP/1.1401"));
    // A challenge before the status code does not count.
    std::string early = "HTTP/1.1 " + header + "401";
    EXPECT_FALSE(classifyResponse(early.data(), static_cast<int>(early.size()), &challenge));
}

TEST(ClassifyResponse, HeaderNameInAnyCaseAndUnquotedValues) {
    struct Case {
        const char* text;
        bool usable;
        const char* algorithm;
        const char* qop;
    };
    const Case cases[] = {
        {"HTTP/1.0 401\r\nwww-authenticate: Digest realm=\"r\", nonce=\"n\"", true, "", ""},
        {"HTTP/1.1 401\r\nWWW-AUTHENTICATE: Digest realm=r, nonce=n, algorithm=MD5-sess, qop=auth\r\n", true,
         "MD5-sess", "auth"},
        {"HTTP/1.1 401\r\nWww-Authenticate: Digest realm=\"r\",nonce=n,qop=\"auth,auth-int\",algorithm=MD5", true,
         "MD5", "auth,auth-int"},
        {"HTTP/1.1 401\r\nWWW-Authenticate : Digest realm=r, nonce=n", false, "", ""},
        {"HTTP/1.1 401\r\nWWW-Authenticate: Digest realm=r, nonce=", false, "", ""},
    };
    for (const Case& c : cases) {
        DigestChallenge challenge{};
        std::vector<char> bytes(c.text, c.text + std::strlen(c.text));
        EXPECT_EQ(classifyResponse(bytes.data(), static_cast<int>(bytes.size()), &challenge), c.usable) << c.text;
        EXPECT_STREQ(challenge.algorithm, c.algorithm) << c.text;
        EXPECT_STREQ(challenge.qop, c.qop) << c.text;
    }
}

TEST(HttpStatusCode, StatusLines) {
    const std::pair<const char*, int> cases[] = {
        {"HTTP/1.1 200 OK", 200}, {"HTTP/1.0 404", 404}, {"HTTP/1.1\t 503 x", 503}, {"HTTP/1.1 20", 0},
        {"HTTP/1.1 2000", 0},     {"HTTP/2 200", 0},     {"http/1.1 200", 0},       {"", 0},
    };
    for (const auto& [text, code] : cases) {
        std::vector<char> bytes(text, text + std::strlen(text));
        EXPECT_EQ(parseStatusCode(bytes.data(), bytes.size()), code) << text;
    }
}

// Feeds raw to takeResponseBytes in pieces of step bytes into a buffer of
// exactly capacity bytes, as the receive loop does.
std::pair<std::string, bool> readInPieces(const std::string& raw, size_t step, size_t capacity) {
    std::vector<char> buffer(capacity);
    ResponseReader reader;
    size_t count = 0;
    for (size_t at = 0; at < raw.size() && !reader.complete && count < capacity;) {
        size_t take = std::min({step, raw.size() - at, capacity - count});
        std::memcpy(buffer.data() + count, raw.data() + at, take);
        at += take;
        count = takeResponseBytes(buffer.data(), count, count + take, &reader);
    }
    return {std::string(buffer.data(), count), reader.complete};
}

TEST(HttpResponseReader, LengthChunksAndCloseInAnySplit) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string chunkedOk = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    struct Case {
        std::string raw;
        std::string kept;
        bool complete;
    };
    const Case cases[] = {
        {ok + "Content-Length: 5\r\n\r\nhello", ok + "Content-Length: 5\r\n\r\nhello", true},
        {ok + "content-length:5\r\n\r\nhelloEXTRA", ok + "content-length:5\r\n\r\nhello", true},
        {ok + "CONTENT-LENGTH:\t5 \r\n\r\nhel", ok + "CONTENT-LENGTH:\t5 \r\n\r\nhel", false},
        {ok + "Content-Length: 0\r\n\r\n", ok + "Content-Length: 0\r\n\r\n", true},
        {ok + "Content-Length: 5x\r\n\r\nhelloEXTRA", ok + "Content-Length: 5x\r\n\r\nhelloEXTRA", false},
        {ok + "X-Content-Length: 5\r\n\r\nhelloEXTRA", ok + "X-Content-Length: 5\r\n\r\nhelloEXTRA", false},
        {ok + "Content-Length: 5\r\n", ok + "Content-Length: 5\r\n", false},
        {chunkedOk + "5\r\nhello\r\n6;name=v\r\n world\r\n0\r\n\r\nEXTRA", chunkedOk + "hello world", true},
        {ok + "Transfer-Encoding: gzip, Chunked\r\nContent-Length: 3\r\n\r\nA\r\n0123456789\r\n1a\r\n" + letters +
             "\r\n0\r\n",
         ok + "Transfer-Encoding: gzip, Chunked\r\nContent-Length: 3\r\n\r\n0123456789" + letters, true},
        {chunkedOk + "3\nabc\n0\n", chunkedOk + "abc", true},
        {chunkedOk + "5\r\nhel", chunkedOk + "hel", false},
        // Framing that is not chunked framing ends the body where it stands.
        {chunkedOk + "5\r\nhelloXX\r\n0\r\n", chunkedOk + "hello", true},
        {chunkedOk + "z\r\n", chunkedOk, true},
        {chunkedOk + "123456789\r\n", chunkedOk, true},
        {ok + "Transfer-Encoding: chunkedx\r\n\r\n5\r\nhello", ok + "Transfer-Encoding: chunkedx\r\n\r\n5\r\nhello",
         false},
    };
    for (const Case& c : cases) {
        for (size_t step : {1, 2, 3, 7, 1000}) {
            auto [kept, complete] = readInPieces(c.raw, step, 4096);
            EXPECT_EQ(kept, c.kept) << c.raw << " in pieces of " << step;
            EXPECT_EQ(complete, c.complete) << c.raw << " in pieces of " << step;
        }
    }
    // The capacity counts decoded bytes: a longer body is cut, never overflows.
    const std::string body = chunked({std::string(40, 'a'), std::string(40, 'b'), std::string(40, 'c')});
    for (size_t step : {1, 5, 1000}) {
        EXPECT_EQ(readInPieces(chunkedOk + body, step, 100).first,
                  (chunkedOk + std::string(40, 'a') + std::string(40, 'b') + std::string(40, 'c')).substr(0, 100));
    }
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
