// The PC's own IPv4 addresses, at most 8, host order; the list ends at the
// first 0. Also the host name (bounded by its buffer).
#pragma once

#include <cstddef>
#include <cstdint>

const int kMaxLocalAddresses = 8;

void listLocalAddresses(char* hostName, size_t hostNameSize, uint32_t out[kMaxLocalAddresses]);

// One interface address as the system lists it.
struct InterfaceAddress {
    uint32_t address;  // host order
    bool up;
    bool loopback;
};

// Addresses of interfaces that are up: non-loopback ones first in the given
// order, then loopback ones; at most 8; the rest of out is 0. Returns the count.
int orderLocalAddresses(const InterfaceAddress* list, int count, uint32_t out[kMaxLocalAddresses]);

// The network mask of the interface that holds a local address; false
// when no interface holds it (or the system does not tell).
bool localAddressMask(uint32_t address, uint32_t* mask);

// The local address the system would send from to reach device (host
// order both): the routing table's choice, asked of a UDP socket connected
// to it (nothing is sent). False when there is no route, and for 0.
// Windows: after socketStartup.
bool localAddressToward(uint32_t device, uint32_t* local);
