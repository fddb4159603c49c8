// The terminal needs no control classes and no window class.
#include "ui/front_end.h"

void initCommonControls(unsigned) {}

bool registerProgramWindowClass(void*) { return true; }
