// One served read request: the image block by block in lock-step, one
// block in flight, retransmitted on silence, up to a retry limit.
#pragma once

#include <cstdint>

#include "net/tftp/tftp_listener.h"
#include "net/tftp/tftp_packets.h"
#include "platform/platform_socket.h"

struct TftpTransfer {
    uint8_t packet[kTftpPacketSize];  // receive area, and where OACK and DATA are built
    uint32_t localAddress;
    uint32_t requesterAddress;
    uint32_t groupAddress;  // recovery: DATA goes to the group; 0 otherwise
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

enum class TftpResult { Complete, TimedOut, Stopped };

struct TftpTransferHooks {
    void* context;
    // After each acknowledged block and on every idle pass; false stops the
    // transfer.
    bool (*tick)(void* context, const TftpTransfer* transfer);
};

// Fills the record to serve imageData to the requester over the listener's socket.
void tftpPrepareTransfer(TftpTransfer* transfer, OrbSocket socket, uint32_t groupAddress, uint32_t localAddress,
                         const TftpRequest& request, const uint8_t* imageData, uint32_t imageSize);

// Serves every block; TimedOut after retryLimit periods in a row without
// the awaited acknowledgement.
TftpResult tftpServeBlocks(TftpTransfer* transfer, int retryLimit, const TftpTransferHooks& hooks);
