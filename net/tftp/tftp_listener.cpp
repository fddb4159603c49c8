#include "net/tftp/tftp_listener.h"

#include <cstring>
#include <new>

#include "core/debug_trace.h"
#include "net/http/address_utils.h"

namespace {

// Whether the read request in the area names the expected file. The name
// must end inside the datagram; anything else is not the expected one.
bool isExpectedRequest(const uint8_t* area, int length, const TftpWaitHooks& hooks) {
    const char* name = reinterpret_cast<const char*>(area + 2);
    const void* end = std::memchr(name, '\0', static_cast<size_t>(length - 2));
    if (!end) {
        debugTrace("+++ Bad TFTP RRQ filename (unterminated)\n");
        return false;
    }
    debugTrace("TFTP RRQ %s\n", name);
    if (hooks.isExpectedName(hooks.context, name)) return true;
    debugTrace("+++ Bad TFTP RRQ filename %s\n", name);
    return false;
}

}  // namespace

TftpListener* tftpOpenListener(uint32_t localAddress, uint32_t groupAddress, TftpOpenFailure* failure) {
    *failure = TftpOpenFailure::None;
    TftpListener* listener = new (std::nothrow) TftpListener{};
    if (!listener) {
        *failure = TftpOpenFailure::NoMemory;
        return nullptr;
    }
    listener->socket = socketOpenUdp();
    if (listener->socket == kInvalidSocket) {
        delete listener;
        *failure = TftpOpenFailure::SocketFailed;
        return nullptr;
    }
    uint16_t port = kTftpFirstPort;
    for (int failures = 0;;) {
        sockaddr_in local;
        makeSockaddr(localAddress, port, &local);
        bool bound = groupAddress ? socketBindForGroup(listener->socket, local) : socketBind(listener->socket, local);
        if (bound) break;
        if (++failures >= kTftpBindAttempts) {
            tftpCloseListener(listener);
            *failure = TftpOpenFailure::BindFailed;
            return nullptr;
        }
        ++port;
    }
    if (groupAddress && !socketJoinGroup(listener->socket, groupAddress, localAddress)) {
        tftpCloseListener(listener);
        *failure = TftpOpenFailure::GroupJoinFailed;
        return nullptr;
    }
    listener->groupAddress = groupAddress;
    listener->localAddress = localAddress;
    listener->port = port;
    return listener;
}

void tftpCloseListener(TftpListener* listener) {
    if (!listener) return;
    socketClose(listener->socket);
    delete listener;
}

bool tftpAwaitRequest(TftpListener* listener, const TftpWaitHooks& hooks, TftpRequest* request) {
    socketSetNonBlocking(listener->socket);
    for (;;) {
        sockaddr_in from;
        int got = socketReceiveFrom(listener->socket, listener->receiveArea, kTftpPacketSize, &from);
        if (got >= 2) {
            switch (tftpGet16(listener->receiveArea)) {
                case kTftpReadRequest:
                    if (!isExpectedRequest(listener->receiveArea, got, hooks)) break;
                    readSockaddr(from, &request->address, &request->port);
                    request->withOptions = tftpRequestHasOptions(listener->receiveArea, got);
                    return true;
                case kTftpWriteRequest: debugTrace("TFTP Rx WRQ?\n"); break;
                case kTftpData: debugTrace("TFTP Rx Data?\n"); break;
                case kTftpAck: debugTrace("TFTP Rx ACK?\n"); break;
                case kTftpError: debugTrace("TFTP Rx Error?\n"); break;
                default: break;
            }
            continue;
        }
        if (got >= 0) continue;  // too short to name an opcode
        // Idle (also a datagram too big for the area, which is dropped).
        socketWaitReadable(listener->socket, 1);
        if (!hooks.tick(hooks.context)) return false;
    }
}
