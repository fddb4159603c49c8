#include "net/recovery/recovery_discovery.h"

#include <cstring>

#include "base/text.h"
#include "net/address_utils.h"
#include "platform/platform_clock.h"
#include "platform/platform_socket.h"

namespace {

const int kSendCycles = 5;
const int kReceiveTries = 5;
const unsigned kReceiveWaitMs = 500;
// Bounds one poll's reading, so that a flood cannot keep the ticks (and
// Cancel) away; far more than the socket's buffer holds at once.
const int kMostReadsPerPoll = 1024;

// "<what> Error: <code>" in a plain box captioned "Error".
void reportSocketError(const RecoveryHooks& hooks, const char* what) {
    char text[128];
    formatText(text, sizeof text, "%s Error: %d", what, socketLastError());
    hooks.report(hooks.context, text, "Error");
}

// A failed set-up leaves no half-made socket behind: a later exchange
// would otherwise block on a socket that never became non-blocking.
bool failSetUp(OrbSocket& recoverySocket, const RecoveryHooks& hooks, const char* what) {
    reportSocketError(hooks, what);
    socketClose(recoverySocket);
    recoverySocket = kInvalidSocket;
    return false;
}

bool openRecoverySocket(OrbSocket& recoverySocket, uint32_t localAddress, const RecoveryHooks& hooks) {
    recoverySocket = socketOpenUdp();
    if (recoverySocket == kInvalidSocket) {
        reportSocketError(hooks, "Allocating socket failed!");
        return false;
    }
    if (!socketSetNonBlocking(recoverySocket)) return failSetUp(recoverySocket, hooks, "Set socket Non-blocking failed!");
    sockaddr_in local;
    makeSockaddr(localAddress, kRecoveryAnswerPort, &local);
    // Answers may come to our address or to the group.
    if (!socketBindForGroup(recoverySocket, local)) return failSetUp(recoverySocket, hooks, "Binding socket failed!");
    if (!socketJoinGroup(recoverySocket, kRecoveryGroup, localAddress)) return failSetUp(recoverySocket, hooks, "setsockopt failed!");
    return true;
}

// Waits waitMs in slices of the tick; false when a tick said stop.
bool waitTicking(unsigned waitMs, const RecoveryHooks& hooks) {
    for (unsigned waited = 0; waited < waitMs;) {
        unsigned slice = waitMs - waited < kRecoveryTickMs ? waitMs - waited : kRecoveryTickMs;
        sleepMillis(slice);
        waited += slice;
        if (!hooks.tick(hooks.context)) return false;
    }
    return true;
}

// Reads what is waiting until the socket is empty or an answer to request
// arrives (copied to answer). No request: everything is dropped.
bool readWaiting(OrbSocket recoverySocket, const RecoveryRequest* request, uint8_t* answer) {
    for (int read = 0; read < kMostReadsPerPoll; ++read) {
        uint8_t datagram[kRecoveryAnswerSize];
        // A longer datagram does not fit: it is dropped (kRecvTooBig).
        int got = socketReceiveFrom(recoverySocket, datagram, static_cast<int>(sizeof datagram), nullptr);
        if (got == kRecvNothing) return false;
        if (request && recoveryAnswerMatches(*request, datagram, got)) {
            std::memcpy(answer, datagram, kRecoveryAnswerSize);
            return true;
        }
    }
    return false;
}

}  // namespace

int recoveryExchange(RecoveryChannel* channel, const RecoveryRequest* request, uint8_t* answer, uint32_t localAddress,
                     const RecoveryHooks& hooks) {
    OrbSocket& recoverySocket = channel->socket;
    if (recoverySocket == kInvalidSocket && !openRecoverySocket(recoverySocket, localAddress, hooks)) return 0;
    RecoveryRequest outgoing = *request;
    std::memcpy(outgoing.bytes + 4, "RECM", 4);
    sockaddr_in group;
    makeSockaddr(kRecoveryGroup, kRecoveryRequestPort, &group);
    // Left over from an earlier request (a second answer to the search):
    // taken now, it would stand for an answer to this one. Each poll below
    // empties the socket, so later sends need no drain of their own.
    readWaiting(recoverySocket, nullptr, nullptr);
    for (int cycle = 0; cycle < kSendCycles; ++cycle) {
        if (socketSendTo(recoverySocket, outgoing.bytes, kRecoveryRequestSize, group) !=
            static_cast<int>(kRecoveryRequestSize)) {
            hooks.report(hooks.context, "Sending error", "error");
            continue;
        }
        for (int attempt = 0; attempt < kReceiveTries; ++attempt) {
            if (!waitTicking(kReceiveWaitMs, hooks)) return 0;
            if (readWaiting(recoverySocket, &outgoing, answer)) return 1;
        }
    }
    return 0;
}

void recoveryClose(RecoveryChannel* channel) {
    if (channel->socket == kInvalidSocket) return;
    socketShutdownReceive(channel->socket);
    socketClose(channel->socket);
    channel->socket = kInvalidSocket;
}
