// The requests the flows and the after-upload check make of a device, all
// through runRequest.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads "/admin/advanced" (refreshing deviceFacts); the byte count, or 0
// when the answer was not 2xx: only a 2xx answer is the status page.
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
// Tells the device at targetAddress to fetch firmwareFileName and stores
// the answer's status code in triggerStatus (0 when none came); the wait
// for the device's read request goes on whatever it was.
void sendUpgradeTrigger(uint16_t port);
