#include "net/http/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hexOf(const std::string& text) {
    char hex[kMd5HexSize];
    md5HexOf(text.data(), text.size(), hex);
    return hex;
}

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(hexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hexOf("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(hexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(hexOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(hexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(hexOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecesGiveTheSameDigestAsOneBlock) {
    // Lengths around the 56- and 64-byte padding boundaries, added in
    // uneven pieces.
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 200u}) {
        std::string text;
        for (size_t i = 0; i < length; ++i) text += static_cast<char>('A' + i % 26);
        Md5State state;
        md5Init(&state);
        for (size_t at = 0; at < length; at += 7) md5Add(&state, text.data() + at, length - at < 7 ? length - at : 7);
        uint8_t digest[kMd5Size];
        md5Finish(&state, digest);
        char hex[kMd5HexSize];
        md5Hex(digest, hex);
        EXPECT_EQ(std::string(hex), hexOf(text)) << length;
    }
}

TEST(Md5, HexIsLowercaseHighNibbleFirst) {
    uint8_t digest[kMd5Size] = {0x00, 0x0f, 0xf0, 0xab, 0xcd, 0xef, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xff};
    char hex[kMd5HexSize];
    md5Hex(digest, hex);
    EXPECT_EQ(std::string(hex), "000ff0abcdef010203040506070809ff");
}

}  // namespace
