// Every HTTP request: the exchange on a worker thread behind the connecting
// window, with the silent retry and the password dialog after a challenge.
#pragma once

#include <cstdint>

// Byte count, 0 or more. Never returns when the user declines credentials.
int runRequest(void* instance, uint32_t localAddress, uint16_t localPort, uint32_t targetAddress, uint16_t targetPort,
               const char* path, uint8_t* buffer, int capacity);
