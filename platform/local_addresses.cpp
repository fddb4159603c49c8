#include "platform/local_addresses.h"

#include "platform/platform_socket.h"

int orderLocalAddresses(const InterfaceAddress* list, int count, uint32_t out[kMaxLocalAddresses]) {
    for (int i = 0; i < kMaxLocalAddresses; ++i) out[i] = 0;
    int used = 0;
    // Two passes: what a user on a LAN wants first, loopback last.
    for (int pass = 0; pass < 2; ++pass) {
        bool wantLoopback = pass == 1;
        for (int i = 0; i < count && used < kMaxLocalAddresses; ++i) {
            if (!list[i].up || list[i].loopback != wantLoopback || list[i].address == 0) continue;
            out[used++] = list[i].address;
        }
    }
    return used;
}

bool localAddressToward(uint32_t device, uint32_t* local) {
    // 0.0.0.0 is no device; connected to it, Linux would name loopback.
    if (device == 0) return false;
    OrbSocket s = socketOpenUdp();
    if (s == kInvalidSocket) return false;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(80);
    remote.sin_addr.s_addr = htonl(device);
    sockaddr_in chosen{};
    // A datagram socket connects at once: the route is looked up, nothing is sent.
    const bool found = socketConnect(s, remote, 0) == ConnectResult::Connected && socketLocalAddress(s, &chosen) &&
                       chosen.sin_addr.s_addr != 0;
    socketClose(s);
    if (found) *local = ntohl(chosen.sin_addr.s_addr);
    return found;
}
