#include "ui/cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/run_outcome.h"
#include "net/address_utils.h"

namespace {

// A count from min to max, digits only.
CLI::Validator count(unsigned long min, unsigned long max, const std::string& what) {
    return CLI::Validator(
        [min, max, what](std::string& text) -> std::string {
            bool digits = !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
            unsigned long value = digits ? std::strtoul(text.c_str(), nullptr, 10) : 0;
            if (!digits || value < min || value > max) return what + ": '" + text + "'";
            return "";
        },
        "N");
}

unsigned countOf(const std::string& text, unsigned fallback) {
    return text.empty() ? fallback : static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
}

const CLI::Validator kHostAddress(
    [](std::string& text) -> std::string {
        uint32_t address = 0;
        return parseHostAddress(text.c_str(), &address) ? "" : "not the address of a host: '" + text + "'";
    },
    "ADDRESS");

const CLI::Validator kNotEmpty([](std::string& text) -> std::string { return text.empty() ? "empty value" : ""; },
                               "TEXT");

// The library's words for a mistake, in ours: one line naming the option.
std::string usageMessage(const CLI::ParseError& e) {
    std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        size_t colon = what.find(": ");
        std::string extra = colon == std::string::npos ? what : what.substr(colon + 2);
        return "unknown option '" + extra.substr(0, extra.find(' ')) + "'";
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        if (what.find("flag override") != std::string::npos) return "--" + what.substr(0, what.find(' ')) + ": takes no value";
        if (what.find("missing") != std::string::npos) return what.substr(0, what.find(':')) + ": missing value";
    }
    return what;
}

}  // namespace

bool parseHostAddress(const char* text, uint32_t* address) {
    // Four runs of digits between single dots. The wizard's field also
    // skips empty pieces and takes '*' for a dot; an argument that does so
    // is a typing mistake, not the name of a device to upgrade.
    int dots = 0;
    bool digits = false;
    for (const char* c = text; *c; ++c) {
        if (*c == '.') {
            if (!digits) return false;
            ++dots;
            digits = false;
        } else if (std::isdigit(static_cast<unsigned char>(*c))) {
            digits = true;
        } else {
            return false;
        }
    }
    if (dots != 3 || !digits) return false;
    if (!parseDottedQuad(text, address)) return false;
    // Multicast, reserved and broadcast addresses name no single host.
    return (*address >> 28) < 0xE;
}

std::string dottedAddress(uint32_t address) {
    char text[kDottedQuadSize];
    formatDottedQuad(address, text, sizeof text);
    return text;
}

