// What follows an upload: the wait for the device's restart on the upload
// view (a fixed wait and status reads, or following the device), the
// version check and the success dialog.
#pragma once

#include <cstdint>

#include "core/run.h"

// In reboot ticks, by the first 7 characters of the model name.
unsigned rebootWaitTicks(const ProgramProfile& profile, const char* modelName);
// Follows the restart on the upload view. A Cancel stops the run.
void waitForReboot(Run& run, OpenView& view, unsigned ticks);
// Whether the model shows the second layout of the success dialog.
bool successVariantFor(const ProgramProfile& profile, const char* modelName);

// After the restart wait: reads the device's status page (at most once a
// second, the profile's count of tries) and checks what it reports. Stops
// the run after the target image (success or failure) and on any failure;
// returns after a transition image the device took.
void checkAfterUpload(Run& run, uint32_t deviceAddress, bool complete, const char* servedVersion, bool finalStage);

// The limit of a followed restart: the run's, never shorter than the
// model's fixed wait.
uint32_t restartLimitMs(const Run& run);
// Polls the device's status page every 2 s from now on, on the upload
// view, until it is back after its restart or the limit ends the follow;
// then stops the run or returns as checkAfterUpload does.
void followRestart(Run& run, OpenView& view, uint32_t deviceAddress, const char* servedVersion, bool finalStage);

// What the run's options choose: the fixed wait and checkAfterUpload, or
// followRestart (where an incomplete upload ends the run at once).
void afterUpload(Run& run, OpenView& view, bool complete, const char* servedVersion, bool finalStage);
