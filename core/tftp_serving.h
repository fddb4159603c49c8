// Serving the image: the TFTP listener's thread with its waiting window,
// each transfer with its upload window, and what follows the upload.
#pragma once

#include <cstdint>

#include "core/firmware_image.h"

#include "net/tftp/tftp_listener.h"

// Binds the listener, joining the group (host order) when not 0; only the
// device at deviceAddress will be served. Ends the run on a failure, except
// that a group it cannot join is reported with its own box and gives null.
TftpListener* tftpBindListener(uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress);

// tftpBindListener, then the listener's own thread; the port, or 0 when the
// group could not be joined (then no thread runs).
uint16_t tftpStartListener(uint32_t localAddress, uint32_t groupAddress, uint32_t deviceAddress);

// The listener thread: waits for the expected read request and serves it,
// once per stage (within gRunOptions.fetchTimeoutMs, when set). Does not
// return: the run ends from here.
[[noreturn]] void tftpListenLoop(TftpListener* listener);

// One stage over the listener's socket: the transfer, the restart wait and
// the check. Returns only after a transition image the device took.
void tftpStartTransfer(OrbSocket socket, uint32_t groupAddress, uint32_t localAddress, const TftpRequest& request);

// The image the TFTP side serves now: the transition image while the stage
// is Transition (orbstage), the target image otherwise.
const FirmwareImage& servedImage();
