#include "platform/local_addresses.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <vector>

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

bool localAddressMask(uint32_t address, uint32_t* mask) {
    ULONG size = 0;
    if (GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER) return false;
    std::vector<unsigned char> buffer(size);
    MIB_IPADDRTABLE* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) return false;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        if (ntohl(table->table[i].dwAddr) != address) continue;
        *mask = ntohl(table->table[i].dwMask);
        return true;
    }
    return false;
}
