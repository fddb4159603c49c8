#include "core/tftp_serving.h"

#include <memory>
#include <new>

#include "base/debug_trace.h"
#include "base/text.h"
#include "core/after_upload.h"
#include "net/tftp/tftp_transfer.h"
#include "platform/platform_clock.h"

namespace {

// What the listener's hooks see: the run and the view of the wait.
struct Watch {
    Run& run;
    OpenView& view;
    uint32_t start = 0;       // the wait's start
    bool cancelled = false;   // the wait ended by Cancel
    uint32_t shownBytes = 0;  // the transfer's, as last shown
    uint64_t sentBefore = 0;  // image bytes sent by the run's earlier transfers
};

// Kept current once a tick and at the transfer's end, before the run can stop.
void noteBytesSent(Watch* watch, const TftpTransfer* t) {
    watch->run.context().imageBytesSent.store(watch->sentBefore + t->bytesSent);
}

bool isOfferedName(void* raw, const char* name) {
    return static_cast<Watch*>(raw)->run.context().firmwareFileName.equals(name);
}

bool waitingTick(void* raw) {
    Watch* watch = static_cast<Watch*>(raw);
    uint32_t elapsed = clockMillis() - watch->start;
    // With the trigger's answer, which may explain why no request comes.
    watch->view.step(RunStep{.kind = StepKind::WaitTick, .status = watch->run.context().triggerStatus.load(),
                             .done = elapsed});
    watch->cancelled = watch->view.cancelled();
    if (watch->cancelled) return false;
    const uint32_t limit = watch->run.options().fetchTimeoutMs;
    return limit == 0 || elapsed < limit;
}

TftpRequest awaitRequest(Run& run, TftpListener* listener, bool first) {
    OpenView view(run, first ? ViewKind::AwaitFetch : ViewKind::AwaitNextFetch);
    Watch watch{run, view, clockMillis()};
    TftpRequest request{};
    bool arrived = tftpAwaitRequest(listener, TftpWaitHooks{&watch, isOfferedName, waitingTick}, &request);
    view.close();
    if (!arrived) run.stop(watch.cancelled ? RunOutcome::UserAbort : RunOutcome::FetchTimedOut);
    return request;
}

RunStep transferStep(StepKind kind, const TftpTransfer* t) {
    return RunStep{.kind = kind,
                   .address = t->requesterAddress,
                   .port = t->requesterPort,
                   .done = t->bytesAcknowledged,
                   .total = t->imageSize,
                   .block = t->nextBlock,
                   .blockCount = t->blockCount};
}

// The upload view follows the acknowledged blocks, once a tick of the
// transfer, so that a fast device is not held up by the view.
bool uploadTick(void* raw, const TftpTransfer* t) {
    Watch* watch = static_cast<Watch*>(raw);
    noteBytesSent(watch, t);
    if (t->bytesAcknowledged != watch->shownBytes) {
        watch->view.step(transferStep(StepKind::Transfer, t));
        watch->shownBytes = t->bytesAcknowledged;
    }
    return !watch->view.cancelled();
}

}  // namespace

const FirmwareImage& servedImage(const Run& run) {
    const UpgradeContext& c = run.context();
    return c.stage.load() == Stage::Transition ? c.transitionImage : c.image;
}

void tftpStartTransfer(Run& run, OrbSocket socket, uint32_t groupAddress, uint32_t localAddress,
                       const TftpRequest& request) {
    std::unique_ptr<TftpTransfer> t(new (std::nothrow) TftpTransfer);
    if (!t) run.stop(RunOutcome::SessionAllocationFailed);
    const FirmwareImage& image = servedImage(run);
    const bool finalStage = run.context().stage.load() == Stage::Target;
    tftpPrepareTransfer(t.get(), socket, groupAddress, localAddress, request, image.data, image.size);

    OpenView view(run, ViewKind::Upload);
    view.step(transferStep(StepKind::TransferStart, t.get()));
    Watch watch{run, view};
    watch.sentBefore = run.context().imageBytesSent.load();
    TftpResult result =
        tftpServeBlocks(t.get(), run.profile().tftpRetryLimit, TftpTransferHooks{&watch, isOfferedName, uploadTick});
    noteBytesSent(&watch, t.get());
    if (result == TftpResult::Stopped) {
        view.close();
        run.stop(RunOutcome::UserAbort);
    }
    if (result == TftpResult::DeviceError) {
        // The device gave up: waiting for it any longer would only end in a time-out.
        char message[192];
        formatText(message, sizeof message, "Upgrade Failed: TFTP error %u from ORB: %s", t->deviceError.code,
                   t->deviceError.text);
        run.stop(RunOutcome::TftpDeviceError, message);
    }
    const bool complete = result == TftpResult::Complete;
    if (complete) {
        view.step(transferStep(StepKind::TransferDone, t.get()));
        debugTrace("All blocks ack'd\n");
    } else {
        debugTrace("Timeout for ack; upgrade failed\n");
        if (run.profile().timeoutEndsRun) run.stop(RunOutcome::TftpTimeOut);
    }

    afterUpload(run, view, complete, imageVersion(image), finalStage);
}

TftpListener* tftpBindListener(Run& run, uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress) {
    TftpOpenFailure failure;
    TftpListener* listener = tftpOpenListener(localAddress, groupAddress, &failure);
    switch (failure) {
        case TftpOpenFailure::None: listener->deviceAddress = deviceAddress; return listener;
        case TftpOpenFailure::NoMemory: run.stop(RunOutcome::ListenerAllocationFailed);
        case TftpOpenFailure::SocketFailed: run.stop(RunOutcome::ListenerSocketFailed);
        case TftpOpenFailure::BindFailed: run.stop(RunOutcome::ListenerBindFailed);
        case TftpOpenFailure::GroupJoinFailed: run.frontEnd().showMessage(run, "setsockopt", "Error"); return nullptr;
    }
    return nullptr;
}

void tftpListenLoop(Run& run, TftpListener* listener) {
    for (bool first = true;; first = false) {
        TftpRequest request = awaitRequest(run, listener, first);
        tftpStartTransfer(run, listener->socket, listener->groupAddress, listener->localAddress, request);
        // Only after the transition image: the target's request comes next.
        run.context().stage.store(Stage::Target);
    }
}

int Serving::threadBody(void* raw) {
    Serving* serving = static_cast<Serving*>(raw);
    try {
        tftpListenLoop(serving->run_, serving->listener_);
    } catch (const RunStopped&) {
    }
    return 0;
}

uint16_t Serving::start(uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress) {
    listener_ = tftpBindListener(run_, localAddress, groupAddress, deviceAddress);
    if (!listener_) return 0;
    thread_ = threadStart(threadBody, this);
    if (!thread_) run_.stop(RunOutcome::ListenerThreadFailed);
    return listener_->port;
}

bool Serving::ended(unsigned waitMs) { return !thread_ || threadWaitEnded(thread_, waitMs); }

void Serving::finish() {
    if (thread_) {
        threadRelease(thread_);
        thread_ = nullptr;
    }
    run_.stop(run_.outcome());
}

Serving::~Serving() {
    if (thread_) threadRelease(thread_);
    if (listener_) tftpCloseListener(listener_);
}
