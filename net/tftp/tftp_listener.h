// The TFTP server's front door: binds from port 69 upward and waits for the
// one expected read request. What to show meanwhile and when to stop is the
// caller's, through the hooks.
#pragma once

#include <cstdint>

#include "net/tftp/tftp_packets.h"
#include "platform/platform_socket.h"

const uint16_t kTftpFirstPort = 69;
const int kTftpBindAttempts = 100;  // ports 69 to 168
// Datagrams read in one round at most, so that a flood cannot keep the
// caller's tick (and Cancel) away.
const int kTftpMostReadsPerRound = 1024;

struct TftpListener {
    uint32_t localAddress;
    uint16_t port;
    OrbSocket socket;
    uint8_t receiveArea[kTftpPacketSize];
    uint32_t groupAddress;   // the multicast group joined (recovery); 0 otherwise
    uint32_t deviceAddress;  // the one host served; 0 serves any
};

enum class TftpOpenFailure { None, NoMemory, SocketFailed, BindFailed, GroupJoinFailed };

// Binds the first free port from 69 (on the local address; 0 means any) and,
// with a group (host order, 0 for none), joins it on the local interface.
// Null with *failure set when that cannot be done.
TftpListener* tftpOpenListener(uint32_t localAddress, uint32_t groupAddress, TftpOpenFailure* failure);
void tftpCloseListener(TftpListener* listener);

struct TftpWaitHooks {
    void* context;
    // Whether a requested name is the one on offer.
    bool (*isExpectedName)(void* context, const char* name);
    // Called every 50 ms while the listener waits; false ends the wait.
    bool (*tick)(void* context);
};

struct TftpRequest {
    uint32_t address;  // host order
    uint16_t port;
    bool withOptions;  // the request carried options: answer with the OACK
};

// True with the request once the expected one has come from the device;
// false when a tick ended the wait. A request for the expected name from
// another host is refused with an ERROR; other datagrams are ignored (traced).
// Between datagrams it blocks rather than polls.
bool tftpAwaitRequest(TftpListener* listener, const TftpWaitHooks& hooks, TftpRequest* request);
