#include "platform/program_entry.h"

int main(int argc, char** argv) { return orbMain(nullptr, argc, argv); }
