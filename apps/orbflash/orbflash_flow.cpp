#include "apps/orbflash/orbflash_flow.h"

void runOrbflashFlow() {}
