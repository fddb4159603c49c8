// The simulated device's trigger parse, image check, recovery datagrams
// (against the program's own recovery packet code), option checks and how
// answers are written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/recovery/recovery_discovery.h"
#include "tools/orbsim/sim_image_check.h"
#include "tools/orbsim/sim_log.h"
#include "tools/orbsim/sim_options.h"
#include "tools/orbsim/sim_pages.h"
#include "tools/orbsim/sim_recovery_responder.h"
#include "tools/orbsim/sim_trigger.h"

TEST(UpgradeTrigger, ReadsAddressPortAndNameWithItsSlash) {
    UpgradeTrigger t;
    ASSERT_TRUE(parseUpgradeTrigger("/admin/upgrade?tftp://192.168.0.5:70/orb1a2b.bi1", &t));
    EXPECT_EQ(0xC0A80005u, t.serverAddress);
    EXPECT_EQ(70, t.serverPort);
    EXPECT_EQ("/orb1a2b.bi1", t.fileName);

    const char* bad[] = {
        "/admin/upgrade?http://1.2.3.4:69/orb1.bi1", "/admin/upgrade?tftp://1.2.3.4/orb1.bi1",
        "/admin/upgrade?tftp://1.2.3.4:0/orb1.bi1",  "/admin/upgrade?tftp://1.2.3.4:65536/orb1.bi1",
        "/admin/upgrade?tftp://1.2.3:69/orb1.bi1",   "/admin/upgrade?tftp://1.2.3.4:6x/orb1.bi1",
        "/admin/upgrade?tftp://1.2.3.4:69/",         "/admin/upgradetftp://1.2.3.4:69/orb1.bi1",
    };
    for (const char* path : bad) EXPECT_FALSE(parseUpgradeTrigger(path, &t)) << path;
}

namespace {

std::vector<uint8_t> imageOf(size_t size, uint32_t lengthField, const char* version) {
    std::vector<uint8_t> image(size, 0x5A);
    if (size >= 92) {
        image[88] = static_cast<uint8_t>(lengthField >> 24);
        image[89] = static_cast<uint8_t>(lengthField >> 16);
        image[90] = static_cast<uint8_t>(lengthField >> 8);
        image[91] = static_cast<uint8_t>(lengthField);
    }
    for (size_t i = 0; version && 92 + i < size; ++i) {
        image[92 + i] = static_cast<uint8_t>(version[i]);
        if (!version[i]) break;
    }
    return image;
}

}  // namespace

TEST(ImageCheck, CompleteOnlyWhenFinishedAndTheLengthFieldAgrees) {
    ImageCheck whole = checkReceivedImage(imageOf(4200090, 4200090, "7.5.3"), true);
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ("7.5.3", whole.version);
    EXPECT_EQ("received 4200090 bytes, length field 4200090: complete", describeImageCheck(whole, 4200090));

    EXPECT_FALSE(checkReceivedImage(imageOf(4200090, 4200090, "7.5.3"), false).complete);
    ImageCheck shortOne = checkReceivedImage(imageOf(4000, 4200090, "7.5.3"), true);
    EXPECT_FALSE(shortOne.complete);
    EXPECT_EQ(4200090u, shortOne.lengthField);

    ImageCheck tiny = checkReceivedImage(imageOf(50, 0, nullptr), true);
    EXPECT_FALSE(tiny.hasLengthField);
    EXPECT_EQ("received 50 bytes, no length field: incomplete", describeImageCheck(tiny, 50));
}

TEST(ImageCheck, VersionMustEndInsideTheHeader) {
    std::vector<uint8_t> image = imageOf(1024, 1024, nullptr);  // no NUL from 92 to 127
    EXPECT_EQ("", checkReceivedImage(image, true).version);
    image[127] = 0;
    EXPECT_EQ(35u, checkReceivedImage(image, true).version.size());
}

