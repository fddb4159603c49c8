// Serving the image: the TFTP listener's thread with its waiting view, each
// transfer with its upload view, and what follows the upload.
#pragma once

#include <cstdint>

#include "base/firmware_image.h"
#include "core/run.h"
#include "net/tftp/tftp_listener.h"
#include "platform/platform_thread.h"

// Binds the listener, joining the group (host order) when not 0; only the
// device at deviceAddress will be served. Stops the run on a failure, except
// that a group it cannot join is reported with its own box and gives null.
TftpListener* tftpBindListener(Run& run, uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress);

// The listener's thread, which ends the run: the flow starts it, goes on
// (the trigger, a staged run's second trigger) and then waits for it.
class Serving {
public:
    explicit Serving(Run& run) : run_(run) {}
    // Waits for the thread: a run stopped on this side ends it within a tick.
    ~Serving();
    Serving(const Serving&) = delete;
    Serving& operator=(const Serving&) = delete;

    // tftpBindListener, then the listener's thread; the port, or 0 when the
    // group could not be joined (then no thread runs).
    uint16_t start(uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress);
    // Whether the thread has ended the run; waits at most waitMs.
    bool ended(unsigned waitMs);
    // Waits for the thread, then carries its outcome up this thread.
    [[noreturn]] void finish();

private:
    static int threadBody(void* self);
    Run& run_;
    TftpListener* listener_ = nullptr;
    OrbThread* thread_ = nullptr;
};

// The listener's loop: waits for the expected read request and serves it,
// once per stage (within the run's fetchTimeoutMs, when set). Does not
// return: the run stops here.
[[noreturn]] void tftpListenLoop(Run& run, TftpListener* listener);

// One stage over the listener's socket: the transfer, the restart wait and
// the check. Returns only after a transition image the device took.
void tftpStartTransfer(Run& run, OrbSocket socket, uint32_t groupAddress, uint32_t localAddress,
                       const TftpRequest& request);

// The image the TFTP side serves now: the transition image while the stage
// is Transition (orbstage), the target image otherwise.
const FirmwareImage& servedImage(const Run& run);
