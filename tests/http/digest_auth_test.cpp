#include "net/http/digest_auth.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

namespace {

const char kNonce[] = "dcd98b7102dd2f0e8b11d0f600bfb0c093";
const char kFixedCnonce[] = "0a4f113b";

// A record after the user has answered the password dialog.
DigestChallenge withCredentials() {
    DigestChallenge challenge{};
    std::strcpy(challenge.userName, "Mufasa");
    std::strcpy(challenge.password, "Circle Of Life");
    return challenge;
}

bool parse(const std::string& text, DigestChallenge* challenge) {
    return parseDigestChallenge(text.data(), text.size(), challenge);
}

// The line for the next request: the count raised first, as the exchange
// does, and the random client nonce replaced by a known one.
std::string nextLine(DigestChallenge* challenge) {
    ++challenge->nonceCount;
    std::strcpy(challenge->cnonce, kFixedCnonce);
    char line[kMaxAuthorizationLine + 1];
    int length = buildAuthorizationLine(*challenge, line, sizeof line);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(line));
    return line;
}

std::string header(const std::string& parameters) {
    return "WWW-Authenticate: Digest " + parameters + "\r\nContent-Length: 0\r\n\r\n";
}

TEST(DigestResponse, Rfc2617Example) {
    char response[kMd5HexSize];
    computeDigestResponse(kNonce, kFixedCnonce, "Mufasa", "testrealm@host.com", "Circle Of Life", "", "00000001", "GET",
                          "auth", "/dir/index.html", "", response);
    EXPECT_STREQ(response, "6629fae49393a05397450978507c4ef1");
    computeDigestResponse(kNonce, kFixedCnonce, "Mufasa", "testrealm@host.com", "Circle Of Life", "MD5", "00000001",
                          "GET", "auth", "/dir/index.html", "", response);
    EXPECT_STREQ(response, "6629fae49393a05397450978507c4ef1");
}

TEST(AuthorizationLine, QopAuthWithoutAlgorithmAndOpaque) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(
        parse(header("realm=\"testrealm@host.com\", qop=\"auth\", nonce=\"" + std::string(kNonce) + "\""), &challenge));
    EXPECT_TRUE(std::regex_match(challenge.cnonce, std::regex("[0-9a-f]{1,4}"))) << challenge.cnonce;
    EXPECT_EQ(challenge.nonceCount, 0u);
    EXPECT_EQ(nextLine(&challenge),
              "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"\","
              "response=\"27e3bf1d66f6fa6b92f91eb006a74d1f\",qop=auth,nc=000000001,cnonce=\"0a4f113b\"\r\n");
}

TEST(AuthorizationLine, WithoutQopEndsAfterResponseOrOpaque) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(parse(header("realm=\"testrealm@host.com\", nonce=\"" + std::string(kNonce) + "\""), &challenge));
    EXPECT_EQ(nextLine(&challenge),
              "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"\","
              "response=\"5866fe8d19147a39b9fdea5a20b84d51\"\r\n");

    ASSERT_TRUE(parse(header("realm=\"testrealm@host.com\", nonce=\"" + std::string(kNonce) +
                             "\", opaque=\"5ccc069c403ebaf9f0171e9517f40e41\""),
                      &challenge));
    EXPECT_EQ(nextLine(&challenge),
              "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"\","
              "response=\"5866fe8d19147a39b9fdea5a20b84d51\",opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"\r\n");
}

TEST(AuthorizationLine, SessionAlgorithmInMixedCaseIsRepeatedAsReceived) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(parse(header("realm=\"testrealm@host.com\", qop=\"auth\", algorithm=\"MD5-Sess\", nonce=\"" +
                             std::string(kNonce) + "\", opaque=\"abc\""),
                      &challenge));
    EXPECT_EQ(nextLine(&challenge),
              "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"MD5-Sess\","
              "response=\"8e412c50a11182de43f3af9554198718\",opaque=\"abc\",qop=auth,nc=000000001,"
              "cnonce=\"0a4f113b\"\r\n");
}

