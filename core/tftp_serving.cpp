#include "core/tftp_serving.h"

#include <new>

#include "core/after_upload.h"
#include "core/debug_trace.h"
#include "core/program_profile.h"
#include "core/run_end.h"
#include "core/run_options.h"
#include "core/run_report.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/tftp/tftp_listener.h"
#include "net/tftp/tftp_transfer.h"
#include "platform/platform_clock.h"
#include "platform/platform_thread.h"
#include "ui/dialog_texts.h"
#include "ui/progress.h"
#include "ui/wizard.h"

namespace {

// The waiting window's bar sweeps once a second.
const unsigned kWaitingSweep = 1000;

const char* stageName() { return gContext.stage.load() == Stage::Transition ? "Transition" : "Target"; }

struct Waiting {
    ProgressView* view;
    uint32_t start;
    int noted;  // the trigger status last shown
    bool cancelled;
};

bool isOfferedName(void*, const char* name) { return gContext.firmwareFileName.equals(name); }

// What the device said to the trigger (or the fetch command), when that is
// the likeliest reason no read request comes; the wait goes on.
void noteTriggerAnswer(Waiting* waiting) {
    int status = gContext.triggerStatus.load();
    if (status == waiting->noted) return;
    waiting->noted = status;
    char note[96];
    if (status < 0)
        copyText(note, sizeof note, "The ORB did not confirm the fetch command");
    else if (status != 0 && (status < 200 || status > 299))
        formatText(note, sizeof note, "The ORB answered the upgrade request with HTTP %d", status);
    else
        return;
    setProgressNote(waiting->view, note);
}

bool waitingTick(void* raw) {
    Waiting* waiting = static_cast<Waiting*>(raw);
    uint32_t elapsed = clockMillis() - waiting->start;
    setProgressPosition(waiting->view, elapsed % kWaitingSweep);
    noteTriggerAnswer(waiting);
    waiting->cancelled = progressCancelled(waiting->view);
    if (waiting->cancelled) return false;
    return gRunOptions.fetchTimeoutMs == 0 || elapsed < gRunOptions.fetchTimeoutMs;
}

TftpRequest awaitRequest(TftpListener* listener, bool withText) {
    Waiting waiting{openProgress(ProgressKind::Waiting), clockMillis(), 0, false};
    setProgressRange(waiting.view, kWaitingSweep);
    setProgressPosition(waiting.view, 0);
    if (withText) setProgressText(waiting.view, kWaitingText);
    TftpRequest request{};
    TftpWaitHooks hooks{&waiting, isOfferedName, waitingTick};
    bool arrived = tftpAwaitRequest(listener, hooks, &request);
    closeProgress(waiting.view);
    if (!arrived) endRun(waiting.cancelled ? RunOutcome::UserAbort : RunOutcome::FetchTimedOut);
    return request;
}

// The upload window follows the acknowledged blocks, once a tick of the
// transfer, so that a fast device is not held up by the window.
struct Upload {
    ProgressView* view;
    unsigned barUnit;  // the bar holds 16-bit values; large images move it in coarser steps
    uint32_t shownBytes;
};

void showUploadProgress(Upload* upload, const TftpTransfer* t) {
    setProgressPosition(upload->view, t->nextBlock / upload->barUnit);
    char title[192];
    if (gProgram->namesStageInTitles) {
        formatText(title, sizeof title, "Uploading %s Firmware to ORB@%s %u/%u Bytes", stageName(), gContext.targetText,
                   t->bytesAcknowledged, t->imageSize);
    } else {
        formatText(title, sizeof title, "Uploading Firmware to ORB@%s %u/%u Bytes", gContext.targetText,
                   t->bytesAcknowledged, t->imageSize);
    }
    setProgressTitle(upload->view, title);
    upload->shownBytes = t->bytesAcknowledged;
}

bool uploadTick(void* raw, const TftpTransfer* t) {
    Upload* upload = static_cast<Upload*>(raw);
    if (t->bytesAcknowledged != upload->shownBytes) {
        showUploadProgress(upload, t);
        reportRunStep(RunReport{RunStep::Transfer, t->requesterAddress, t->requesterPort, 0, t->bytesAcknowledged,
                                t->imageSize, nullptr});
    }
    return !progressCancelled(upload->view);
}

void restartTitle(char* out, size_t size) {
    if (gProgram->namesStageInTitles)
        formatText(out, size, "Updating %s Firmware to ORB@%s", stageName(), gContext.targetText);
    else
        formatText(out, size, "Updating Firmware to ORB@%s", gContext.targetText);
}

int listenThread(void* raw) { tftpListenLoop(static_cast<TftpListener*>(raw)); }

}  // namespace

