#include "platform/local_addresses.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
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