TEST(AuthorizationLine, UnquotedValuesGiveTheSameLineAsQuotedOnes) {
    // The unquoted session algorithm must select the session form too.
    for (const std::string& parameters :
         {"realm=\"testrealm@host.com\", qop=auth, algorithm=MD5-Sess, nonce=" + std::string(kNonce) + ", opaque=abc",
          "realm=testrealm@host.com,qop=auth,algorithm=MD5-Sess,nonce=" + std::string(kNonce) + ",opaque=abc\r\n"}) {
        DigestChallenge challenge = withCredentials();
        ASSERT_TRUE(parse(header(parameters), &challenge)) << parameters;
        EXPECT_EQ(nextLine(&challenge),
                  "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
                  "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"MD5-Sess\","
                  "response=\"8e412c50a11182de43f3af9554198718\",opaque=\"abc\",qop=auth,nc=000000001,"
                  "cnonce=\"0a4f113b\"\r\n")
            << parameters;
    }
}

TEST(AuthorizationLine, QopListIsHashedAndSentWhole) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(
        parse(header("realm=\"testrealm@host.com\", qop=\"auth,auth-int\", nonce=\"" + std::string(kNonce) + "\""),
              &challenge));
    EXPECT_EQ(nextLine(&challenge),
              "Authorization: Digest username=\"Mufasa\",realm=\"testrealm@host.com\","
              "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",uri=\"\",algorithm=\"\","
              "response=\"fdf885a9539114f90f80e0689019a1d9\",qop=auth,auth-int,nc=000000001,cnonce=\"0a4f113b\"\r\n");
}

TEST(AuthorizationLine, AuthIntHashesTheEmptyBody) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(parse(header("realm=\"testrealm@host.com\", qop=\"auth-int\", nonce=\"" + std::string(kNonce) + "\""),
                      &challenge));
    EXPECT_NE(nextLine(&challenge).find(",response=\"51dc2330827f10a325e90738c7718bf0\",qop=auth-int,nc=000000001,"),
              std::string::npos);
}

TEST(AuthorizationLine, CountRisesOnARepeatedNonceAndRestartsOnANewOne) {
    DigestChallenge challenge = withCredentials();
    const std::string first = header("realm=\"r\", qop=\"auth\", nonce=\"one\"");
    ASSERT_TRUE(parse(first, &challenge));
    EXPECT_NE(nextLine(&challenge).find(",nc=000000001,"), std::string::npos);
    ASSERT_TRUE(parse(first, &challenge));  // wrong password: the same nonce again
    EXPECT_EQ(challenge.nonceCount, 1u);
    EXPECT_NE(nextLine(&challenge).find(",nc=000000002,"), std::string::npos);
    ASSERT_TRUE(parse(header("realm=\"r\", qop=\"auth\", nonce=\"two\""), &challenge));
    EXPECT_EQ(challenge.nonceCount, 0u);
    EXPECT_STREQ(challenge.lastNonce, "two");
    EXPECT_NE(nextLine(&challenge).find(",nc=000000001,"), std::string::npos);
}

TEST(AuthorizationLine, ALaterChallengeWithoutOptionalKeysClearsThem) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(parse(header("realm=\"r\", qop=\"auth\", algorithm=\"MD5\", opaque=\"o\", nonce=\"one\""), &challenge));
    ASSERT_TRUE(parse(header("realm=\"r\", nonce=\"two\", algorithm=MD5"), &challenge));
    EXPECT_STREQ(challenge.qop, "");
    EXPECT_STREQ(challenge.algorithm, "MD5");  // the unquoted form counts too
    EXPECT_STREQ(challenge.opaque, "");
    ASSERT_TRUE(parse(header("realm=\"r\", nonce=\"three\""), &challenge));
    EXPECT_STREQ(challenge.algorithm, "");
    std::string line = nextLine(&challenge);
    EXPECT_NE(line.find(",algorithm=\"\",response=\""), std::string::npos);
    EXPECT_EQ(line.find("opaque"), std::string::npos);
    EXPECT_EQ(line.find("qop"), std::string::npos);
    EXPECT_EQ(line.find("nc="), std::string::npos);
    EXPECT_EQ(line.find("cnonce"), std::string::npos);
}

