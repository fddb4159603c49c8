#include "net/tftp/tftp_transfer.h"

#include <cstring>

#include "base/debug_trace.h"
#include "net/address_utils.h"
#include "platform/platform_clock.h"

namespace {

// A stranger gets at most one ERROR this often, so that a flood does not
// turn the server into an echo of it.
const uint32_t kRefusalSpacingMs = 20;

const uint8_t* blockBytes(const TftpTransfer* t) {
    return t->imageData + static_cast<size_t>(t->nextBlock - 1) * kTftpBlockSize;
}

// A recovery's blocks go to the group, at the requester's port.
uint32_t destinationOf(const TftpTransfer* t) { return t->groupAddress != 0 ? t->groupAddress : t->requesterAddress; }

void sendToDevice(TftpTransfer* t, const TftpWire& wire, int length) {
    wire.send(wire.context, t->packet, length, destinationOf(t), t->requesterPort);
}

void sendBlock(TftpTransfer* t, const TftpWire& wire, uint32_t length) {
    // The datagram is built in a copy: the packet area may hold the datagram being handled.
    uint8_t packet[kTftpPacketSize];
    int size = tftpBuildData(packet, blockBytes(t), length, t->nextBlock);
    wire.send(wire.context, packet, size, destinationOf(t), t->requesterPort);
    const uint32_t end = (t->nextBlock - 1) * kTftpBlockSize + length;
    if (end > t->bytesSent) t->bytesSent = end;
}

// Takes the awaited ACK as received and sends the block after it. True
// when every block has been acknowledged.
bool advance(TftpTransfer* t, const TftpWire& wire) {
    t->bytesAcknowledged += t->inFlightLength;
    ++t->nextBlock;
    if (t->nextBlock > t->blockCount) return true;
    uint32_t length = t->nextBlock == t->blockCount ? t->lastBlockLength : kTftpBlockSize;
    sendBlock(t, wire, length);
    t->inFlightLength = length;
    debugTrace("Send block %u (%u)\n", t->nextBlock, length);
    return false;
}

void refuse(TftpTransfer* t, const TftpWire& wire, uint16_t code, const char* text, uint32_t address, uint16_t port,
            uint32_t nowMs) {
    if (nowMs - t->lastRefusalMs < kRefusalSpacingMs) return;
    t->lastRefusalMs = nowMs;
    uint8_t packet[64];
    wire.send(wire.context, packet, tftpBuildError(packet, code, text), address, port);
}

struct SocketWire {
    OrbSocket socket;
};

void sendOnSocket(void* context, const uint8_t* packet, int length, uint32_t address, uint16_t port) {
    sockaddr_in to;
    makeSockaddr(address, port, &to);
    socketSendTo(static_cast<SocketWire*>(context)->socket, packet, length, to);
}

}  // namespace

void tftpPrepareTransfer(TftpTransfer* t, OrbSocket socket, uint32_t groupAddress, uint32_t localAddress,
                         const TftpRequest& request, const uint8_t* imageData, uint32_t imageSize) {
    std::memset(t, 0, sizeof *t);
    t->socket = socket;
    t->groupAddress = groupAddress;
    t->localAddress = localAddress;
    t->requesterAddress = request.address;
    t->requesterPort = request.port;
    t->withOptions = request.withOptions;
    t->imageData = imageData;
    t->imageSize = imageSize;
    t->blockCount = imageSize / kTftpBlockSize + 1;
    t->lastBlockLength = imageSize % kTftpBlockSize;
    t->lastRefusalMs = clockMillis() - kRefusalSpacingMs;
    debugTrace("++++size %u, %u, %u\n", t->imageSize, t->lastBlockLength, t->blockCount);
}

void tftpBeginTransfer(TftpTransfer* t, const TftpWire& wire) {
    t->nextBlock = 0;
    t->bytesAcknowledged = 0;
    t->inFlightLength = 0;
    // A client that asked for no options expects block 1 straight away.
    if (t->withOptions)
        sendToDevice(t, wire, tftpBuildOptionAck(t->packet, t->imageSize));
    else
        advance(t, wire);
}

void tftpResend(TftpTransfer* t, const TftpWire& wire) {
    if (t->nextBlock == 0) {
        debugTrace("ReSend option ack\n");
        sendToDevice(t, wire, tftpBuildOptionAck(t->packet, t->imageSize));
    } else {
        debugTrace("ReSend block %u\n", t->nextBlock);
        sendBlock(t, wire, t->inFlightLength);
    }
}

