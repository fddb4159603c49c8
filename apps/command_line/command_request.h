// The one place a command line becomes a run's request: the target parsed,
// the credentials read, the images loaded and checked, the run's options
// and the local address, each once, before anything touches the network.
#pragma once

#include <cstdint>
#include <string>

#include "apps/command_line/cli_options.h"
#include "core/program_profile.h"
#include "core/run_request.h"
#include "platform/platform_console.h"

// The request for options (one device, or what a fleet's devices share);
// false with a usage error. A damaged image is no usage error: it is kept
// in imageError for the run (or the fleet) to end with.
bool buildRequest(const ProgramProfile& profile, const CliOptions& options, const Console& console,
                  RunRequest* request, std::string* error);

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
