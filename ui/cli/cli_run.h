// A run from the command line: the commands that need no device, the
// password and the confirmation settled before anything is sent, and the
// run of one device with the command-line front end.
#pragma once

#include <cstdint>
#include <string>

#include "core/run.h"
#include "ui/cli/cli_front_end.h"

// "PROGRAM: MESSAGE (see PROGRAM --help)" on standard error; exit status 2.
int usageError(const ProgramProfile& profile, const std::string& message);

// --help, --version, --list-addresses: true with the exit status in *code.
bool runInformationCommand(const ProgramProfile& profile, const CliOptions& options, int* code);

// The password (file, else $ORB_PASSWORD) and whether the run may go on
// without a terminal to confirm on; false with a usage error.
bool prepareRequest(const ProgramProfile& profile, const Console& console, CliRequest* request, std::string* error);

// True when path names a regular file or nothing; else false with why
// ("PATH is a FIFO, not a file"): opening a FIFO blocks, a folder reads empty.
bool fileOrNothing(const std::string& path, std::string* why);
// FILE's first line, without a leading byte-order mark or its line end:
// false with why when FILE is not a regular file, cannot be read, or holds
// what a device does not take.
bool readPasswordFile(const std::string& path, std::string* password, std::string* why);
// Drops a UTF-8 byte-order mark (EF BB BF) from the start of a file's first line.
void skipByteOrderMark(std::string* line);
// Whether a user name or password fits the device's field (at most its
// length, no control byte); why if not.
bool credentialFits(const std::string& text, std::string* why);

// This PC's address toward the device (toward, host order): --local (one
// of this PC's), else the one the system's routes use toward it (with
// several interfaces the first listed may face another network), else the
// first listed; why says which. False when --local names none of this
// PC's addresses.
bool chooseLocalAddress(const ProgramProfile& profile, const std::string& typed, uint32_t toward, uint32_t* chosen,
                        std::string* why);

// One device: upgrade, recover or check, with the program's flow.
int runOneDevice(const ProgramProfile& profile, Console& console, CliRequest& request, void (*flow)(Run&),
                 Stage initialStage);
