#include "platform/program_entry.h"

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The C runtime has split the command line already.
    return orbMain(instance, __argc, __argv);
}
