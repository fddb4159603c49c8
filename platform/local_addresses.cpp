#include "platform/local_addresses.h"

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
