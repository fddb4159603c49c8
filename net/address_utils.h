// IPv4 addresses in host order (first octet most significant) and the
// conversions to and from socket addresses, the only place network order appears.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform_socket.h"

// A typed address: 7 to 15 characters of digits, '.' and '*' (a separator
// like '.'); empty pieces skipped; exactly four pieces of at most 255.
// *address is 0 on any failure. Returns whether it parsed.
bool parseDottedQuad(const char* text, uint32_t* address);

// "a.b.c.d"; out holds at least kDottedQuadSize bytes to take any address.
const size_t kDottedQuadSize = 16;
void formatDottedQuad(uint32_t address, char* out, size_t size);

// A dotted quad that names a usable unicast host: four runs of digits, not
// 0.0.0.0, multicast, reserved or broadcast (what a command line takes).
bool parseHostAddress(const char* text, uint32_t* address);
// A host-order address as a dotted quad.
std::string dottedAddress(uint32_t address);

void makeSockaddr(uint32_t address, uint16_t port, sockaddr_in* socketAddress);
void readSockaddr(const sockaddr_in& socketAddress, uint32_t* address, uint16_t* port);
