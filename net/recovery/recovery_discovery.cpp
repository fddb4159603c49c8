#include "net/recovery/recovery_discovery.h"

#include <cstring>

#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/address_utils.h"
#include "platform/platform_clock.h"
#include "platform/platform_socket.h"
#include "ui/front_end.h"

namespace {

const int kSendCycles = 5;
const int kReceiveTries = 5;
const unsigned kReceiveWaitMs = 500;
const unsigned kProgressTimerId = 1000;
const unsigned kProgressTimerMs = 100;

// The run's one recovery socket and the search's bar position.
OrbSocket recoverySocket = kInvalidSocket;
unsigned progressCounter = 0;

// "<what> Error: <code>" in a plain box captioned "Error".
void reportSocketError(const char* what) {
    char text[128];
    formatText(text, sizeof text, "%s Error: %d", what, socketLastError());
    showMessageBox(text, "Error");
}

// A failed set-up leaves no half-made socket behind: a later exchange
// would otherwise block on a socket that never became non-blocking.
bool failSetUp(const char* what) {
    reportSocketError(what);
    socketClose(recoverySocket);
    recoverySocket = kInvalidSocket;
    return false;
}

bool openRecoverySocket(uint32_t localAddress) {
    recoverySocket = socketOpenUdp();
    if (recoverySocket == kInvalidSocket) {
        reportSocketError("Allocating socket failed!");
        return false;
    }
    if (!socketSetNonBlocking(recoverySocket)) return failSetUp("Set socket Non-blocking failed!");
    sockaddr_in local;
    makeSockaddr(localAddress, kRecoveryAnswerPort, &local);
    // Answers may come to our address or to the group.
    if (!socketBindForGroup(recoverySocket, local)) return failSetUp("Binding socket failed!");
    if (!socketJoinGroup(recoverySocket, kRecoveryGroup, localAddress)) return failSetUp("setsockopt failed!");
    return true;
}

}  // namespace

int recoveryExchange(const RecoveryRequest* request, uint8_t* answer, uint32_t localAddress) {
    if (recoverySocket == kInvalidSocket && !openRecoverySocket(localAddress)) return 0;
    RecoveryRequest outgoing = *request;
    std::memcpy(outgoing.bytes + 4, "RECM", 4);
    sockaddr_in group;
    makeSockaddr(kRecoveryGroup, kRecoveryRequestPort, &group);
    for (int cycle = 0; cycle < kSendCycles; ++cycle) {
        if (socketSendTo(recoverySocket, outgoing.bytes, kRecoveryRequestSize, group) !=
            static_cast<int>(kRecoveryRequestSize)) {
            showMessageBox("Sending error", "error");
            continue;
        }
        for (int attempt = 0; attempt < kReceiveTries; ++attempt) {
            sleepMillis(kReceiveWaitMs);
            // Anything but exactly 100 bytes is not an answer; a longer one
            // does not fit and is dropped.
            if (socketReceiveFrom(recoverySocket, answer, kRecoveryAnswerSize, nullptr) ==
                static_cast<int>(kRecoveryAnswerSize))
                return 1;
        }
    }
    return 0;
}

void recoveryClose() {
    if (recoverySocket == kInvalidSocket) return;
    socketShutdownReceive(recoverySocket);
    socketClose(recoverySocket);
    recoverySocket = kInvalidSocket;
}

void recoveryProgressTick(ProgressWindow* window) {
    if (++progressCounter > 100) progressCounter = 0;
    setProgressPosition(window, progressCounter);
}

int recoverySearchThread(ProgressWindow* window) {
    RecoveryRequest request;
    makeSearchRequest(&request, gContext.recoverySerial);
    startProgressTimer(window, kProgressTimerId, kProgressTimerMs, recoveryProgressTick);
    int found = recoveryExchange(&request, gContext.recoveryReply, gContext.localAddress);
    stopProgressTimer(window, kProgressTimerId);
    sendProgressCommand(window, found ? kCommandOk : kCommandCancel);
    return 1;
}
