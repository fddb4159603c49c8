// The TFTP server's front door: binds from port 69 upward, waits on its own
// thread for the one expected read request and hands it to a transfer.
#pragma once

#include <cstdint>

#include "net/tftp/tftp_packets.h"
#include "platform/platform_socket.h"

const uint16_t kTftpFirstPort = 69;
const int kTftpBindAttempts = 100;  // ports 69 to 168

struct TftpListener {
    uint32_t localAddress;
    uint16_t port;
    OrbSocket socket;
    uint8_t receiveArea[kTftpPacketSize];
    uint32_t groupAddress;  // orbflash recovery: the group joined; 0 otherwise
};

// Returns the bound port; 0 only when joining the group failed (then no
// thread runs). group: dotted text, or null for none (orbstage: always null).
uint16_t tftpStartListener(uint32_t localAddress, const char* group);

// The listener thread. Does not return: the process ends from here or from
// the transfer it starts.
void tftpListenLoop(TftpListener* listener);
