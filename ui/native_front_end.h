// The platform's own front end: the Win32 dialogs and windows, or the
// terminal's prompts and status lines. Each build links exactly one.
#pragma once

void useNativeFrontEnd();
