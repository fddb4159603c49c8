// The command line of both programs: what was asked, checked before
// anything touches the network. A mistake is one line naming the option,
// and exit status 2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/program_profile.h"
#include "core/run_options.h"

enum class CliCommand { None, Upgrade, Recover, Check, History, Help, Version, ListAddresses };

struct CliOptions {
    CliCommand command = CliCommand::None;
    std::vector<std::string> targets;  // device addresses, or the serial of a recovery
    std::vector<uint32_t> addresses;   // the targets parsed, once (upgrade, check)
    std::string devicesFile;           // --devices: one device per line
    std::string local;                 // --local, as typed
    std::string user = "admin";
    std::string passwordFile;
    bool yes = false;
    std::vector<std::string> images;  // --image, each one; none: the built-in image
    std::string transitionImage;
    // A fleet's children only: "SHA256:COPY" for each --image, in order (and
    // the transition image): the parent's private copy of what it checked,
    // served in place of the file named, which is only the image's name.
    std::vector<std::string> imagePins;
    std::string transitionImagePin;
    bool force = false;
    unsigned fetchTimeoutSeconds = 120;
    RestartWait restartWait = RestartWait::Follow;
    unsigned restartTimeoutSeconds = 300;
    bool quiet = false;
    bool verbose = false;
    bool json = false;
    unsigned jobs = 8;
    std::string logDir;
    unsigned canary = 1;       // devices that must take the image before the rest start
    unsigned maxFailures = 1;  // failures after an image reached a device before no more start
    std::vector<std::string> reports;  // --report: each a file, its format by its extension
    // A night's rollout.
    std::string history;               // --history FILE; empty: the default file
    bool noHistory = false;            // --no-history (a fleet's children always)
    unsigned retries = 0;              // attempts after the first, for failures that pass on their own
    unsigned retryDelaySeconds = 30;   // before the first retry, doubled for each later one
    std::string window;                // --window HH:MM-HH:MM, local time
    unsigned maxPerMinute = 0;         // starts at most this many a minute; 0: no pace
    std::string since;                 // history --since DATE
    bool help = false, version = false, listAddresses = false;  // the commands that need no device

    bool operator==(const CliOptions&) const = default;
};

// The most devices of a fleet at once: the listener's TFTP ports 69 to 168
// of one local address.
const unsigned kMostJobs = 100;

// Fills options from argv (argv[0] is the program). False with a one-line
// message in error for a usage mistake.
bool parseCommandLine(const ProgramProfile& program, int argc, char** argv, CliOptions* options, std::string* error);

// A child process per device: an upgrade or check of a devices file, of
// more than one address, or with --report or --log-dir (one device too).
bool isFleet(const CliOptions& options);

// Each option of the program by its long name, and whether a fleet hands it
// to each device's child (else it is the fleet's own).
struct OptionName {
    std::string longName;
    bool toChild;
};
std::vector<OptionName> commandLineOptions(const ProgramProfile& program);

// The words (without the program) that parse back into options: the
// command, the targets and each option a fleet hands to its children, from
// the same rows as the parser. A fleet's child's command line.
std::vector<std::string> commandLineOf(const ProgramProfile& program, const CliOptions& options);

// The --help text of the program, made from the same rows.
std::string commandLineHelp(const ProgramProfile& program);

// The digest and the copy of a pin ("SHA256:COPY"); false when it is none.
bool splitImagePin(const std::string& pin, std::string* sha256, std::string* copy);
// A serial number as devices print it: 1 to 19 letters, digits or dashes.
bool isSerialNumber(const char* text);
