// One socket vocabulary for both builds. Addresses and ports cross this
// interface as sockaddr_in already in network order (see net/address_utils).
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
using OrbSocket = SOCKET;
const OrbSocket kInvalidSocket = INVALID_SOCKET;
#else
#include <netinet/in.h>
#include <sys/socket.h>
using OrbSocket = int;
const OrbSocket kInvalidSocket = -1;
#endif

// recvfrom results besides a byte count.
const int kRecvNothing = -1;  // nothing pending, or an error
const int kRecvTooBig = -2;   // a datagram that did not fit; it is consumed

// Starts the socket library (WSAStartup on Windows). Returns 0 on success.
int socketStartup(int major, int minor);

OrbSocket socketOpenTcp();
OrbSocket socketOpenUdp();
void socketClose(OrbSocket s);
void socketShutdownReceive(OrbSocket s);
int socketLastError();

bool socketBind(OrbSocket s, const sockaddr_in& local);
// A socket that must see datagrams sent to its unicast address and to a
// multicast group at the same port. Binds to the local address where the
// platform delivers group traffic to such a socket, otherwise to any address.
bool socketBindForGroup(OrbSocket s, const sockaddr_in& local);
// Joins the group on the interface holding interfaceHostOrder (0: the one
// the system picks); a nonzero one also becomes the interface the socket's
// multicast datagrams leave from (IP_MULTICAST_IF). False if either fails.
bool socketJoinGroup(OrbSocket s, uint32_t groupHostOrder, uint32_t interfaceHostOrder);
bool socketSetNonBlocking(OrbSocket s);

enum class ConnectResult {
    Connected,
    LocalPortBusy,  // the local address and port still hold this very connection (TIME_WAIT)
    Failed,
};
// Blocking connect that gives up after timeoutMs. The socket stays blocking.
ConnectResult socketConnect(OrbSocket s, const sockaddr_in& remote, unsigned timeoutMs);
// The address and port the socket is bound to (for a connected one, the
// system's choice).
bool socketLocalAddress(OrbSocket s, sockaddr_in* local);
int socketSend(OrbSocket s, const void* data, int length);
int socketSendTo(OrbSocket s, const void* data, int length, const sockaddr_in& to);
// Receives on a blocking stream socket; gives up (result -1) when nothing
// has arrived for idleTimeoutMs. 0 means the peer closed.
int socketReceive(OrbSocket s, void* buffer, int capacity, unsigned idleTimeoutMs);
// Non-blocking datagram receive: byte count, kRecvNothing or kRecvTooBig.
int socketReceiveFrom(OrbSocket s, void* buffer, int capacity, sockaddr_in* from);
// Waits at most timeoutMs for the socket to become readable.
bool socketWaitReadable(OrbSocket s, unsigned timeoutMs);