void tftpStartTransfer(OrbSocket socket, uint32_t groupAddress, uint32_t localAddress, const TftpRequest& request) {
    TftpTransfer* t = new (std::nothrow) TftpTransfer;
    if (!t) endRun(RunOutcome::SessionAllocationFailed);
    const FirmwareImage& image = servedImage();
    const bool finalStage = gContext.stage.load() == Stage::Target;
    tftpPrepareTransfer(t, socket, groupAddress, localAddress, request, image.data, image.size);

    reportRunStep(RunReport{RunStep::TransferStart, request.address, request.port, 0, 0, image.size, nullptr});
    Upload upload{openProgress(ProgressKind::Upload), t->blockCount / 0x10000 + 1, 0};
    setProgressRange(upload.view, t->blockCount / upload.barUnit);
    TftpResult result =
        tftpServeBlocks(t, gProgram->tftpRetryLimit, TftpTransferHooks{&upload, isOfferedName, uploadTick});
    if (result == TftpResult::Stopped) {
        closeProgress(upload.view);
        endRun(RunOutcome::UserAbort);
    }
    if (result == TftpResult::DeviceError) {
        // The device gave up: waiting for it any longer would only end in a time-out.
        char message[192];
        formatText(message, sizeof message, "Upgrade Failed: TFTP error %u from ORB: %s", t->deviceError.code,
                   t->deviceError.text);
        endRun(RunOutcome::TftpDeviceError, message);
    }
    const bool complete = result == TftpResult::Complete;
    if (complete) {
        showUploadProgress(&upload, t);
        reportRunStep(RunReport{RunStep::TransferDone, t->requesterAddress, t->requesterPort, 0, t->bytesAcknowledged,
                                t->imageSize, nullptr});
        debugTrace("All blocks ack'd\n");
    } else {
        debugTrace("Timeout for ack; upgrade failed\n");
        if (gProgram->timeoutEndsRun) endRun(RunOutcome::TftpTimeOut);
    }

    char title[128];
    restartTitle(title, sizeof title);
    waitForReboot(upload.view, rebootWaitTicks(gContext.modelName), title);
    // The device the run is about, whoever fetched.
    checkAfterUpload(gContext.targetAddress, complete, imageVersion(image), finalStage);
    delete t;
}

const FirmwareImage& servedImage() {
    return gContext.stage.load() == Stage::Transition ? gContext.transitionImage : gContext.image;
}

TftpListener* tftpBindListener(uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress) {
    TftpOpenFailure failure;
    TftpListener* listener = tftpOpenListener(localAddress, groupAddress, &failure);
    switch (failure) {
        case TftpOpenFailure::None: listener->deviceAddress = deviceAddress; return listener;
        case TftpOpenFailure::NoMemory: endRun(RunOutcome::ListenerAllocationFailed);
        case TftpOpenFailure::SocketFailed: endRun(RunOutcome::ListenerSocketFailed);
        case TftpOpenFailure::BindFailed: endRun(RunOutcome::ListenerBindFailed);
        case TftpOpenFailure::GroupJoinFailed: showMessageBox("setsockopt", "Error"); return nullptr;
    }
    return nullptr;
}

uint16_t tftpStartListener(uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress) {
    TftpListener* listener = tftpBindListener(localAddress, groupAddress, deviceAddress);
    if (!listener) return 0;
    uint16_t port = listener->port;
    if (!threadStartDetached(listenThread, listener)) endRun(RunOutcome::ListenerThreadFailed);
    return port;
}

void tftpListenLoop(TftpListener* listener) {
    for (bool first = true;; first = false) {
        TftpRequest request = awaitRequest(listener, first);
        tftpStartTransfer(listener->socket, listener->groupAddress, listener->localAddress, request);
        // Only after the transition image: the target's request comes next.
        gContext.stage.store(Stage::Target);
    }
}