bool splitImagePin(const std::string& pin, std::string* sha256, std::string* copy) {
    if (pin.size() < 66 || pin[64] != ':') return false;
    *sha256 = pin.substr(0, 64);
    *copy = pin.substr(65);
    return sha256->find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool isSerialNumber(const char* text) {
    size_t length = std::strlen(text);
    if (length == 0 || length > 19) return false;
    for (const char* c = text; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '-') return false;
    return true;
}

bool isFleet(const CliOptions& o) {
    const bool children = !o.devicesFile.empty() || o.targets.size() > 1 || !o.report.empty() || !o.logDir.empty();
    return (o.command == CliCommand::Upgrade || o.command == CliCommand::Check) && children;
}

bool parseCommandLine(const ProgramProfile& program, int argc, char** argv, CliOptions* o, std::string* error) {
    const bool stage = program.kind == ProgramKind::Stage;
    // "--option=" names no file and no count: the library would take the
    // next word as its value.
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") break;
        if (arg.size() > 3 && arg.compare(0, 2, "--") == 0 && arg.back() == '=') {
            *error = arg.substr(0, arg.size() - 1) + ": empty value";
            return false;
        }
    }

    CLI::App app;
    app.set_help_flag();
    bool help = false, version = false, list = false;
    std::vector<std::string> words;
    auto flag = [&](const char* names, bool* value) { app.add_flag(names, *value)->disable_flag_override(); };
    auto option = [&](const char* names, std::string* value) {
        return app.add_option(names, *value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    };
    flag("-h,--help", &help);
    flag("-V,--version", &version);
    flag("--list-addresses", &list);
    option("-l,--local", &o->local)->check(kHostAddress);
    option("-u,--user", &o->user)->check(CLI::Validator(
        [](std::string& text) -> std::string { return text.empty() ? "empty user name: ''" : ""; }, "NAME"));
    option("-p,--password-file", &o->passwordFile)->check(kNotEmpty);
    flag("-y,--yes", &o->yes);
    // Several images: each device gets the one for its product.
    app.add_option("-i,--image", o->images)
        ->check(kNotEmpty)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->expected(1)
        ->allow_extra_args(false);
    if (stage) option("--transition-image", &o->transitionImage)->check(kNotEmpty);
    // Internal, from a fleet's parent to its children; not in --help.
    app.add_option("--image-pin", o->imagePins)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->expected(1)
        ->allow_extra_args(false);
    if (stage) option("--transition-image-pin", &o->transitionImagePin);
    flag("-f,--force", &o->force);
    std::string fetchTimeout, jobs, canary, maxFailures, restartWait, restartTimeout;
    option("--fetch-timeout", &fetchTimeout)->check(count(1, 86400, "not a number of seconds from 1 to 86400"));
    option("--restart-wait", &restartWait)
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return text == "follow" || text == "fixed" ? "" : "follow or fixed, not '" + text + "'";
            },
            "follow|fixed"));
    option("--restart-timeout", &restartTimeout)->check(count(1, 86400, "not a number of seconds from 1 to 86400"));
    flag("-q,--quiet", &o->quiet);
    flag("-v,--verbose", &o->verbose);
    flag("--json", &o->json);
    option("-d,--devices", &o->devicesFile)->check(kNotEmpty);
    option("-j,--jobs", &jobs)->check(count(1, kMostJobs, "not a number of devices from 1 to " + std::to_string(kMostJobs)));
    option("--log-dir", &o->logDir)->check(kNotEmpty);
    option("--canary", &canary)->check(count(0, 100000, "not a number of devices from 0 on"));
    option("--max-failures", &maxFailures)->check(count(1, 100000, "not a number of failures from 1 on"));
    option("--report", &o->report)->check(kNotEmpty);
    app.add_option("words", words);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        *error = usageMessage(e);
        return false;
    }
    o->fetchTimeoutSeconds = countOf(fetchTimeout, o->fetchTimeoutSeconds);
    o->restartTimeoutSeconds = countOf(restartTimeout, o->restartTimeoutSeconds);
    if (!restartWait.empty()) o->restartWait = restartWait == "fixed" ? RestartWait::Fixed : RestartWait::Follow;
    o->jobs = countOf(jobs, o->jobs);
    o->canary = countOf(canary, o->canary);
    o->maxFailures = countOf(maxFailures, o->maxFailures);
    if (help) o->command = CliCommand::Help;
    else if (version) o->command = CliCommand::Version;
    else if (list) o->command = CliCommand::ListAddresses;

    if (o->command == CliCommand::Help || o->command == CliCommand::Version) return true;
    if (o->quiet && o->verbose) {
        *error = "--quiet and --verbose: choose one";
        return false;
    }
    if (o->command == CliCommand::ListAddresses) return true;
    std::string sha256, copy;
    bool pinsFit = o->imagePins.empty() || o->imagePins.size() == o->images.size();
    for (const std::string& pin : o->imagePins) pinsFit = pinsFit && splitImagePin(pin, &sha256, &copy);
    if (!pinsFit) {
        *error = "--image-pin: one SHA256:COPY for each --image";
        return false;
    }
    if (!o->transitionImagePin.empty() &&
        (o->transitionImage.empty() || !splitImagePin(o->transitionImagePin, &sha256, &copy))) {
        *error = "--transition-image-pin: SHA256:COPY for the --transition-image";
        return false;
    }
    if (words.empty()) {
        *error = "no command: upgrade, " + std::string(stage ? "" : "recover, ") + "or check";
        return false;
    }
    const std::string command = words[0];
    words.erase(words.begin());
    if (command == "upgrade") {
        o->command = CliCommand::Upgrade;
    } else if (command == "recover" && !stage) {
        o->command = CliCommand::Recover;
    } else if (command == "check") {
        o->command = CliCommand::Check;
    } else {
        *error = "unknown command '" + command + "'";
        return false;
    }
    o->targets = words;
    const bool fleet = isFleet(*o);
    if (o->command == CliCommand::Recover) {
        const char* fleetOnly = !o->devicesFile.empty() ? "--devices"
                                : !o->report.empty()    ? "--report"
                                : !o->logDir.empty()    ? "--log-dir"
                                                        : nullptr;
        if (fleetOnly) {
            *error = std::string(fleetOnly) + ": only with upgrade or check";
            return false;
        }
    }
    if (o->targets.empty() && o->devicesFile.empty()) {
        *error = command + ": missing " + (o->command == CliCommand::Recover ? "SERIAL" : "ADDRESS");
        return false;
    }
    if (!fleet && o->targets.size() > 1) {
        *error = command + ": one device at a time";
        return false;
    }
    // A rollout's limits mean nothing for one device: said, never ignored.
    if (o->devicesFile.empty() && o->targets.size() == 1) {
        const char* rolloutOnly = !jobs.empty() ? "--jobs" : !canary.empty() ? "--canary"
                                  : !maxFailures.empty()                     ? "--max-failures"
                                                                             : nullptr;
        if (rolloutOnly) {
            *error = std::string(rolloutOnly) + ": for several devices (a fleet)";
            return false;
        }
    }
    for (const std::string& target : o->targets) {
        uint32_t address = 0;
        if (o->command == CliCommand::Recover) {
            if (!isSerialNumber(target.c_str())) {
                *error = "recover: not a serial number: '" + target + "'";
                return false;
            }
        } else if (!parseHostAddress(target.c_str(), &address)) {
            *error = command + ": not the address of a host: '" + target + "'";
            return false;
        }
    }
    return true;
}

