// The one front-end call the exchange code can reach in a fuzz run.
#include <cstdlib>

#include "ui/front_end.h"

int ShowErrorBox(const char*, const char*) { std::abort(); }
