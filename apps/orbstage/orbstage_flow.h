#pragma once

// The main thread's walk through the wizard. Does not return: the run ends
// here, or from the TFTP side once serving has begun.
[[noreturn]] void runOrbstageFlow();
