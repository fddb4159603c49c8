#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/tftp/tftp_packets.h"

static std::vector<uint8_t> built(const uint8_t* packet, int length) { return {packet, packet + length}; }

TEST(TftpPackets, OptionAckIsAlwaysTsizeAndTimeoutFive) {
    uint8_t packet[kTftpPacketSize];
    const std::vector<uint8_t> forDefaultImage = {0x00, 0x06, 0x74, 0x73, 0x69, 0x7A, 0x65, 0x00, 0x34,
                                                  0x32, 0x30, 0x30, 0x30, 0x39, 0x30, 0x00, 0x74, 0x69,
                                                  0x6D, 0x65, 0x6F, 0x75, 0x74, 0x00, 0x35, 0x00};
    EXPECT_EQ(built(packet, tftpBuildOptionAck(packet, 4200090)), forDefaultImage);

    const uint8_t empty[] =
        "\0\6tsize\0"
        "0\0timeout\0"
        "5";
    EXPECT_EQ(built(packet, tftpBuildOptionAck(packet, 0)), built(empty, sizeof empty));

    const uint8_t largest[] =
        "\0\6tsize\0"
        "4294967295\0timeout\0"
        "5";
    EXPECT_EQ(built(packet, tftpBuildOptionAck(packet, 0xFFFFFFFFu)), built(largest, sizeof largest));
}

TEST(TftpPackets, SixteenBitFieldsAreBigEndianLowBitsOnly) {
    uint8_t bytes[2];
    tftpPut16(258, bytes);
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[1], 0x02);
    EXPECT_EQ(tftpGet16(bytes), 258);
    tftpPut16(65536 + 7, bytes);  // a block counter past 65535
    EXPECT_EQ(tftpGet16(bytes), 7);
    const uint8_t high[] = {0xFF, 0xFE};
    EXPECT_EQ(tftpGet16(high), 0xFFFE);
}

TEST(TftpPackets, DataCarriesTheBlockNumberAndAtMost512Bytes) {
    std::vector<uint8_t> payload(600);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
    uint8_t packet[kTftpPacketSize];

    ASSERT_EQ(tftpBuildData(packet, payload.data(), 512, 258), 516);
    EXPECT_EQ(built(packet, 4), (std::vector<uint8_t>{0x00, 0x03, 0x01, 0x02}));
    EXPECT_EQ(built(packet + 4, 512), std::vector<uint8_t>(payload.begin(), payload.begin() + 512));

    EXPECT_EQ(tftpBuildData(packet, nullptr, 0, 1), 4);  // the empty last block of an aligned image
    EXPECT_EQ(built(packet, 4), (std::vector<uint8_t>{0x00, 0x03, 0x00, 0x01}));

    EXPECT_EQ(tftpBuildData(packet, payload.data(), 154, 8204), 158);
    EXPECT_EQ(built(packet, 4), (std::vector<uint8_t>{0x00, 0x03, 0x20, 0x0C}));

    EXPECT_EQ(tftpBuildData(packet, payload.data(), 600, 2), 516);  // never more than a block
}

TEST(TftpPackets, ReadRequestsAreReadInsideTheDatagramOnly) {
    struct Case {
        std::string bytes;
        bool parsed;
        int options;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"\0\1/orb1.bi1\0octet\0"s, true, 0},
        {"\0\1/orb1.bi1\0octet\0tsize\0"
         "0\0timeout\0"
         "5\0"s,
         true, 2},
        {"\0\1/orb1.bi1\0octet\0\0"s, true, 0},  // padding after the mode
        {"\0\1/orb1.bi1\0octet\0tsize\0"
         "0"s,
         true, 0},                              // an option cut short is no option
        {"\0\1/orb1.bi1\0octet"s, false, 0},    // the mode does not end
        {"\0\1/orb1.bi1"s, false, 0},           // no terminator at all
        {"\0\2/orb1.bi1\0octet\0"s, false, 0},  // a write request
        {"\0"s, false, 0},
    };
    for (const Case& c : cases) {
        TftpReadRequest request;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
        ASSERT_EQ(tftpParseReadRequest(bytes, static_cast<int>(c.bytes.size()), &request), c.parsed) << c.bytes;
        if (!c.parsed) continue;
        EXPECT_STREQ(request.name, "/orb1.bi1");
        EXPECT_EQ(request.optionCount, c.options) << c.bytes;
    }
}

TEST(TftpPackets, ErrorsAreBuiltAndReadBack) {
    uint8_t packet[kTftpPacketSize];
    int length = tftpBuildError(packet, 5, "Unknown transfer ID");
    EXPECT_EQ(built(packet, length), built(reinterpret_cast<const uint8_t*>("\0\5\0\5Unknown transfer ID"), 24));
    TftpErrorReport error;
    ASSERT_TRUE(tftpParseError(packet, length - 1, &error));  // a text without its NUL still counts
    EXPECT_EQ(error.code, 5);
    EXPECT_STREQ(error.text, "Unknown transfer ID");
}
