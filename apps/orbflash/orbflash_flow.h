#pragma once

class Run;

// The main thread's walk through the wizard. Does not return: the run
// stops here, or on the TFTP side once serving has begun.
[[noreturn]] void runOrbflashFlow(Run& run);
