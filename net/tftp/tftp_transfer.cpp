#include "net/tftp/tftp_transfer.h"

#include <cstring>
#include <new>

#include "core/debug_trace.h"
#include "core/device_requests.h"
#include "core/firmware_image.h"
#include "core/program_profile.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/address_utils.h"
#include "net/tftp/reboot_tick.h"
#include "platform/platform_clock.h"
#include "platform/platform_process.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"

namespace {

// Window updates follow the blocks at most this often, so that a fast
// device is not held up by the window.
const uint32_t kRefreshMs = 50;

// The first wait after a packet goes out may last this many idle polls:
// arming a 1 ms timer for every block costs more than the block itself on
// some systems, while the answer usually comes within microseconds.
const unsigned kAnswerWaitPolls = 10;

const char* stageName() { return gContext.stage.load() == 0 ? "Transition" : "Target"; }

const uint8_t* blockBytes(const TftpTransfer* t) {
    return t->imageData + static_cast<size_t>(t->nextBlock - 1) * kTftpBlockSize;
}

bool modelIs(const char* modelName, const char* model) { return std::strncmp(modelName, model, 7) == 0; }

void showUploadProgress(ProgressWindow* window, const TftpTransfer* t, unsigned barUnit) {
    setProgressPosition(window, t->nextBlock / barUnit);
    char title[192];
    if (isOrbstage()) {
        formatText(title, sizeof title, "Uploading %s Firmware to ORB@%s %u/%u Bytes", stageName(),
                   gContext.targetText, t->bytesAcknowledged, t->imageSize);
    } else {
        formatText(title, sizeof title, "Uploading Firmware to ORB@%s %u/%u Bytes", gContext.targetText,
                   t->bytesAcknowledged, t->imageSize);
    }
    setProgressTitle(window, title);
}

}  // namespace

void tftpStartTransfer(OrbSocket socket, uint32_t groupAddress, uint32_t localAddress, uint32_t requesterAddress,
                       uint16_t requesterPort, bool withOptions) {
    TftpTransfer* t = new (std::nothrow) TftpTransfer{};
    if (!t) {
        ShowErrorBox("Upgrade Failed: Can't malloc for TFTP session");
        endProcess();
    }
    const FirmwareImage& image = servedImage();
    t->socket = socket;
    t->groupAddress = groupAddress;
    t->localAddress = localAddress;
    t->requesterAddress = requesterAddress;
    t->requesterPort = requesterPort;
    t->withOptions = withOptions;
    t->imageData = image.data;
    t->imageSize = image.size;
    t->blockCount = image.size / kTftpBlockSize + 1;
    t->lastBlockLength = image.size % kTftpBlockSize;
    debugTrace("++++size %d, %d, %d\n", t->imageSize, t->lastBlockLength, t->blockCount);
    tftpRunTransfer(t);
    delete t;
}

void tftpRunTransfer(TftpTransfer* t) {
    ProgressWindow* window = openProgressWindow(IDD_UPLOAD);
    bool complete = tftpServeBlocks(t, window);
    if (complete) {
        debugTrace("All blocks ack'd\n");
        if (!isOrbstage()) socketClose(t->socket);
    } else {
        debugTrace("Timeout for ack; upgrade failed\n");
        if (!isOrbstage()) {
            socketClose(t->socket);
            ShowErrorBox("Upgrade Failed: TFTP time out");
            endProcess();
        }
    }
    tftpWaitForReboot(window, tftpRebootWaitTicks(gContext.modelName));
    if (!isOrbstage()) {
        tftpCheckFlashUpload(t);
        delete t;
        endProcess();
    }
    bool transition = gContext.stage.load() == 0;
    if (!tftpCheckStageUpload(t, complete) && transition) {
        // The device did not take the transition image: serving it the
        // target image now could leave it unusable.
        endProcess();
    }
}

// Takes the awaited ACK as received and sends the block after it. True
// when every block has been acknowledged.
static bool advance(TftpTransfer* t, const sockaddr_in& to) {
    t->bytesAcknowledged += t->inFlightLength;
    ++t->nextBlock;
    if (t->nextBlock > t->blockCount) return true;
    uint32_t length = t->nextBlock == t->blockCount ? t->lastBlockLength : kTftpBlockSize;
    tftpSendData(t->socket, t->packet, blockBytes(t), length, t->nextBlock, to);
    t->inFlightLength = length;
    debugTrace("Send block %d (%d)\n", t->nextBlock, length);
    return false;
}

