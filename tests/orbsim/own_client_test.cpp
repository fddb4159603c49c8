// Our own HTTP client (httpGet with its Digest state) against the running
// simulated device over loopback, one device per challenge variant.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/http/http_exchange.h"

namespace {

const char kStatusPath[] = "/admin/advanced";

// One orbsim process, stopped when the test ends.
struct SimProcess {
    pid_t pid = -1;
    std::string logPath;

    SimProcess(uint32_t address, std::vector<std::string> options) {
        char pattern[] = "/tmp/orbsim-client-XXXXXX";
        int log = mkstemp(pattern);
        logPath = pattern;
        std::string dotted = "127.0.0." + std::to_string(address & 255);
        options.insert(options.begin(), {ORBSIM_PATH, "--address", dotted});
        pid = fork();
        if (pid == 0) {
            dup2(log, 1);
            dup2(log, 2);
            std::vector<char*> argv;
            for (std::string& option : options) argv.push_back(&option[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(log);
    }
    ~SimProcess() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            for (int i = 0; i < 100 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, WNOHANG);
        }
        unlink(logPath.c_str());
    }
    std::string log() const {
        std::ifstream in(logPath);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool waitFor(const std::string& line) const {
        for (int i = 0; i < 100; ++i) {
            if (log().find(line) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
};

const int kResponseCapacity = 131071;

// What a run keeps between exchanges.
struct Exchanges {
    DigestChallenge digest{};
    DeviceFacts deviceFacts{};
    uint8_t responseBuffer[kResponseCapacity + 1] = {};
};

class OwnClientAgainstSim : public ::testing::Test {
protected:
    int get(uint32_t device) {
        HttpSession session{&state.digest, &state.deviceFacts, HttpFailure::None, 0, HttpTimeouts{5000, 5000, 30000}};
        return httpGet(0x7F000001, kFirstHttpPort, device, 80, kStatusPath, state.responseBuffer, kResponseCapacity,
                       &session);
    }
    Exchanges state;
    void typePassword(const char* password) {
        std::strcpy(state.digest.userName, "admin");
        std::strcpy(state.digest.password, password);
    }
};

}  // namespace

TEST_F(OwnClientAgainstSim, EveryQopAndAlgorithmLetsTheStatusPageThrough) {
    struct Variant {
        const char* qop;
        const char* algorithm;
        std::vector<std::string> extra;
    };
    const Variant variants[] = {
        {"none", "absent", {}},
        {"none", "MD5", {"--opaque", "0pa9ue"}},
        {"auth", "MD5", {}},
        {"auth", "md5-sess", {}},
        {"auth", "MD5", {"--algorithm-unquoted", "--opaque", "0pa9ue"}},
        {"auth-int", "MD5", {}},
        {"auth-int", "md5-sess", {}},
        {"auth,auth-int", "MD5", {}},
    };
    uint32_t device = 0x7F000010;
    for (const Variant& v : variants) {
        SCOPED_TRACE(std::string("qop ") + v.qop + ", algorithm " + v.algorithm);
        std::vector<std::string> options = {"--user", "admin",       "--password", "secret",    "--qop",
                                            v.qop,    "--algorithm", v.algorithm,  "--version", "6.0.1"};
        options.insert(options.end(), v.extra.begin(), v.extra.end());
        SimProcess sim(++device, options);
        ASSERT_TRUE(sim.waitFor("web server listening")) << sim.log();
        state = Exchanges{};
        EXPECT_EQ(-1, get(device));
        typePassword("secret");
        EXPECT_GT(get(device), 0) << sim.log();
        EXPECT_STREQ("6.0.1", state.deviceFacts.softwareVersion);
        EXPECT_STREQ("ORBQ4x4", state.deviceFacts.productName);
        EXPECT_STREQ("ORB0012345", state.deviceFacts.serialNumber);
    }
}

TEST_F(OwnClientAgainstSim, WrongPasswordKeepsTheNonceAndARenewedNonceRestartsTheCount) {
    const uint32_t device = 0x7F000030;
    SimProcess sim(device, {"--user", "admin", "--password", "secret", "--nonce-every", "3"});
    ASSERT_TRUE(sim.waitFor("web server listening")) << sim.log();
    EXPECT_EQ(-1, get(device));
    std::string firstNonce = state.digest.nonce;
    typePassword("guess");
    EXPECT_EQ(-1, get(device));
    EXPECT_EQ(firstNonce, state.digest.nonce);
    EXPECT_EQ(1u, state.digest.nonceCount);  // same nonce: the runner asks again

    typePassword("secret");
    EXPECT_GT(get(device), 0) << sim.log();  // third request on this nonce
    EXPECT_EQ(-1, get(device));              // renewed: stale
    EXPECT_NE(firstNonce, state.digest.nonce);
    EXPECT_EQ(0u, state.digest.nonceCount);  // new nonce: the runner retries silently
    EXPECT_GT(get(device), 0) << sim.log();
    EXPECT_NE(std::string::npos, sim.log().find("401 (stale nonce, new nonce)"));
}
