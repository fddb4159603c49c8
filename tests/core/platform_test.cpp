#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/local_addresses.h"
#include "platform/platform_socket.h"

namespace {

// A veth pair in the test's own namespace (netns.sh): 198.18.0.1/24 on one
// end, 198.19.0.1/24 on the other; nothing is sent through it.
bool twoInterfaces() {
    return std::getenv("ORB_IN_NETNS") &&
           std::system("ip link add orbv0 type veth peer name orbv1 && ip addr add 198.18.0.1/24 dev orbv0 && "
                       "ip addr add 198.19.0.1/24 dev orbv1 && ip link set orbv0 up && ip link set orbv1 up") == 0;
}

TEST(Platform, LocalAddressTowardADeviceIsTheRoutesSource) {
    if (!twoInterfaces()) GTEST_SKIP() << "needs its own network namespace";
    const struct {
        uint32_t device, local;
    } rows[] = {{0x7F000002, 0x7F000001}, {0xC6120009, 0xC6120001}, {0xC6130009, 0xC6130001}, {0xC612C801, 0}};
    for (const auto& row : rows) {
        uint32_t local = 0;
        EXPECT_EQ(localAddressToward(row.device, &local), row.local != 0) << std::hex << row.device;
        EXPECT_EQ(local, row.local) << std::hex << row.device;
    }
}

TEST(Platform, JoiningOnAnInterfaceAlsoSendsThere) {
    if (!std::getenv("ORB_IN_NETNS")) GTEST_SKIP() << "needs its own network namespace";
    for (uint32_t interface : {0u, 0x7F000001u}) {
        OrbSocket s = socketOpenUdp();
        ASSERT_TRUE(socketJoinGroup(s, 0xEFFF0001, interface));
        in_addr sending{};
        socklen_t length = sizeof sending;
        ASSERT_EQ(getsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &sending, &length), 0);
        EXPECT_EQ(ntohl(sending.s_addr), interface);
        socketClose(s);
    }
}

}  // namespace
