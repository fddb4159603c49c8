// A device in recovery mode: answers searches for its serial number on the
// group 234.4.8.10 port 4810, and fetches the image named in a fetch command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/orbsim/sim_state.h"

struct RecoveryCommand {
    uint8_t command;
    std::string serial;
    uint16_t tftpPort;     // fetch only
    std::string fileName;  // fetch only
};

// False unless the datagram is a 160-byte request with the magic "RECM".
bool readRecoveryCommand(const uint8_t* bytes, size_t length, RecoveryCommand* command);

// The answer datagram, size bytes long (100 normally; a fault makes it
// shorter or longer).
std::vector<uint8_t> makeRecoveryAnswer(const SimOptions& options, const std::string& softwareVersion, size_t size);

// Thread body; answers while inRecovery is set, returns once a stop is asked for.
void runRecoveryResponder(SimState* state);
