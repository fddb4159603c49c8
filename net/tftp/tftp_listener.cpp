#include "net/tftp/tftp_listener.h"

#include <new>

#include "base/debug_trace.h"
#include "net/address_utils.h"
#include "platform/platform_clock.h"

namespace {

const unsigned kWaitSliceMs = 50;

// What a datagram at the listener means: the expected request, or nothing.
bool takeDatagram(TftpListener* listener, int got, const sockaddr_in& from, const TftpWaitHooks& hooks,
                  TftpRequest* request) {
    const uint8_t* area = listener->receiveArea;
    switch (tftpGet16(area)) {
        case kTftpReadRequest: break;
        case kTftpWriteRequest: debugTrace("TFTP Rx WRQ?\n"); return false;
        case kTftpData: debugTrace("TFTP Rx Data?\n"); return false;
        case kTftpAck: debugTrace("TFTP Rx ACK?\n"); return false;
        case kTftpError: debugTrace("TFTP Rx Error?\n"); return false;
        default: return false;
    }
    TftpReadRequest parsed;
    // The name must end inside the datagram; anything else is not the expected one.
    if (!tftpParseReadRequest(area, got, &parsed)) {
        debugTrace("+++ Bad TFTP RRQ filename (unterminated)\n");
        return false;
    }
    debugTrace("TFTP RRQ %s\n", parsed.name);
    if (!hooks.isExpectedName(hooks.context, parsed.name)) {
        debugTrace("+++ Bad TFTP RRQ filename %s\n", parsed.name);
        return false;
    }
    readSockaddr(from, &request->address, &request->port);
    if (listener->deviceAddress != 0 && request->address != listener->deviceAddress) {
        // Another host that knows the name: refused, the wait goes on.
        debugTrace("+++ TFTP RRQ from %x refused\n", request->address);
        uint8_t packet[64];
        socketSendTo(listener->socket, packet, tftpBuildError(packet, kTftpErrorAccessViolation, "Access violation"),
                     from);
        return false;
    }
    request->withOptions = parsed.optionCount > 0;
    return true;
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
    uint32_t lastTick = clockMillis();
    for (;;) {
        if (socketWaitReadable(listener->socket, kWaitSliceMs)) {
            for (int read = 0; read < kTftpMostReadsPerRound; ++read) {
                sockaddr_in from;
                int got = socketReceiveFrom(listener->socket, listener->receiveArea, kTftpPacketSize, &from);
                if (got == kRecvTooBig) continue;  // does not fit the area: dropped
                if (got < 0) break;
                if (got >= 2 && takeDatagram(listener, got, from, hooks, request)) return true;
            }
        }
        // The caller hears from the wait once a slice, however much arrives.
        uint32_t now = clockMillis();
        if (now - lastTick < kWaitSliceMs) continue;
        lastTick = now;
        if (!hooks.tick(hooks.context)) return false;
    }
}
