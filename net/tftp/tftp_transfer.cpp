#include "net/tftp/tftp_transfer.h"

#include <cstring>

#include "core/debug_trace.h"
#include "net/http/address_utils.h"

namespace {

// The first wait after a packet goes out may last this many idle polls:
// arming a 1 ms timer for every block costs more than the block itself on
// some systems, while the answer usually comes within microseconds.
const unsigned kAnswerWaitPolls = 10;

const uint8_t* blockBytes(const TftpTransfer* t) {
    return t->imageData + static_cast<size_t>(t->nextBlock - 1) * kTftpBlockSize;
}

// Takes the awaited ACK as received and sends the block after it. True
// when every block has been acknowledged.
bool advance(TftpTransfer* t, const sockaddr_in& to) {
    t->bytesAcknowledged += t->inFlightLength;
    ++t->nextBlock;
    if (t->nextBlock > t->blockCount) return true;
    uint32_t length = t->nextBlock == t->blockCount ? t->lastBlockLength : kTftpBlockSize;
    tftpSendData(t->socket, t->packet, blockBytes(t), length, t->nextBlock, to);
    t->inFlightLength = length;
    debugTrace("Send block %d (%d)\n", t->nextBlock, length);
    return false;
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
    debugTrace("++++size %d, %d, %d\n", t->imageSize, t->lastBlockLength, t->blockCount);
}

TftpResult tftpServeBlocks(TftpTransfer* t, int retryLimit, const TftpTransferHooks& hooks) {
    socketSetNonBlocking(t->socket);

    // A recovery's blocks go to the group, at the requester's port.
    uint32_t destination = t->groupAddress != 0 ? t->groupAddress : t->requesterAddress;
    sockaddr_in to;
    makeSockaddr(destination, t->requesterPort, &to);
    // A client that asked for no options expects block 1 straight away.
    if (t->withOptions) {
        tftpSendOptionAck(t->socket, t->packet, to, t->imageSize);
    } else {
        advance(t, to);
    }
    bool answerDue = true;

    const unsigned periodLimit = static_cast<unsigned>(retryLimit);
    unsigned idlePolls = 0;
    unsigned periods = 0;
    for (;;) {
        sockaddr_in from;
        int got = socketReceiveFrom(t->socket, t->packet, kTftpPacketSize, &from);
        if (got >= 0) {
            uint32_t address = 0;
            uint16_t port = 0;
            readSockaddr(from, &address, &port);
            if (address != t->requesterAddress || port != t->requesterPort) {
                debugTrace("Unknown source request in session: %x:%u", address, port);
            } else if (got >= 4 && tftpGet16(t->packet) == kTftpAck) {
                // Block numbers roll over on the wire; compare the low 16 bits.
                if (tftpGet16(t->packet + 2) != (t->nextBlock & 0xFFFF)) continue;
                idlePolls = 0;
                periods = 0;
                // Answer first: the device sets the pace, the window follows.
                bool done = advance(t, to);
                answerDue = true;
                if (done) return TftpResult::Complete;
                // The answer cannot be there yet: this pass waits for it.
            }
        }
        // Idle: nothing (or nothing useful) arrived. Wait for the socket
        // rather than sleep, so an ACK is answered the moment it comes.
        if (!hooks.tick(hooks.context, t)) return TftpResult::Stopped;
        if (answerDue) {
            // Counted as the polls it spanned when nothing came.
            answerDue = false;
            idlePolls += socketWaitReadable(t->socket, kAnswerWaitPolls) ? 1 : kAnswerWaitPolls;
        } else {
            socketWaitReadable(t->socket, 1);
            ++idlePolls;
        }
        if (idlePolls < kTftpPollsPerPeriod) continue;
        idlePolls = 0;
        answerDue = true;
        if (++periods >= periodLimit) return TftpResult::TimedOut;
        if (t->nextBlock == 0) {
            debugTrace("ReSend option ack\n");
            tftpSendOptionAck(t->socket, t->packet, to, t->imageSize);
        } else {
            debugTrace("ReSend block %d\n", t->nextBlock);
            tftpSendData(t->socket, t->packet, blockBytes(t), t->inFlightLength, t->nextBlock, to);
        }
    }
}