bool tftpServeBlocks(TftpTransfer* t, ProgressWindow* window) {
    // The bar holds 16-bit values; larger images move it in coarser steps.
    const unsigned barUnit = t->blockCount / 0x10000 + 1;
    setProgressRange(window, t->blockCount / barUnit);
    socketSetNonBlocking(t->socket);

    uint32_t destination = t->requesterAddress;
    if (!isOrbstage() && t->groupAddress != 0) destination = t->groupAddress;
    sockaddr_in to;
    makeSockaddr(destination, t->requesterPort, &to);
    // A client that asked for no options expects block 1 straight away.
    if (t->withOptions) {
        tftpSendOptionAck(t->socket, t->packet, to, t->imageSize);
    } else {
        advance(t, to);
    }
    bool answerDue = true;

    const unsigned retryLimit = static_cast<unsigned>(gProgram->tftpRetryLimit);
    unsigned idlePolls = 0;
    unsigned periods = 0;
    bool refreshed = false;
    uint32_t lastRefresh = 0;
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
                uint32_t now = clockMillis();
                if (done || !refreshed || now - lastRefresh >= kRefreshMs) {
                    showUploadProgress(window, t, barUnit);
                    refreshed = true;
                    lastRefresh = now;
                }
                if (done) return true;
                // The answer cannot be there yet: this pass waits for it.
            }
        }
        // Idle: nothing (or nothing useful) arrived. Wait for the socket
        // rather than sleep, so an ACK is answered the moment it comes.
        pumpProgressMessage(window);
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
        if (++periods >= retryLimit) return false;
        if (t->nextBlock == 0) {
            debugTrace("ReSend option ack\n");
            tftpSendOptionAck(t->socket, t->packet, to, t->imageSize);
        } else {
            debugTrace("ReSend block %d\n", t->nextBlock);
            tftpSendData(t->socket, t->packet, blockBytes(t), t->inFlightLength, t->nextBlock, to);
        }
    }
}

unsigned tftpRebootWaitTicks(const char* modelName) {
    for (int i = 0; i < gProgram->rebootWaitCount; ++i) {
        if (modelIs(modelName, gProgram->rebootWaits[i].model)) return gProgram->rebootWaits[i].ticks;
    }
    return gProgram->otherRebootWait;
}

void tftpWaitForReboot(ProgressWindow* window, unsigned ticks) {
    // The divided clock wraps with the millisecond clock.
    const uint64_t wrap = 0xFFFFFFFFull / kRebootTickMs + 1;
    const uint64_t start = clockMillis() / kRebootTickMs;
    setProgressRange(window, ticks);
    setProgressPosition(window, 0);
    char title[128];
    if (isOrbstage()) {
        formatText(title, sizeof title, "Updating %s Firmware to ORB@%s", stageName(), gContext.targetText);
    } else {
        formatText(title, sizeof title, "Updating Firmware to ORB@%s", gContext.targetText);
    }
    setProgressTitle(window, title);
    for (;;) {
        uint64_t now = clockMillis() / kRebootTickMs;
        if (now < start) now += wrap;
        setProgressPosition(window, static_cast<unsigned>(now - start));
        pumpProgressMessages(window);
        if (now >= start + ticks) break;
        sleepMillis(kRebootTickMs);
    }
    destroyProgressWindow(window);
}

int tftpSuccessDialog(const char* modelName) {
    for (int i = 0; i < gProgram->successVariantModelCount; ++i) {
        if (modelIs(modelName, gProgram->successVariantModels[i])) return IDD_SUCCESS_VARIANT;
    }
    return IDD_SUCCESS;
}

void tftpCheckFlashUpload(const TftpTransfer* t) {
    if (readStatusPage(t->requesterAddress) <= 0) {
        ShowErrorBox("Upgrade Failed: ORB not responding after firmware upload");
        return;
    }
    showDialog(tftpSuccessDialog(gContext.modelName));
}

bool tftpCheckStageUpload(const TftpTransfer* t, bool complete) {
    if (!complete) {
        ShowErrorBox("Upgrade Failed: Firmware Upload Incomplete");
        return false;
    }
    int got = 0;
    for (int attempt = 0; attempt < 10 && got <= 0; ++attempt) got = readStatusPage(t->requesterAddress);
    if (got <= 0) {
        // Ending without a word would leave the user guessing whether the
        // device took its image.
        ShowErrorBox("Upgrade Failed: ORB not responding after firmware upload");
        return false;
    }
    const char* served = imageVersion(servedImage());
    debugTrace("[%d]%s %s\n", gContext.stage.load(), served, gContext.deviceFacts.softwareVersion);
    if (gContext.isPhone != 1 && std::strcmp(served, gContext.deviceFacts.softwareVersion) != 0) {
        ShowErrorBox("Upgrade Failed: Version not matching");
        return false;
    }
    if (gContext.stage.load() != 0) showDialog(tftpSuccessDialog(gContext.modelName));
    return true;
}
