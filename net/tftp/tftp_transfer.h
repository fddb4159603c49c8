// One served read request: the image block by block in lock-step, then the
// wait for the device's restart and the check that it came back.
#pragma once

#include <cstdint>

#include "net/tftp/tftp_packets.h"
#include "platform/platform_socket.h"

struct ProgressWindow;

struct TftpTransfer {
    uint8_t packet[kTftpPacketSize];  // receive area, and where OACK and DATA are built
    uint32_t localAddress;
    uint32_t requesterAddress;
    uint32_t groupAddress;  // orbflash recovery: DATA goes to the group; 0 otherwise
    uint16_t requesterPort;
    OrbSocket socket;
    uint32_t nextBlock;  // whose ACK is awaited; 0 while the OACK is unanswered
    uint32_t imageSize;
    uint32_t blockCount;  // size / 512 + 1: the last block is short, maybe empty
    uint32_t bytesAcknowledged;
    uint32_t lastBlockLength;
    uint32_t inFlightLength;
    const uint8_t* imageData;
    bool withOptions;  // the request carried options: answer with the OACK
};

// Idle polls that make one retransmission period.
const unsigned kTftpPollsPerPeriod = 100;

// orbflash: never returns. orbstage: returns to the listener.
void tftpStartTransfer(OrbSocket socket, uint32_t groupAddress, uint32_t localAddress, uint32_t requesterAddress,
                       uint16_t requesterPort, bool withOptions = true);
void tftpRunTransfer(TftpTransfer* transfer);

// The steps of a run, in order.
// True when every block was acknowledged; false after the retry limit.
bool tftpServeBlocks(TftpTransfer* transfer, ProgressWindow* window);
// In reboot ticks, by the first 7 characters of the model name.
unsigned tftpRebootWaitTicks(const char* modelName);
// Follows the restart on the upload window, then destroys it.
void tftpWaitForReboot(ProgressWindow* window, unsigned ticks);
// IDD_SUCCESS or IDD_SUCCESS_VARIANT.
int tftpSuccessDialog(const char* modelName);
// orbflash: one status read, then the success dialog or the error box.
void tftpCheckFlashUpload(const TftpTransfer* transfer);
// orbstage: false when an error box was shown.
bool tftpCheckStageUpload(const TftpTransfer* transfer, bool complete);
