// Each program defines orbMain; the platform's own entry point calls it
// with the module instance (null where the platform has none) and the
// command line's arguments.
#pragma once

int orbMain(void* instance, int argc, char** argv);