TEST(RecoveryDatagrams, ProgramRequestsAreReadAndAnswersReadBack) {
    RecoveryRequest fetch;
    makeFetchRequest(&fetch, "ORB0012345", 70, "/orb1a2b.bin");
    RecoveryCommand command;
    ASSERT_TRUE(readRecoveryCommand(fetch.bytes, sizeof fetch.bytes, &command));
    EXPECT_EQ(2, command.command);
    EXPECT_EQ("ORB0012345", command.serial);
    EXPECT_EQ(70, command.tftpPort);
    EXPECT_EQ("/orb1a2b.bin", command.fileName);

    RecoveryRequest search;
    makeSearchRequest(&search, "1234567890123456789");
    ASSERT_TRUE(readRecoveryCommand(search.bytes, sizeof search.bytes, &command));
    EXPECT_EQ(0, command.command);
    EXPECT_EQ("1234567890123456789", command.serial);
    EXPECT_FALSE(readRecoveryCommand(search.bytes, 159, &command));
    search.bytes[7] = 'X';
    EXPECT_FALSE(readRecoveryCommand(search.bytes, sizeof search.bytes, &command));

    SimOptions o;
    o.address = 0x7F000002;
    o.productName = "A product name longer than nineteen";
    std::vector<uint8_t> bytes = makeRecoveryAnswer(o, "7.0.0", 100);
    ASSERT_EQ(100u, bytes.size());
    RecoveryAnswer answer;
    readRecoveryAnswer(bytes.data(), &answer);
    EXPECT_STREQ("ORB0012345", answer.serialNumber);
    EXPECT_STREQ("A product name long", answer.productName);  // 19 characters and the NUL
    EXPECT_STREQ("7.0.0", answer.softwareVersion);
    EXPECT_STREQ("1.0.2", answer.hardwareVersion);
    EXPECT_EQ(0x7F000002u, answer.address);
    char mac[13];
    formatMacHex(answer.mac, mac, 6);
    EXPECT_STREQ("000E08123456", mac);

    EXPECT_EQ(99u, makeRecoveryAnswer(o, "7.0.0", 99).size());
    std::vector<uint8_t> longer = makeRecoveryAnswer(o, "7.0.0", 101);
    ASSERT_EQ(101u, longer.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), longer.begin()));
}

namespace {

bool parse(std::vector<std::string> words, SimOptions* o, std::string* error) {
    std::vector<char*> argv;
    words.insert(words.begin(), "orbsim");
    for (std::string& word : words) argv.push_back(&word[0]);
    bool help = false;
    return parseSimOptions(static_cast<int>(argv.size()), argv.data(), o, &help, error);
}

}  // namespace

TEST(SimOptions, ReadsValuesAndRefusesMistakes) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--address", "127.0.0.9", "--qop", "none", "--algorithm", "absent", "--mac", "02:1a:2b:3c:4d:5e",
                       "--drop-ack", "0,7,9", "--user", "admin", "--password", "pw"},
                      &o, &error))
        << error;
    EXPECT_EQ(0x7F000009u, o.address);
    EXPECT_EQ("", o.qop);
    EXPECT_EQ("", o.algorithm);
    EXPECT_EQ(0x1A, o.macBytes[1]);
    EXPECT_EQ(0x5E, o.macBytes[5]);
    EXPECT_EQ(3u, o.dropAcks.size());
    ASSERT_TRUE(
        parse({"--port", "010", "--restart-seconds", "2.25", "--drop-ack", "1", "--drop-ack", "5,7"}, &o, &error))
        << error;
    EXPECT_EQ(10, o.httpPort);  // decimal, not octal
    EXPECT_EQ(2250u, o.restartMs);
    EXPECT_EQ(3u, o.dropAcks.size());  // every --drop-ack counts

    const std::vector<std::vector<std::string>> wrong = {
        {"--user", "admin"},
        {"--qop", "auth-conf"},
        {"--mac", "00:11"},
        {"--serial", "12345678901234567890"},
        {"--nonce-every", "1"},
        {"--drop-fraction", "1.5"},
        {"--port"},
        {"--bogus", "1"},
        {"--address", "localhost"},
        {"--restart-seconds", "3600.5"},
        {"--restart-seconds", "-1"},
        {"--restart-seconds", "60-10"},
        {"--restart-seconds", "1.2.3"},
        {"--port", "-1"},
        {"--stall-after", "0x10"},
    };
    for (const auto& words : wrong) {
        SimOptions fresh;
        error.clear();
        EXPECT_FALSE(parse(words, &fresh, &error)) << words[0];
        EXPECT_NE(std::string::npos, error.find(words[0])) << error;  // one line naming the option
        EXPECT_EQ(std::string::npos, error.find('\n')) << error;
    }
}