TftpEvent tftpTakeDatagram(TftpTransfer* t, const uint8_t* datagram, int length, uint32_t fromAddress,
                           uint16_t fromPort, uint32_t nowMs, TftpNameCheck isExpectedName, void* nameContext,
                           const TftpWire& wire) {
    if (length < 2) return TftpEvent::Ignored;
    const uint16_t opcode = tftpGet16(datagram);
    TftpReadRequest request;
    const bool readRequest = tftpParseReadRequest(datagram, length, &request);
    const bool fromDevice = fromAddress == t->requesterAddress;
    if (fromDevice && fromPort == t->requesterPort) {
        if (opcode == kTftpError && tftpParseError(datagram, length, &t->deviceError)) {
            debugTrace("TFTP Rx Error %u %s\n", t->deviceError.code, t->deviceError.text);
            return TftpEvent::DeviceError;
        }
        // Block numbers roll over on the wire; compare the low 16 bits.
        if (opcode != kTftpAck || length < 4 || tftpGet16(datagram + 2) != (t->nextBlock & 0xFFFF))
            return TftpEvent::Ignored;
        return advance(t, wire) ? TftpEvent::Completed : TftpEvent::Advanced;
    }
    if (readRequest && isExpectedName(nameContext, request.name)) {
        if (fromDevice) {
            // The device gave up its fetch and asked again: serve the new one.
            debugTrace("TFTP RRQ again from port %u\n", fromPort);
            t->requesterPort = fromPort;
            t->withOptions = request.optionCount > 0;
            tftpBeginTransfer(t, wire);
            return TftpEvent::Restarted;
        }
        refuse(t, wire, kTftpErrorAccessViolation, "Access violation", fromAddress, fromPort, nowMs);
        return TftpEvent::Ignored;
    }
    debugTrace("Unknown source request in session: %x:%u", fromAddress, fromPort);
    // RFC 1350: a packet for another transfer is answered (an ERROR never
    // is, so that two servers cannot keep each other busy); the transfer goes on.
    if (!readRequest && length >= 4 && opcode >= kTftpWriteRequest && opcode <= kTftpOptionAck && opcode != kTftpError)
        refuse(t, wire, kTftpErrorUnknownTransfer, "Unknown transfer ID", fromAddress, fromPort, nowMs);
    return TftpEvent::Ignored;
}

TftpResult tftpServeBlocks(TftpTransfer* t, int retryLimit, const TftpTransferHooks& hooks) {
    socketSetNonBlocking(t->socket);
    SocketWire socketWire{t->socket};
    const TftpWire wire{&socketWire, sendOnSocket};
    tftpBeginTransfer(t, wire);
    uint32_t now = clockMillis();
    uint32_t deadline = now + kTftpPeriodMs;
    uint32_t lastTick = now;
    int periods = 0;
    for (;;) {
        int32_t left = static_cast<int32_t>(deadline - now);
        uint32_t waitMs = left <= 0                                  ? 0
                          : left < static_cast<int32_t>(kTftpTickMs) ? static_cast<uint32_t>(left)
                                                                     : kTftpTickMs;
        bool readable = socketWaitReadable(t->socket, waitMs);
        now = clockMillis();
        if (readable) {
            // What is waiting is read; an advance ends the round, since
            // the answer to the block just sent cannot be there yet.
            for (int read = 0; read < kTftpMostReadsPerRound; ++read) {
                sockaddr_in from;
                int got = socketReceiveFrom(t->socket, t->packet, kTftpPacketSize, &from);
                if (got == kRecvTooBig) continue;
                if (got < 0) break;
                uint32_t address = 0;
                uint16_t port = 0;
                readSockaddr(from, &address, &port);
                TftpEvent event =
                    tftpTakeDatagram(t, t->packet, got, address, port, now, hooks.isExpectedName, hooks.context, wire);
                if (event == TftpEvent::Completed) return TftpResult::Complete;
                if (event == TftpEvent::DeviceError) return TftpResult::DeviceError;
                if (event == TftpEvent::Advanced || event == TftpEvent::Restarted) {
                    deadline = now + kTftpPeriodMs;
                    periods = 0;
                    break;
                }
            }
        }
        // The caller hears from the transfer once a tick, not once a block.
        if (now - lastTick >= kTftpTickMs) {
            lastTick = now;
            if (!hooks.tick(hooks.context, t)) return TftpResult::Stopped;
        }
        if (static_cast<int32_t>(deadline - now) > 0) continue;
        if (++periods >= retryLimit) return TftpResult::TimedOut;
        tftpResend(t, wire);
        deadline = now + kTftpPeriodMs;
    }
}
