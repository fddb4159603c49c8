#include "ui/cli/cli_options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "net/http/address_utils.h"

namespace {

struct OptionRow {
    const char* longName;
    char shortName;  // 0: none
    bool takesValue;
    bool stageOnly;
    bool flashOnly;
};

const OptionRow kOptions[] = {
    {"local", 'l', true, false, false},         {"list-addresses", 0, false, false, false},
    {"user", 'u', true, false, false},          {"password-file", 'p', true, false, false},
    {"yes", 'y', false, false, false},          {"image", 'i', true, false, false},
    {"transition-image", 0, true, true, false}, {"force", 'f', false, false, false},
    {"fetch-timeout", 0, true, false, false},   {"quiet", 'q', false, false, false},
    {"verbose", 'v', false, false, false},      {"json", 0, false, false, false},
    {"devices", 'd', true, false, false},       {"jobs", 'j', true, false, false},
    {"log-dir", 0, true, false, false},         {"help", 'h', false, false, false},
    {"version", 'V', false, false, false},
};

const OptionRow* findLong(const std::string& name) {
    for (const OptionRow& row : kOptions)
        if (name == row.longName) return &row;
    return nullptr;
}

const OptionRow* findShort(char name) {
    for (const OptionRow& row : kOptions)
        if (row.shortName && name == row.shortName) return &row;
    return nullptr;
}

bool parseCount(const std::string& text, unsigned long max, unsigned* value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long parsed = std::strtoul(text.c_str(), nullptr, 10);
    if (parsed == 0 || parsed > max) return false;
    *value = static_cast<unsigned>(parsed);
    return true;
}

bool apply(const OptionRow& row, const std::string& value, CliOptions* o, std::string* error) {
    const std::string name = row.longName;
    auto bad = [&](const char* what) {
        *error = "--" + name + ": " + what + ": '" + value + "'";
        return false;
    };
    if (name == "local") {
        uint32_t address = 0;
        if (!parseHostAddress(value.c_str(), &address)) return bad("not the address of a host");
        o->local = value;
    } else if (name == "list-addresses") {
        o->command = CliCommand::ListAddresses;
    } else if (name == "user") {
        if (value.empty()) return bad("empty user name");
        o->user = value;
    } else if (name == "password-file") {
        o->passwordFile = value;
    } else if (name == "yes") {
        o->yes = true;
    } else if (name == "image") {
        o->image = value;
    } else if (name == "transition-image") {
        o->transitionImage = value;
    } else if (name == "force") {
        o->force = true;
    } else if (name == "fetch-timeout") {
        if (!parseCount(value, 86400, &o->fetchTimeoutSeconds)) return bad("not a number of seconds from 1 to 86400");
    } else if (name == "quiet") {
        o->quiet = true;
    } else if (name == "verbose") {
        o->verbose = true;
    } else if (name == "json") {
        o->json = true;
    } else if (name == "devices") {
        o->devicesFile = value;
    } else if (name == "jobs") {
        if (!parseCount(value, 1000, &o->jobs)) return bad("not a number of devices from 1 on");
    } else if (name == "log-dir") {
        o->logDir = value;
    } else if (name == "help") {
        o->command = CliCommand::Help;
    } else if (name == "version") {
        o->command = CliCommand::Version;
    }
    return true;
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

bool isSerialNumber(const char* text) {
    size_t length = std::strlen(text);
    if (length == 0 || length > 19) return false;
    for (const char* c = text; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '-') return false;
    return true;
}

bool isFleet(const CliOptions& o) {
    return o.command == CliCommand::Upgrade && (!o.devicesFile.empty() || o.targets.size() > 1);
}

bool parseCommandLine(const ProgramProfile& program, int argc, char** argv, CliOptions* o, std::string* error) {
    const bool stage = program.kind == ProgramKind::Stage;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionRow* row = nullptr;
        std::string value;
        bool inlineValue = false;
        if (arg[1] == '-') {
            std::string name = arg.substr(2);
            size_t equals = name.find('=');
            if (equals != std::string::npos) {
                value = name.substr(equals + 1);
                name = name.substr(0, equals);
                inlineValue = true;
            }
            row = findLong(name);
        } else if (arg.size() == 2) {
            row = findShort(arg[1]);
        }
        if (!row || (row->stageOnly && !stage) || (row->flashOnly && stage)) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        if (row->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                *error = "--" + std::string(row->longName) + ": missing value";
                return false;
            }
            value = argv[++i];
        } else if (!row->takesValue && inlineValue) {
            *error = "--" + std::string(row->longName) + ": takes no value";
            return false;
        }
        if (!apply(*row, value, o, error)) return false;
    }
    if (o->command == CliCommand::Help || o->command == CliCommand::Version) return true;
    if (o->quiet && o->verbose) {
        *error = "--quiet and --verbose: choose one";
        return false;
    }
    if (o->command == CliCommand::ListAddresses) return true;
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
    if (!o->devicesFile.empty() && o->command != CliCommand::Upgrade) {
        *error = "--devices: only with upgrade";
        return false;
    }
    if (o->targets.empty() && o->devicesFile.empty()) {
        *error = command + ": missing " + (o->command == CliCommand::Recover ? "SERIAL" : "ADDRESS");
        return false;
    }
    if (!fleet && o->targets.size() > 1) {
        *error = command + ": one device at a time";
        return false;
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
    help += "       " + name + " [OPTION]... check ADDRESS\n";
    help += "Without arguments " + name + " runs its wizard.\n\n";
    help +=
        "  -l, --local ADDRESS       this PC's address toward the device\n"
        "      --list-addresses      print this PC's addresses (the first is the default)\n"
        "  -u, --user NAME           administrator's user name (default admin)\n"
        "  -p, --password-file FILE  the password is FILE's first line (else $ORB_PASSWORD,\n"
        "                            else a prompt when the device asks, on a terminal)\n"
        "  -y, --yes                 upgrade without asking\n"
        "  -i, --image FILE          serve FILE instead of the built-in image\n";
    if (stage) help += "      --transition-image FILE  serve FILE first, then the image\n";
    help +=
        "  -f, --force               serve even a device that already runs that version\n"
        "      --fetch-timeout SECS  wait at most SECS for the device's fetch (default 120)\n"
        "  -d, --devices FILE        upgrade the devices listed in FILE, one per line:\n"
        "                            ADDRESS [USER [PASSWORD-FILE]]\n"
        "  -j, --jobs N              at most N devices at once (default 8)\n"
        "      --log-dir DIR         keep each device's output in DIR\n"
        "  -q, --quiet / -v, --verbose   less or more on standard error\n"
        "      --json                one JSON object per event on standard output\n"
        "  -h, --help / -V, --version\n\n"
        "Exit status: 0 upgraded (or already current), 1 other failure, 2 usage,\n"
        "3 no response, 4 password needed or refused, 5 device not found,\n"
        "6 TFTP transfer failed, 7 device silent or another version after its restart,\n"
        "8 image unusable, 9 some devices of a fleet failed, 130 cancelled.\n";
    return help;
}