TEST(SimOptions, FleetDevicesDifferAndTakeTheirOwnOptions) {
    SimFleet fleet;
    std::vector<std::string> words = {"orbsim",
                                      "--count",
                                      "3",
                                      "--address",
                                      "127.0.0.10",
                                      "--mac",
                                      "02:1a:2b:3c:4d:ff",
                                      "--on",
                                      "2",
                                      "--user",
                                      "admin",
                                      "--on",
                                      "2",
                                      "--password",
                                      "pw",
                                      "--on",
                                      "3",
                                      "--tftp-error-after",
                                      "4:2:No: way",
                                      "--http-chunked",
                                      "--save",
                                      "one.img",
                                      "--on",
                                      "1",
                                      "--product",
                                      "-x"};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    bool help = false;
    std::string error;
    ASSERT_TRUE(parseSimFleet(static_cast<int>(argv.size()), argv.data(), &fleet, &help, &error)) << error;
    ASSERT_EQ(3u, fleet.devices.size());
    const SimOptions& third = fleet.devices[2];
    EXPECT_EQ(0x7F00000Cu, third.address);
    EXPECT_EQ("ORB0012347", third.serialNumber);
    EXPECT_EQ("02:1a:2b:3c:4e:01", third.macAddress);
    EXPECT_EQ(0x01, third.macBytes[5]);
    EXPECT_EQ("7.0.2", third.softwareVersion);
    EXPECT_EQ(4, third.errorAfterBlock);
    EXPECT_EQ(2u, third.errorCode);
    EXPECT_EQ("No: way", third.errorText);
    EXPECT_TRUE(third.httpChunked);
    EXPECT_EQ("admin", fleet.devices[1].user);
    EXPECT_EQ("", fleet.devices[0].user);
    EXPECT_EQ("one.img", fleet.devices[0].savePath);
    EXPECT_EQ("-x", fleet.devices[0].productName);  // a value, whatever it looks like
    EXPECT_EQ("", third.savePath);
    // Its record names what made it: the common words but the fleet's own, then its own.
    EXPECT_EQ((std::vector<std::string>{"--mac", "02:1a:2b:3c:4d:ff", "--http-chunked", "--save", "one.img",
                                        "--tftp-error-after", "4:2:No: way"}),
              third.given);

    // Restart times spread from device 1 to the last; --on takes flags as flags.
    struct Spread {
        std::vector<std::string> words;
        std::vector<unsigned> ms;
        size_t flapping;
    };
    const Spread spreads[] = {
        {{"--count", "5", "--restart-seconds", "10-60"}, {10000, 22500, 35000, 47500, 60000}, 9},
        {{"--count", "3", "--restart-seconds", "0.5-1", "--on", "2", "--flap", "--on", "3", "--restart-seconds", "9"},
         {500, 750, 9000},
         1},
        {{"--count", "3", "--restart-seconds", "0.5-1", "--on", "3", "--restart-seconds=9", "--on", "2", "--flap"},
         {500, 750, 9000},
         1},
        {{"--restart-seconds", "10-60"}, {10000}, 9},
    };
    for (const Spread& spread : spreads) {
        words = spread.words;
        words.insert(words.begin(), "orbsim");
        argv.clear();
        for (std::string& word : words) argv.push_back(&word[0]);
        ASSERT_TRUE(parseSimFleet(static_cast<int>(argv.size()), argv.data(), &fleet, &help, &error)) << error;
        ASSERT_EQ(spread.ms.size(), fleet.devices.size());
        for (size_t i = 0; i < spread.ms.size(); ++i) {
            EXPECT_EQ(spread.ms[i], fleet.devices[i].restartMs) << i;
            EXPECT_EQ(i == spread.flapping, fleet.devices[i].flap) << i;
        }
    }

    const std::vector<std::vector<std::string>> wrong = {
        {"--count", "2", "--on", "3", "--no-fetch"},
        {"--on", "1", "--user", "a"},
        {"--header-case", "camel"},
        {"--after-restart-status", "401basic"},
        {"--tftp-error-after", "1:x"},
        {"--count", "0"},
        {"--serial", "ORB9999999999999999", "--count", "2"},  // the second serial would be 20 characters
        {"--on", "0", "--flap"},
        {"--count", "2", "--on", "1", "--record", "one.jsonl"},
        {"--on", "2"},
        {"--on", "2", "--count", "3"},
        {"--on", "2", "--port"},
        {"--on", "2", "--bogus"},
        {"--on", "1", "--help"},
    };
    for (const auto& bad : wrong) {
        SimOptions fresh;
        EXPECT_FALSE(parse(bad, &fresh, &error)) << bad[0] << " " << bad[1];
    }
}

TEST(SimPages, ChunkedStatusPageCutsInsideTheVersion) {
    HttpStyle style;
    style.chunked = true;
    style.http10 = true;
    style.headerCase = 1;
    int chunks = 0;
    std::string page = statusPage(PageFacts{"P", "M", "7.5.3", "1.0", "S"});
    std::string response = httpResponse(200, {}, page, style, &chunks);
    EXPECT_EQ(0u, response.find("HTTP/1.0 200 OK\r\ncontent-type: text/html\r\ntransfer-encoding: chunked\r\n"));
    EXPECT_EQ(std::string::npos, response.find("content-length"));
    EXPECT_NE(std::string::npos, response.find("<td>7.\r\n"));
    EXPECT_GE(chunks, 3);
    // Undone, the chunks give the page back.
    std::string body, rest = response.substr(response.find("\r\n\r\n") + 4);
    for (size_t size; (size = std::stoul(rest, nullptr, 16)) != 0;) {
        size_t data = rest.find("\r\n") + 2;
        body += rest.substr(data, size);
        rest = rest.substr(data + size + 2);
    }
    EXPECT_EQ(page, body);
    EXPECT_EQ(std::string::npos, httpResponse(404, {}, page, style).find("chunked"));
    EXPECT_EQ("a\\x1b[1m\\r\\n\\\"\\\\\\xff", simEscape("a\x1b[1m\r\n\"\\\xff"));
}
