#include "platform/platform_socket.h"

int socketStartup(int major, int minor) {
    WSADATA data;
    return WSAStartup(MAKEWORD(major, minor), &data);
}

OrbSocket socketOpenTcp() { return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }
OrbSocket socketOpenUdp() { return ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP); }

void socketClose(OrbSocket s) {
    if (s != kInvalidSocket) ::closesocket(s);
}

void socketShutdownReceive(OrbSocket s) {
    if (s != kInvalidSocket) ::shutdown(s, SD_RECEIVE);
}

int socketLastError() { return WSAGetLastError(); }

bool socketBind(OrbSocket s, const sockaddr_in& local) {
    return ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool socketBindForGroup(OrbSocket s, const sockaddr_in& local) {
    // Windows delivers group datagrams to a socket bound to a unicast address
    // once it has joined the group on that interface.
    return socketBind(s, local);
}

bool socketJoinGroup(OrbSocket s, uint32_t groupHostOrder, uint32_t interfaceHostOrder) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(groupHostOrder);
    request.imr_interface.s_addr = htonl(interfaceHostOrder);
    if (::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request), sizeof request) != 0)
        return false;
    // What we send to the group leaves where we listen, not where the
    // group route points (a PC with several interfaces).
    return interfaceHostOrder == 0 ||
           ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&request.imr_interface),
                        sizeof request.imr_interface) == 0;
}

bool socketSetNonBlocking(OrbSocket s) {
    u_long on = 1;
    return ::ioctlsocket(s, FIONBIO, &on) == 0;
}

ConnectResult socketConnect(OrbSocket s, const sockaddr_in& remote, unsigned timeoutMs) {
    u_long on = 1;
    if (::ioctlsocket(s, FIONBIO, &on) != 0) return ConnectResult::Failed;
    bool connected = false;
    int error = 0;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        connected = true;
    } else if ((error = WSAGetLastError()) == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
        connected = ::select(0, nullptr, &writable, &failed, &wait) == 1 && FD_ISSET(s, &writable);
        if (!connected && FD_ISSET(s, &failed)) {
            int length = sizeof error;
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        }
    }
    u_long off = 0;
    ::ioctlsocket(s, FIONBIO, &off);
    if (connected) return ConnectResult::Connected;
    return error == WSAEADDRINUSE || error == WSAEADDRNOTAVAIL ? ConnectResult::LocalPortBusy : ConnectResult::Failed;
}

bool socketLocalAddress(OrbSocket s, sockaddr_in* local) {
    int length = sizeof *local;
    return ::getsockname(s, reinterpret_cast<sockaddr*>(local), &length) == 0;
}

int socketSend(OrbSocket s, const void* data, int length) {
    return ::send(s, static_cast<const char*>(data), length, 0);
}

int socketSendTo(OrbSocket s, const void* data, int length, const sockaddr_in& to) {
    return ::sendto(s, static_cast<const char*>(data), length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

int socketReceive(OrbSocket s, void* buffer, int capacity, unsigned idleTimeoutMs) {
    if (capacity <= 0) return 0;
    if (!socketWaitReadable(s, idleTimeoutMs)) return -1;
    return ::recv(s, static_cast<char*>(buffer), capacity, 0);
}

int socketReceiveFrom(OrbSocket s, void* buffer, int capacity, sockaddr_in* from) {
    sockaddr_in sender{};
    int length = sizeof sender;
    int got = ::recvfrom(s, static_cast<char*>(buffer), capacity, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (got == SOCKET_ERROR) return WSAGetLastError() == WSAEMSGSIZE ? kRecvTooBig : kRecvNothing;
    if (from) *from = sender;
    return got;
}

bool socketWaitReadable(OrbSocket s, unsigned timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &wait) == 1;
}
