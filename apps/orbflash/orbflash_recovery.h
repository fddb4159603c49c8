// The recovery side of orbflash's flow: finding the device by its serial
// number behind the connecting window, taking its answer, and the fetch.
#pragma once

#include <cstdint>

// Searches for gContext.recoverySerial. Returns when the device answered;
// ends the run when it did not or the user cancelled.
void searchForDevice();
// The device's facts and address, from its answer.
void takeRecoveryAnswer();
// Tells the device to fetch firmwareFileName from the listener's port; true
// when the device confirmed it (an answer for its serial).
bool sendFetchCommand(uint16_t port);
