// What follows an upload: the wait for the device's restart on the upload
// window, the status read, the version check and the success dialog.
#pragma once

#include <cstdint>

#include "ui/progress.h"
#include "ui/wizard.h"

// In reboot ticks, by the first 7 characters of the model name.
unsigned rebootWaitTicks(const char* modelName);
// Follows the restart on the upload window, then closes it. A Cancel ends the run.
void waitForReboot(ProgressView* view, unsigned ticks, const char* title);
// Success or SuccessVariant, by the model.
Dialog successDialogFor(const char* modelName);

// After the restart wait: reads the device's status page and checks what it
// reports. Ends the run after the target image (success or failure) and on
// any failure; returns after a transition image the device took.
void checkAfterUpload(uint32_t deviceAddress, bool complete, const char* servedVersion, bool finalStage);
