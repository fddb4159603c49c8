// The requests the flows and the after-upload check make of a device, all
// through runRequest.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads "/admin/advanced" (refreshing deviceFacts); the byte count.
int readStatusPage(uint32_t deviceAddress);
// The facts just read (or taken from a recovery answer), for those who listen.
void reportDeviceFacts();
// The listener waits on port for firmwareFileName, for those who listen.
void reportWaiting(uint16_t port);
// With gRunOptions.skipCurrent, ends the run when the device already
// reports the version of the image it would get.
void endIfAlreadyCurrent();

// "/admin/upgrade?tftp://<localAddress>:<port><fileName>".
void formatUpgradeTrigger(char* out, size_t size, uint32_t localAddress, uint16_t port, const char* fileName);
// Tells the device at targetAddress to fetch firmwareFileName; the result
// is of no interest (the device's read request is what counts).
void sendUpgradeTrigger(uint16_t port);
