// What follows an upload: the wait for the device's restart on the upload
// view, the status read, the version check and the success dialog.
#pragma once

#include <cstdint>

#include "core/run.h"

// In reboot ticks, by the first 7 characters of the model name.
unsigned rebootWaitTicks(const ProgramProfile& profile, const char* modelName);
// Follows the restart on the upload view. A Cancel stops the run.
void waitForReboot(Run& run, OpenView& view, unsigned ticks);
// Whether the model shows the second layout of the success dialog.
bool successVariantFor(const ProgramProfile& profile, const char* modelName);

// After the restart wait: reads the device's status page and checks what it
// reports. Stops the run after the target image (success or failure) and on
// any failure; returns after a transition image the device took.
void checkAfterUpload(Run& run, uint32_t deviceAddress, bool complete, const char* servedVersion, bool finalStage);
