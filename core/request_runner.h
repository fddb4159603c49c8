// Every HTTP request: the exchange on a worker thread behind the connecting
// window, with the silent retry and the password dialog after a challenge.
#pragma once

#include <cstdint>

// Byte count, 0 or more; *httpStatus (when given) the status code of the
// answer, 0 when none came. Ends the run when the user cancels or declines
// credentials, and on socket failures (and, where the program says so, a
// failed connection).
int runRequest(void* instance, uint32_t localAddress, uint16_t localPort, uint32_t targetAddress, uint16_t targetPort,
               const char* path, uint8_t* buffer, int capacity, int* httpStatus = nullptr);

// "Connecting with ORB@<targetText>".
void connectingTitle(char* out, unsigned size);
// What a Cancel in the connecting window ends the run with: in an orbflash
// recovery the window stands for the search, whoever opened it.
void cancelConnecting();
