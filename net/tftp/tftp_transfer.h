// One served read request: the image block by block in lock-step, one
// block in flight, sent again after each silent period, up to a limit of
// periods in a row. Only the device the run is about is served.
#pragma once

#include <cstdint>

#include "net/tftp/tftp_listener.h"
#include "net/tftp/tftp_packets.h"
#include "platform/platform_socket.h"

// How long the awaited answer may take before the packet goes out again,
// and how often the caller hears from a transfer that waits.
const uint32_t kTftpPeriodMs = 100;
const uint32_t kTftpTickMs = 50;

struct TftpTransfer {
    uint8_t packet[kTftpPacketSize];  // receive area, and where outgoing packets are built
    uint32_t localAddress;
    uint32_t requesterAddress;
    uint32_t groupAddress;  // recovery: DATA goes to the group; 0 otherwise
    uint16_t requesterPort;
    OrbSocket socket;
    uint32_t nextBlock;  // whose ACK is awaited; 0 while the OACK is unanswered
    uint32_t imageSize;
    uint32_t blockCount;  // size / 512 + 1: the last block is short, maybe empty
    uint32_t bytesAcknowledged;
    // How far the image went out in DATA blocks, acknowledged or not; kept
    // when the device asks again. 0: no byte of it left here.
    uint32_t bytesSent;
    uint32_t lastBlockLength;
    uint32_t inFlightLength;
    const uint8_t* imageData;
    bool withOptions;             // the request carried options: answer with the OACK
    TftpErrorReport deviceError;  // what the device's ERROR said, once it sent one
    uint32_t lastRefusalMs;       // when an ERROR last went to a stranger
};

enum class TftpResult { Complete, TimedOut, Stopped, DeviceError };

// What one datagram did to a transfer.
enum class TftpEvent {
    Ignored,      // nothing, or a stranger was refused
    Advanced,     // the awaited ACK: the next block went out
    Completed,    // the last block's ACK
    DeviceError,  // the device sent ERROR; deviceError holds it
    Restarted,    // the device asked again from a new port: served from the start
};

// Where packets go, so that the rules below can run without a socket.
struct TftpWire {
    void* context;
    void (*send)(void* context, const uint8_t* packet, int length, uint32_t address, uint16_t port);
};

// Whether a requested name is the one on offer.
typedef bool (*TftpNameCheck)(void* context, const char* name);

struct TftpTransferHooks {
    void* context;
    TftpNameCheck isExpectedName;
    // Every kTftpTickMs, whatever arrives; false stops the transfer.
    bool (*tick)(void* context, const TftpTransfer* transfer);
};

// Fills the record to serve imageData to the requester over the listener's socket.
void tftpPrepareTransfer(TftpTransfer* transfer, OrbSocket socket, uint32_t groupAddress, uint32_t localAddress,
                         const TftpRequest& request, const uint8_t* imageData, uint32_t imageSize);

// The first packet: the OACK, or block 1 for a request without options.
void tftpBeginTransfer(TftpTransfer* transfer, const TftpWire& wire);
// Sends again what is in flight (the OACK or the last block).
void tftpResend(TftpTransfer* transfer, const TftpWire& wire);
// One datagram from fromAddress:fromPort. The awaited ACK moves on; the
// device's ERROR ends the transfer; a new read request from the device's
// own address starts it again for its new port; strangers get an ERROR.
TftpEvent tftpTakeDatagram(TftpTransfer* transfer, const uint8_t* datagram, int length, uint32_t fromAddress,
                           uint16_t fromPort, uint32_t nowMs, TftpNameCheck isExpectedName, void* nameContext,
                           const TftpWire& wire);

// Serves every block over the socket; TimedOut after retryLimit periods in
// a row without the awaited answer. Time is measured on the clock: datagrams
// that are not the awaited one cost none.
TftpResult tftpServeBlocks(TftpTransfer* transfer, int retryLimit, const TftpTransferHooks& hooks);
