#include "net/address_utils.h"

#include <gtest/gtest.h>

namespace {

uint32_t parsed(const char* text, bool expectOk) {
    uint32_t address = 0xdeadbeef;
    EXPECT_EQ(parseDottedQuad(text, &address), expectOk) << text;
    return address;
}

TEST(DottedQuad, SeparatorsAndPieces) {
    EXPECT_EQ(parsed("10.1.0.13", true), 0x0a01000du);
    EXPECT_EQ(parsed("10*1*0*13", true), 0x0a01000du);
    EXPECT_EQ(parsed("1..2.3.4", true), 0x01020304u);
    EXPECT_EQ(parsed(".1.2.3.4.", true), 0x01020304u);
    EXPECT_EQ(parsed("010.001.000.013", true), 0x0a01000du);  // decimal, not octal
    EXPECT_EQ(parsed("255.255.255.255", true), 0xffffffffu);
}

TEST(DottedQuad, RefusedTextsGiveZero) {
    for (const char* text : {"10.1.0.1.5", "10.1.0.256", "1.2.3", "10.100.0", "10.1.0.13a", "a10.1.0.1", "10.1 .0.1",
                             "0.0.0.0", "1.2.3.4.5.6.7.8", "", "192.168.100.1001", "0000000000256.1", "......."}) {
        EXPECT_EQ(parsed(text, false), 0u) << text;
    }
}

TEST(DottedQuad, LengthLimitsAreSevenToFifteen) {
    EXPECT_EQ(parsed("1.2.3.4", true), 0x01020304u);
    EXPECT_EQ(parsed("1.2.3.", false), 0u);
    EXPECT_EQ(parsed("100.200.100.200", true), 0x64c864c8u);
    EXPECT_EQ(parsed("100.200.100.2000", false), 0u);
    EXPECT_EQ(parsed("100.200.100..200", false), 0u);  // 16 characters, though four pieces
}

TEST(Sockaddr, NetworkOrderOnlyInside) {
    sockaddr_in address;
    makeSockaddr(0x7f000001u, 23456, &address);
    EXPECT_EQ(address.sin_family, AF_INET);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&address.sin_addr.s_addr);
    EXPECT_EQ(bytes[0], 127);
    EXPECT_EQ(bytes[3], 1);
    const uint8_t* port = reinterpret_cast<const uint8_t*>(&address.sin_port);
    EXPECT_EQ(port[0], 23456 >> 8);
    EXPECT_EQ(port[1], 23456 & 0xff);
    uint32_t back = 0;
    uint16_t backPort = 0;
    readSockaddr(address, &back, &backPort);
    EXPECT_EQ(back, 0x7f000001u);
    EXPECT_EQ(backPort, 23456);
    makeSockaddr(0, 0, &address);
    EXPECT_EQ(address.sin_addr.s_addr, 0u);
}

}  // namespace
