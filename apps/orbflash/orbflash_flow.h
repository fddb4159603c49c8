#pragma once

// The main thread's walk through the wizard; may end the process itself.
void runOrbflashFlow();
