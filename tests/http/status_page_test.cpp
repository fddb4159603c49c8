#include "net/http/status_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string field(const std::string& page, const char* label, const char* before = "old") {
    char out[128];
    std::strcpy(out, before);
    extractPageField(page.data(), page.size(), label, out, sizeof out, kPageFieldLimit);
    return out;
}

TEST(PageField, ValueCellAndTagsAroundIt) {
    EXPECT_EQ(field("<tr><td>Software Version:</td><td>1.2.3</td></tr>", "Software Version:"), "1.2.3");
    EXPECT_EQ(field("<td>Software Version:</td><td><font color=red><b>2.0</b></font></td>", "Software Version:"),
              "2.0");
    // Text between the label and its closing '>' is never taken.
    EXPECT_EQ(field("<td title=\"Serial Number:\">x</td>", "Serial Number:"), "x");
}

TEST(PageField, WhatFollowsTheTagIsTakenAsItStands) {
    EXPECT_EQ(field("<td>MAC Address:</td>\r\n<td>00:11</td>", "MAC Address:"), "\r\n");
    EXPECT_EQ(field("<td>MAC Address:</td><td></td><td>Product Name:</td>", "MAC Address:"), "Product Name:");
    EXPECT_EQ(field("<p>Software Version: 1.0<br>next line</p>", "Software Version:"), "next line");
    EXPECT_EQ(field("<td>Product Name:</td><td>ORB&nbsp;200</td>", "Product Name:"), "ORB&nbsp;200");
    EXPECT_EQ(field("<td>Product Name:</td><td>  padded  </td>", "Product Name:"), "  padded  ");
}

TEST(PageField, EndsOfThePage) {
    EXPECT_EQ(field("<td>Product Name:</td>", "Product Name:"), "");  // ends right after '>'
    EXPECT_EQ(field("<td>Product Name:</td><td>abc", "Product Name:"), "abc");
    EXPECT_EQ(field("<td>Product Name:", "Product Name:"), "old");          // no '>' after the label
    EXPECT_EQ(field("<td>Product Name:</td><td", "Product Name:"), "old");  // a tag left open
    EXPECT_EQ(field("<td>product name:</td><td>x</td>", "Product Name:"), "old");
}

TEST(PageField, LongValuesKeepTheirFirst127Characters) {
    std::string value(200, 'v');
    EXPECT_EQ(field("<td>Serial Number:</td><td>" + value + "</td>", "Serial Number:"), value.substr(0, 127));
    // A smaller field bounds the copy below the limit.
    char small[8];
    std::string page = "<td>Serial Number:</td><td>" + value + "</td>";
    extractPageField(page.c_str(), "Serial Number:", small, sizeof small, kPageFieldLimit);
    EXPECT_EQ(std::string(small), value.substr(0, 7));
}

TEST(PageField, ReadsNothingBeyondTheLengthGiven) {
    std::string page = "<td>Serial Number:</td><td>1234</td>";
    char out[128] = "old";
    // Cut inside the value: the value ends with the data.
    EXPECT_NE(extractPageField(page.data(), page.size() - 7, "Serial Number:", out, sizeof out, 127), nullptr);
    EXPECT_STREQ(out, "12");
    // Cut inside the label: not found.
    std::strcpy(out, "old");
    EXPECT_EQ(extractPageField(page.data(), 10, "Serial Number:", out, sizeof out, 127), nullptr);
    EXPECT_STREQ(out, "old");
    // A NUL byte ends a value.
    std::string withNul = std::string("<td>Serial Number:</td><td>12") + '\0' + "34</td>";
    EXPECT_EQ(field(withNul, "Serial Number:"), "12");
}

TEST(DeviceFacts, FiveLabelsAndMissingOnesKeepTheirValue) {
    DeviceFacts facts{};
    std::strcpy(facts.hardwareVersion, "kept");
    std::string page =
        "<table><tr><td>Product Name:</td><td>ORB-1000</td></tr>"
        "<tr><td>Serial Number:</td><td>SN42</td></tr>"
        "<tr><td>MAC Address:</td><td>001122AABBCC</td></tr>"
        "<tr><td>Software Version:</td><td>3.1.4</td></tr></table>";
    extractDeviceFacts(page.c_str(), &facts);
    EXPECT_STREQ(facts.productName, "ORB-1000");
    EXPECT_STREQ(facts.macAddress, "001122AABBCC");
    EXPECT_STREQ(facts.softwareVersion, "3.1.4");
    EXPECT_STREQ(facts.hardwareVersion, "kept");
    EXPECT_STREQ(facts.serialNumber, "SN42");

    DeviceFacts before = facts;
    extractDeviceFacts("<html><body>404 Not Found</body></html>", &facts);
    EXPECT_EQ(std::memcmp(&before, &facts, sizeof facts), 0);
}

}  // namespace
