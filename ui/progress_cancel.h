// What Cancel (or the close box) of a progress window does, in both front
// ends: the window goes, the error box tells why, the process ends.
#pragma once

struct ProgressWindow;

// The message for a Cancel in the window made from this template.
const char* progressCancelMessage(int templateId);

[[noreturn]] void cancelProgressWindow(ProgressWindow* window, int templateId);
