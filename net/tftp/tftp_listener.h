// The TFTP server's front door: binds from port 69 upward, waits on its own
// thread for the one expected read request and hands it to a transfer.
#pragma once

#include <cstdint>

// Returns the bound port; 0 only when joining the group failed (then no
// thread runs). group: dotted text, or null for none (orbstage: always null).
uint16_t tftpStartListener(uint32_t localAddress, const char* group);