TEST(ChallengeParse, KeysAreFoundInTheBodyAndValuesCutAtAnyQuote) {
    DigestChallenge challenge = withCredentials();
    std::string text =
        header("realm=\"my \\\"home\\\" realm\", nonce=\"n\"") + "<html><p>opaque=\"fromthepage\"</p></html>";
    ASSERT_TRUE(parse(text, &challenge));
    EXPECT_STREQ(challenge.realm, "my \\");
    EXPECT_STREQ(challenge.opaque, "fromthepage");
    // A value without a closing quote runs to the end of the data.
    ASSERT_TRUE(parse("WWW-Authenticate: Digest nonce=\"n\", realm=\"open", &challenge));
    EXPECT_STREQ(challenge.realm, "open");
}

TEST(ChallengeParse, MissingRealmOrNonceIsRejectedAndChangesNothing) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(parse(header("realm=\"old\", nonce=\"n\", qop=\"auth\""), &challenge));
    DigestChallenge before = challenge;
    EXPECT_FALSE(parse(header("nonce=\"m\", qop=\"auth\""), &challenge));
    EXPECT_FALSE(parse(header("realm=\"new\", qop=\"auth-int\""), &challenge));
    EXPECT_FALSE(parse("WWW-Authenticate: Basic realm=\"x\"", &challenge));
    EXPECT_FALSE(parse("WWW-Authenticate: Digest Realm=\"x\", Nonce=\"y\"", &challenge));
    EXPECT_EQ(std::memcmp(&before, &challenge, sizeof challenge), 0);
}

TEST(ChallengeParse, ControlBytesInAnyValueMakeTheChallengeUnusable) {
    DigestChallenge challenge = withCredentials();
    ASSERT_TRUE(parse(header("realm=\"old\", nonce=\"n\", qop=\"auth\", opaque=\"o\""), &challenge));
    const DigestChallenge before = challenge;
    for (const char* parameters : {
             "realm=\"r\", nonce=\"abc\r\nX-Injected: 1\"",
             "realm=\"r\r\nX-Injected: 1\", nonce=\"m\"",
             "realm=\"r\", nonce=\"m\", opaque=\"o\nX: 1\"",
             "realm=\"r\", nonce=\"m\", qop=\"auth\x01\"",
             "realm=\"r\", nonce=\"m\", algorithm=\"MD5\x7f\"",
             "realm=\"r\", nonce=m\x1b[2J, qop=auth",
             "realm=\"r\tx\", nonce=\"m\"",
         }) {
        EXPECT_FALSE(parse(header(parameters), &challenge)) << parameters;
    }
    EXPECT_EQ(std::memcmp(&before, &challenge, sizeof challenge), 0);
}

