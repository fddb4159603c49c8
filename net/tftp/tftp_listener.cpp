#include "net/tftp/tftp_listener.h"

#include <cstring>
#include <new>

#include "core/debug_trace.h"
#include "core/firmware_file_name.h"
#include "core/program_profile.h"
#include "core/upgrade_context.h"
#include "net/http/address_utils.h"
#include "net/tftp/tftp_transfer.h"
#include "platform/platform_process.h"
#include "platform/platform_thread.h"
#include "ui/dialog_texts.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"

namespace {

const unsigned kWaitingSweep = 1000;

ProgressWindow* openWaitingWindow(bool withText) {
    ProgressWindow* window = openProgressWindow(IDD_WAITING);
    setProgressRange(window, kWaitingSweep);
    setProgressPosition(window, 0);
    if (withText) {
        setProgressText(window, isOrbstage() ? IDC_STAGE_WAITING_TEXT : IDC_FLASH_WAITING_TEXT, kWaitingText);
    }
    return window;
}

[[noreturn]] void failListener(const char* message) {
    ShowErrorBox(message);
    endProcess();
}

int listenThread(void* raw) {
    tftpListenLoop(static_cast<TftpListener*>(raw));
    return 0;
}

// Whether the read request in the area names the expected file. The name
// must end inside the datagram; anything else is not the expected one.
bool isExpectedRequest(const uint8_t* area, int length) {
    const char* name = reinterpret_cast<const char*>(area + 2);
    const void* end = std::memchr(name, '\0', static_cast<size_t>(length - 2));
    if (!end) {
        debugTrace("+++ Bad TFTP RRQ filename (unterminated)\n");
        return false;
    }
    if (isOrbstage()) debugTrace("%s %s\n", gContext.firmwareFileName, name);
    if (firmwareFileNameIs(name)) return true;
    debugTrace("+++ Bad TFTP RRQ filename %s\n", name);
    return false;
}

}  // namespace

uint16_t tftpStartListener(uint32_t localAddress, const char* group) {
    TftpListener* listener = new (std::nothrow) TftpListener{};
    if (!listener) failListener("Upgrade Failed: Can't malloc for TFTP listener");
    listener->socket = socketOpenUdp();
    if (listener->socket == kInvalidSocket) failListener("Upgrade Failed: Can't create TFTP listener socket");

    uint16_t port = kTftpFirstPort;
    for (int failures = 0;;) {
        sockaddr_in local;
        makeSockaddr(localAddress, port, &local);
        bool bound = group ? socketBindForGroup(listener->socket, local) : socketBind(listener->socket, local);
        if (bound) break;
        if (++failures >= kTftpBindAttempts) failListener("Upgrade Failed: Can't bind TFTP listener socket");
        ++port;
    }

    if (group) {
        uint32_t groupAddress = 0;
        if (!parseDottedQuad(group, &groupAddress) ||
            !socketJoinGroup(listener->socket, groupAddress, localAddress)) {
            showMessageBox("setsockopt", "Error");
            socketClose(listener->socket);
            delete listener;
            return 0;
        }
        listener->groupAddress = groupAddress;
    }
    listener->localAddress = localAddress;
    listener->port = port;
    if (!threadStartDetached(listenThread, listener)) failListener("Upgrade Failed: Can't start TFTP listener");
    return port;
}

void tftpListenLoop(TftpListener* listener) {
    ProgressWindow* window = openWaitingWindow(true);
    socketSetNonBlocking(listener->socket);
    unsigned position = 0;
    for (;;) {
        sockaddr_in from;
        int got = socketReceiveFrom(listener->socket, listener->receiveArea, kTftpPacketSize, &from);
        if (got >= 2) {
            switch (tftpGet16(listener->receiveArea)) {
                case kTftpReadRequest: {
                    uint32_t address = 0;
                    uint16_t port = 0;
                    readSockaddr(from, &address, &port);
                    if (!isExpectedRequest(listener->receiveArea, got)) break;
                    destroyProgressWindow(window);
                    tftpStartTransfer(listener->socket, listener->groupAddress, listener->localAddress, address,
                                      port, tftpRequestHasOptions(listener->receiveArea, got));
                    // Only orbstage comes back here.
                    if (gContext.stage.load() == 1) {
                        socketClose(listener->socket);
                        endProcess();
                    }
                    gContext.stage.store(1);
                    window = openWaitingWindow(false);
                    position = 0;
                    break;
                }
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
        position = position + 1 >= kWaitingSweep ? 0 : position + 1;
        setProgressPosition(window, position);
        pumpProgressMessages(window);
    }
}
