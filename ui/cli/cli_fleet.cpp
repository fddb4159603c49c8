#include "ui/cli/cli_fleet.h"

#include <cstdio>

int runFleet(int, char**, const CliRun&) {
    std::fprintf(stderr, "several devices: not yet\n");
    return 2;
}
