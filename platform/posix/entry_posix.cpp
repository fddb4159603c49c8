#include "platform/program_entry.h"

int main() {
    // The command line is ignored.
    return orbMain(nullptr);
}
