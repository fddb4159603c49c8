#include "platform/local_addresses.h"

#include <winsock2.h>

void listLocalAddresses(char* hostName, size_t hostNameSize, uint32_t out[kMaxLocalAddresses]) {
    for (int i = 0; i < kMaxLocalAddresses; ++i) out[i] = 0;
    if (hostNameSize == 0) return;
    hostName[hostNameSize - 1] = '\0';
    gethostname(hostName, static_cast<int>(hostNameSize - 1));
    hostent* host = gethostbyname(hostName);
    if (!host || !host->h_addr_list) return;
    for (int i = 0; i < kMaxLocalAddresses && host->h_addr_list[i]; ++i) {
        const in_addr* address = reinterpret_cast<const in_addr*>(host->h_addr_list[i]);
        out[i] = ntohl(address->s_addr);
    }
}
