#include "platform/local_addresses.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

void listLocalAddresses(char* hostName, size_t hostNameSize, uint32_t out[kMaxLocalAddresses]) {
    if (hostNameSize > 0) {
        gethostname(hostName, hostNameSize - 1);
        hostName[hostNameSize - 1] = '\0';
    }
    InterfaceAddress found[64];
    int count = 0;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) == 0) {
        for (ifaddrs* entry = all; entry && count < 64; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
            const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            found[count].address = ntohl(in->sin_addr.s_addr);
            found[count].up = (entry->ifa_flags & IFF_UP) != 0;
            found[count].loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
            ++count;
        }
        freeifaddrs(all);
    }
    orderLocalAddresses(found, count, out);
}

bool localAddressMask(uint32_t address, uint32_t* mask) {
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return false;
    bool found = false;
    for (ifaddrs* entry = all; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_netmask) continue;
        if (ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr) != address) continue;
        *mask = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        found = true;
    }
    freeifaddrs(all);
    return found;
}

bool localAddressToward(uint32_t device, uint32_t* local) {
    // 0.0.0.0 is no device; connected to it, Linux would name loopback.
    if (device == 0) return false;
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(80);
    remote.sin_addr.s_addr = htonl(device);
    sockaddr_in chosen{};
    socklen_t length = sizeof chosen;
    bool found = connect(s, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0 &&
                 getsockname(s, reinterpret_cast<sockaddr*>(&chosen), &length) == 0 && chosen.sin_addr.s_addr != 0;
    close(s);
    if (found) *local = ntohl(chosen.sin_addr.s_addr);
    return found;
}
