#include "platform/platform_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

int socketStartup(int, int) { return 0; }

OrbSocket socketOpenTcp() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
OrbSocket socketOpenUdp() { return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); }

void socketClose(OrbSocket s) {
    if (s != kInvalidSocket) ::close(s);
}

void socketShutdownReceive(OrbSocket s) {
    if (s != kInvalidSocket) ::shutdown(s, SHUT_RD);
}

int socketLastError() { return errno; }

bool socketBind(OrbSocket s, const sockaddr_in& local) {
    return ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool socketBindForGroup(OrbSocket s, const sockaddr_in& local) {
    // Linux hands group datagrams only to sockets bound to the group or to
    // any address, so bind to any address at the port, and take only the
    // groups this socket joins.
    sockaddr_in any = local;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    int off = 0;
    ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
    return ::bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
}

bool socketJoinGroup(OrbSocket s, uint32_t groupHostOrder, uint32_t interfaceHostOrder) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(groupHostOrder);
    request.imr_interface.s_addr = htonl(interfaceHostOrder);
    if (::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) return false;
    // What we send to the group leaves where we listen, not where the
    // group route points (a PC with several interfaces).
    return interfaceHostOrder == 0 ||
           ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &request.imr_interface, sizeof request.imr_interface) == 0;
}

bool socketSetNonBlocking(OrbSocket s) {
    int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

ConnectResult socketConnect(OrbSocket s, const sockaddr_in& remote, unsigned timeoutMs) {
    int flags = ::fcntl(s, F_GETFL, 0);
    if (flags < 0 || ::fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0) return ConnectResult::Failed;
    bool connected = false;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        connected = true;
    } else if (errno == EINPROGRESS) {
        pollfd p{s, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&p, 1, static_cast<int>(timeoutMs));
        } while (ready < 0 && errno == EINTR);
        if (ready == 1) {
            int error = 0;
            socklen_t length = sizeof error;
            connected = ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
            if (!connected) errno = error;
        } else if (ready == 0) {
            errno = ETIMEDOUT;
        }
    }
    int error = errno;
    ::fcntl(s, F_SETFL, flags);
    if (connected) return ConnectResult::Connected;
    return error == EADDRINUSE || error == EADDRNOTAVAIL ? ConnectResult::LocalPortBusy : ConnectResult::Failed;
}

bool socketLocalAddress(OrbSocket s, sockaddr_in* local) {
    socklen_t length = sizeof *local;
    return ::getsockname(s, reinterpret_cast<sockaddr*>(local), &length) == 0;
}

int socketSend(OrbSocket s, const void* data, int length) {
    return static_cast<int>(::send(s, data, static_cast<size_t>(length), MSG_NOSIGNAL));
}

int socketSendTo(OrbSocket s, const void* data, int length, const sockaddr_in& to) {
    return static_cast<int>(::sendto(s, data, static_cast<size_t>(length), MSG_NOSIGNAL,
                                     reinterpret_cast<const sockaddr*>(&to), sizeof to));
}

int socketReceive(OrbSocket s, void* buffer, int capacity, unsigned idleTimeoutMs) {
    if (capacity <= 0) return 0;
    pollfd p{s, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, static_cast<int>(idleTimeoutMs));
    } while (ready < 0 && errno == EINTR);
    if (ready != 1) return -1;
    ssize_t got;
    do {
        got = ::recv(s, buffer, static_cast<size_t>(capacity), 0);
    } while (got < 0 && errno == EINTR);
    return static_cast<int>(got);
}

int socketReceiveFrom(OrbSocket s, void* buffer, int capacity, sockaddr_in* from) {
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    // MSG_TRUNC makes the kernel report the datagram's real length, so one
    // that did not fit is recognised and dropped instead of read cut short.
    ssize_t got =
        ::recvfrom(s, buffer, static_cast<size_t>(capacity), MSG_TRUNC, reinterpret_cast<sockaddr*>(&sender), &length);
    if (got < 0) return kRecvNothing;
    if (got > capacity) return kRecvTooBig;
    if (from) *from = sender;
    return static_cast<int>(got);
}

bool socketWaitReadable(OrbSocket s, unsigned timeoutMs) {
    pollfd p{s, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(timeoutMs)) == 1;
}
