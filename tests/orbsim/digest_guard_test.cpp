// The simulated device's Digest guard against our own client functions
// (parseDigestChallenge, buildAuthorizationLine) and hand-made lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/http/digest_auth.h"
#include "tools/orbsim/sim_digest_guard.h"

namespace {

DigestGuardSettings settingsFor(const std::string& qop, const std::string& algorithm) {
    DigestGuardSettings s;
    s.user = "admin";
    s.password = "secret";
    s.realm = "ORB Device";
    s.qop = qop;
    s.algorithm = algorithm;
    return s;
}

// Plays our client: reads the guard's challenge, then writes the next
// request's Authorization value as httpGet would.
struct OwnClient {
    DigestChallenge challenge{};

    explicit OwnClient(const char* password = "secret") {
        std::strcpy(challenge.userName, "admin");
        std::strcpy(challenge.password, password);
    }
    bool read(DigestGuard* guard, bool stale = false) {
        std::string line = guardChallengeLine(guard, stale);
        return parseDigestChallenge(line.c_str(), &challenge);
    }
    std::string authorization() {
        ++challenge.nonceCount;
        char line[kMaxAuthorizationLine + 1];
        int length = buildAuthorizationLine(challenge, line, sizeof line);
        std::string text(line, static_cast<size_t>(length));
        const std::string name = "Authorization: ";
        EXPECT_EQ(0u, text.find(name));
        return text.substr(name.size(), text.size() - name.size() - 2);
    }
};

GuardOutcome judge(DigestGuard* guard, const std::string& authorization) {
    return guardCheck(guard, "GET", authorization.c_str()).outcome;
}

}  // namespace

TEST(DigestGuard, AcceptsOwnClientForEveryQopAndAlgorithm) {
    const char* qops[] = {"", "auth", "auth-int", "auth,auth-int"};
    const char* algorithms[] = {"", "MD5", "md5-sess"};
    for (const char* qop : qops) {
        for (const char* algorithm : algorithms) {
            SCOPED_TRACE(std::string("qop '") + qop + "', algorithm '" + algorithm + "'");
            DigestGuard guard;
            guardStart(&guard, settingsFor(qop, algorithm));
            GuardVerdict first = guardCheck(&guard, "GET", nullptr);
            EXPECT_EQ(GuardOutcome::Challenge, first.outcome);
            EXPECT_TRUE(first.newNonce);
            OwnClient client;
            ASSERT_TRUE(client.read(&guard));
            // Without qop our client sends no cnonce, yet md5-sess hashes one:
            // no device can check that line.
            GuardOutcome expected =
                !*qop && std::strcmp(algorithm, "md5-sess") == 0 ? GuardOutcome::Challenge : GuardOutcome::Accepted;
            EXPECT_EQ(expected, judge(&guard, client.authorization()));
            // Later requests on the same nonce count up and still pass.
            EXPECT_EQ(expected, judge(&guard, client.authorization()));
        }
    }
}

TEST(DigestGuard, UnquotedAlgorithmAndOpaqueStillWorkWithOwnClient) {
    DigestGuardSettings s = settingsFor("auth", "MD5");
    s.algorithmUnquoted = true;
    s.opaque = "5ccc069c403ebaf9f0171e9517f40e41";
    DigestGuard guard;
    guardStart(&guard, s);
    std::string line = guardChallengeLine(&guard, false);
    EXPECT_NE(std::string::npos, line.find(",algorithm=MD5,"));
    OwnClient client;
    ASSERT_TRUE(client.read(&guard));
    EXPECT_STREQ("MD5", client.challenge.algorithm);  // the unquoted form counts too
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, client.authorization()));

    DigestGuard other;
    guardStart(&other, s);
    OwnClient stranger;
    ASSERT_TRUE(stranger.read(&other));
    std::strcpy(stranger.challenge.opaque, "forged");
    EXPECT_EQ(GuardOutcome::Challenge, judge(&other, stranger.authorization()));
}

TEST(DigestGuard, WrongCredentialsKeepTheNonce) {
    DigestGuard guard;
    guardStart(&guard, settingsFor("auth", "MD5"));
    OwnClient wrong("guess");
    ASSERT_TRUE(wrong.read(&guard));
    std::string nonce = guard.nonce;
    GuardVerdict verdict = guardCheck(&guard, "GET", wrong.authorization().c_str());
    EXPECT_EQ(GuardOutcome::Challenge, verdict.outcome);
    EXPECT_FALSE(verdict.stale);
    EXPECT_FALSE(verdict.newNonce);
    EXPECT_EQ(nonce, guard.nonce);

    // The user types the right password; the count goes on rising.
    std::strcpy(wrong.challenge.password, "secret");
    ASSERT_TRUE(wrong.read(&guard));
    EXPECT_EQ(1u, wrong.challenge.nonceCount);
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, wrong.authorization()));
}

