#include "apps/orbstage/orbstage_flow.h"

void runOrbstageFlow() {}