TEST(AuthorizationLine, NoLineWhenAValueItWouldWriteHoldsAControlByte) {
    DigestChallenge clean = withCredentials();
    ASSERT_TRUE(parse(header("realm=\"r\", nonce=\"n\", qop=\"auth\", opaque=\"o\", algorithm=\"MD5\""), &clean));
    struct Case {
        char* (*field)(DigestChallenge&);
        bool written;
    };
    const Case cases[] = {
        {[](DigestChallenge& c) { return c.userName; }, true},  {[](DigestChallenge& c) { return c.realm; }, true},
        {[](DigestChallenge& c) { return c.nonce; }, true},     {[](DigestChallenge& c) { return c.digestUri; }, true},
        {[](DigestChallenge& c) { return c.algorithm; }, true}, {[](DigestChallenge& c) { return c.opaque; }, true},
        {[](DigestChallenge& c) { return c.qop; }, true},       {[](DigestChallenge& c) { return c.cnonce; }, true},
        {[](DigestChallenge& c) { return c.password; }, false},
    };
    for (const Case& c : cases) {
        DigestChallenge challenge = clean;
        std::strcpy(c.field(challenge), "x\r\nX: 1");  // fits the shortest field
        char out[kMaxAuthorizationLine + 1] = "stale";
        int length = buildAuthorizationLine(challenge, out, sizeof out);
        if (c.written) {
            EXPECT_EQ(length, 0) << out;
            EXPECT_STREQ(out, "");
        } else {
            EXPECT_EQ(std::string(out).find('\n'), static_cast<size_t>(length) - 1);  // the password never goes out
        }
    }
    // Without qop the client nonce is not written, so it does not count.
    DigestChallenge noQop = clean;
    noQop.qop[0] = '\0';
    std::strcpy(noQop.cnonce, "\x01");
    char out[kMaxAuthorizationLine + 1];
    EXPECT_GT(buildAuthorizationLine(noQop, out, sizeof out), 0);
}

TEST(ChallengeParse, OverlongValuesAreCutToTheirFields) {
    DigestChallenge challenge = withCredentials();
    std::string longRealm(200, 'r'), longNonce(300, 'n'), longOpaque(400, 'o');
    std::string longQop = "auth,auth-int,auth-conf", longAlgorithm = "MD5-sess-and-then-some";
    ASSERT_TRUE(parse(header("realm=\"" + longRealm + "\", nonce=\"" + longNonce + "\", qop=\"" + longQop +
                             "\", algorithm=\"" + longAlgorithm + "\", opaque=\"" + longOpaque + "\""),
                      &challenge));
    EXPECT_EQ(std::string(challenge.realm), longRealm.substr(0, 127));
    EXPECT_EQ(std::string(challenge.nonce), longNonce.substr(0, 127));
    EXPECT_EQ(std::string(challenge.lastNonce), longNonce.substr(0, 127));
    EXPECT_EQ(std::string(challenge.opaque), longOpaque.substr(0, 127));
    EXPECT_EQ(std::string(challenge.qop), longQop.substr(0, 15));
    EXPECT_EQ(std::string(challenge.algorithm), longAlgorithm.substr(0, 15));
    // Neighbouring fields are intact and the challenge still answers.
    EXPECT_STREQ(challenge.userName, "Mufasa");
    EXPECT_STREQ(challenge.password, "Circle Of Life");
    EXPECT_STREQ(challenge.digestUri, "");
    std::string line = nextLine(&challenge);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_NE(line.find(",qop=auth,auth-int,a,nc=000000001,"), std::string::npos);

    // The longest line there can be still fits the bound.
    std::memset(challenge.userName, 'u', 127);
    std::memset(challenge.digestUri, 'i', 127);
    std::memset(challenge.cnonce, 'c', 127);
    challenge.cnonce[127] = '\0';
    challenge.nonceCount = 0xfffffffe;
    char out[kMaxAuthorizationLine + 1];
    int length = buildAuthorizationLine(challenge, out, sizeof out);
    EXPECT_GT(length, 900);
    EXPECT_EQ(buildAuthorizationLine(challenge, out, static_cast<size_t>(length)), 0);  // no room for the NUL
    EXPECT_STREQ(out, "");
}

TEST(ChallengeParse, SearchesStopAtTheEndOfTheData) {
    DigestChallenge challenge = withCredentials();
    // The nonce lies just beyond the length handed over.
    std::string text = header("realm=\"r\"") + "nonce=\"n\"";
    EXPECT_FALSE(parseDigestChallenge(text.data(), text.size() - 3, &challenge));
    // A NUL byte inside the data does not end the search; it ends a value.
    std::string withNul = header("realm=\"r\"") + std::string(1, '\0') + "nonce=\"ab" + std::string(1, '\0') + "cd\"";
    ASSERT_TRUE(parse(withNul, &challenge));
    EXPECT_STREQ(challenge.nonce, "ab");
}

}  // namespace