std::string commandLineHelp(const ProgramProfile& program) {
    const bool stage = program.kind == ProgramKind::Stage;
    const std::string name = program.programName;
    std::string help = "Usage: " + name + " [OPTION]... upgrade ADDRESS...\n";
    if (!stage) help += "       " + name + " [OPTION]... recover SERIAL\n";
    help += "       " + name + " [OPTION]... check ADDRESS...\n";
    help += "Without arguments " + name + " runs its wizard.\n\n";
    help +=
        "  -l, --local ADDRESS       this PC's address toward the device (default: the one\n"
        "                            its routes use to reach the device)\n"
        "      --list-addresses      print this PC's addresses\n"
        "  -u, --user NAME           administrator's user name (default admin)\n"
        "  -p, --password-file FILE  the password is FILE's first line (else $ORB_PASSWORD,\n"
        "                            else a prompt when the device asks, on a terminal)\n"
        "  -y, --yes                 upgrade without asking\n"
        "  -i, --image FILE          serve FILE instead of the built-in image; given more\n"
        "                            than once, each device gets the one for its model\n";
    if (stage) help += "      --transition-image FILE  serve FILE first, then the image\n";
    help +=
        "  -f, --force               serve even a device that already runs that version\n"
        "      --fetch-timeout SECS  wait at most SECS for the device's fetch (default 120)\n"
        "      --restart-wait follow|fixed  after the upload, follow the device through\n"
        "                            its restart (default), or wait the model's fixed\n"
        "                            time and then read its status page\n"
        "      --restart-timeout SECS  follow the restart at most SECS (default 300;\n"
        "                            never less than the model's fixed wait)\n"
        "Several devices (a fleet):\n"
        "  -d, --devices FILE        the devices listed in FILE, one per line:\n"
        "                            ADDRESS [USER [PASSWORD-FILE]]\n"
        "  -j, --jobs N              at most N devices at once (1 to 100, default 8)\n"
        "      --canary N            upgrade the first N alone; the rest start once they\n"
        "                            took the image (default 1; 0: no canary)\n"
        "      --max-failures N      start no more devices once N failed after the image\n"
        "                            reached them (default 1)\n"
        "      --report FILE         write a CSV report, one row per device\n"
        "      --log-dir DIR         keep each device's output in DIR\n"
        "                            (these two also for one ADDRESS)\n"
        "  -q, --quiet / -v, --verbose   less or more on standard error\n"
        "      --json                one JSON object per event on standard output\n"
        "  -h, --help / -V, --version\n\n"
        "Exit status:";
    // Made from the table the programs exit by, laid out in lines of at most 80.
    size_t lineStart = help.rfind('\n') + 1;
    for (size_t i = 0; i < kExitStatusCount; ++i) {
        std::string item = " " + std::to_string(exitCode(kExitStatuses[i].status)) + " " + kExitStatuses[i].meaning +
                           (i + 1 < kExitStatusCount ? ";" : ".");
        if (help.size() - lineStart + item.size() > 80) {
            help += "\n";
            lineStart = help.size();
            item.erase(0, 1);
        }
        help += item;
    }
    return help + "\n";
}