TEST(DigestGuard, RenewedNonceIsStaleUntilTheClientReadsTheNewOne) {
    DigestGuardSettings s = settingsFor("auth", "MD5");
    s.nonceEvery = 2;
    DigestGuard guard;
    guardStart(&guard, s);
    EXPECT_EQ(GuardOutcome::Challenge, guardCheck(&guard, "GET", nullptr).outcome);
    OwnClient client;
    ASSERT_TRUE(client.read(&guard));
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, client.authorization()));

    GuardVerdict stale = guardCheck(&guard, "GET", client.authorization().c_str());
    EXPECT_EQ(GuardOutcome::Challenge, stale.outcome);
    EXPECT_TRUE(stale.stale);
    EXPECT_TRUE(stale.newNonce);
    ASSERT_TRUE(client.read(&guard, true));
    EXPECT_EQ(0u, client.challenge.nonceCount);  // new nonce: our client retries silently
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, client.authorization()));

    // A restart forgets the nonce just the same.
    guardRenewNonce(&guard);
    EXPECT_TRUE(guardCheck(&guard, "GET", client.authorization().c_str()).stale);
    guardRenewNonce(&guard);  // and after a second one, as a flapping device has
    EXPECT_TRUE(guardCheck(&guard, "GET", client.authorization().c_str()).stale);
}

TEST(DigestGuard, ChecksTheUriThatWasSent) {
    DigestGuard guard;
    guardStart(&guard, settingsFor("auth", "MD5"));
    OwnClient client;
    ASSERT_TRUE(client.read(&guard));
    std::string sent = client.authorization();
    EXPECT_NE(std::string::npos, sent.find("uri=\"\""));
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, sent));

    // The digest was made over the empty uri; claiming another uri fails.
    std::string moved = sent;
    moved.replace(moved.find("uri=\"\""), 6, "uri=\"/admin/advanced\"");
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, moved));

    // A client that hashes the request path and sends it passes.
    std::strcpy(client.challenge.digestUri, "/admin/advanced");
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, client.authorization()));
}

TEST(DigestGuard, RefusesMismatchedFields) {
    DigestGuard guard;
    guardStart(&guard, settingsFor("auth", "MD5"));
    OwnClient client;
    ASSERT_TRUE(client.read(&guard));
    std::string good = client.authorization();
    auto swapped = [&](const std::string& from, const std::string& to) {
        std::string line = good;
        size_t at = line.find(from);
        EXPECT_NE(std::string::npos, at) << from;
        return line.replace(at, from.size(), to);
    };
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, swapped("username=\"admin\"", "username=\"root\"")));
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, swapped("realm=\"ORB Device\"", "realm=\"Other\"")));
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, swapped("nonce=\"" + guard.nonce, "nonce=\"0" + guard.nonce)));
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, swapped("qop=auth", "qop=auth-int")));
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, swapped(",nc=", ",nx=")));
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, swapped("algorithm=\"MD5\"", "algorithm=\"SHA-256\"")));
    EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, swapped("Digest ", "Basic ")));
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, good));
}

TEST(DigestGuard, AcceptsBothSessionForms) {
    // Our client hashes the raw first digest under md5-sess; clients that
    // follow the RFC's text hash its hex form. Both must pass.
    DigestGuard guard;
    guardStart(&guard, settingsFor("auth", "md5-sess"));
    std::string nonce = guard.nonce;
    char plain[kMd5HexSize];
    computeHa1("MD5", "admin", "ORB Device", "secret", "", "", plain);
    std::string joined = std::string(plain) + ":" + nonce + ":c0ffee";
    char ha1[kMd5HexSize];
    md5HexOf(joined.data(), joined.size(), ha1);
    char response[kMd5HexSize];
    computeResponse(ha1, nonce.c_str(), "00000001", "c0ffee", "auth", "GET", "/admin/advanced", "", response);
    std::string line = "Digest username=\"admin\", realm=\"ORB Device\", nonce=\"" + nonce +
                       "\", uri=\"/admin/advanced\", algorithm=MD5-sess, response=\"" + response +
                       "\", qop=auth, nc=00000001, cnonce=\"c0ffee\"";
    EXPECT_EQ(GuardOutcome::Accepted, judge(&guard, line));
}

TEST(DigestGuard, AlwaysRefusingGuardRefusesGoodLines) {
    DigestGuardSettings s = settingsFor("auth", "MD5");
    s.always401 = true;
    DigestGuard guard;
    guardStart(&guard, s);
    OwnClient client;
    ASSERT_TRUE(client.read(&guard));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(GuardOutcome::Challenge, judge(&guard, client.authorization()));
}

TEST(DigestCredentials, ParsesQuotedUnquotedAndListValues) {
    DigestCredentials c;
    ASSERT_TRUE(parseDigestCredentials(
        "digest  USERNAME=\"ad\\\"min\" , uri=\"\",qop=auth,auth-int,nc=000000001,cnonce=\"1f\",algorithm=MD5", &c));
    EXPECT_EQ("ad\"min", c.username);
    EXPECT_TRUE(c.hasUri);
    EXPECT_EQ("", c.uri);
    EXPECT_EQ("auth,auth-int", c.qop);
    EXPECT_EQ("000000001", c.nc);
    EXPECT_EQ("1f", c.cnonce);
    EXPECT_EQ("MD5", c.algorithm);
    EXPECT_FALSE(parseDigestCredentials("Basic YWRtaW46c2VjcmV0", &c));
    EXPECT_FALSE(parseDigestCredentials("Digest username=\"unterminated", &c));
}
