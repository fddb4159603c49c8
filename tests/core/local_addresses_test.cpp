#include <gtest/gtest.h>

#include "platform/local_addresses.h"

namespace {

const uint32_t kLoopback = 0x7F000001;

TEST(LocalAddresses, LanAddressesFirstLoopbackLastDownOnesLeftOut) {
    InterfaceAddress list[] = {
        {kLoopback, true, true},
        {0xC0A80005, true, false},   // 192.168.0.5
        {0x0A010002, false, false},  // down
        {0x0A010003, true, false},
    };
    uint32_t out[kMaxLocalAddresses];
    EXPECT_EQ(orderLocalAddresses(list, 4, out), 3);
    EXPECT_EQ(out[0], 0xC0A80005u);
    EXPECT_EQ(out[1], 0x0A010003u);
    EXPECT_EQ(out[2], kLoopback);
    EXPECT_EQ(out[3], 0u);
}

TEST(LocalAddresses, AtMostEightAndLoopbackDropsOffFirst) {
    InterfaceAddress list[10];
    list[0] = {kLoopback, true, true};
    for (int i = 1; i < 10; ++i) list[i] = {0x0A000000u + static_cast<uint32_t>(i), true, false};
    uint32_t out[kMaxLocalAddresses];
    EXPECT_EQ(orderLocalAddresses(list, 10, out), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], 0x0A000000u + static_cast<uint32_t>(i + 1));
}

TEST(LocalAddresses, NoInterfacesGivesAnEmptyList) {
    uint32_t out[kMaxLocalAddresses];
    for (uint32_t& entry : out) entry = 99;
    EXPECT_EQ(orderLocalAddresses(nullptr, 0, out), 0);
    for (uint32_t entry : out) EXPECT_EQ(entry, 0u);
}

TEST(LocalAddresses, ThisMachineListsLoopbackLast) {
    char host[128];
    uint32_t out[kMaxLocalAddresses];
    listLocalAddresses(host, sizeof host, out);
    int count = 0;
    while (count < kMaxLocalAddresses && out[count]) ++count;
    for (int i = 0; i + 1 < count; ++i) {
        if ((out[i] >> 24) == 127) {
            EXPECT_EQ(out[i + 1] >> 24, 127u) << "a LAN address after a loopback one";
        }
    }
}

}  // namespace
