// A run from the command line: with arguments the programs take their
// options instead of showing the wizard. Returns the exit status (or ends
// the process with it).
#pragma once

typedef void (*ProgramFlow)();

int runCommandLine(int argc, char** argv, ProgramFlow flow);
