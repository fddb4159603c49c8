#include "apps/command_line/cli_options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>

#include "apps/fleet/night_rules.h"
#include "apps/history/history_query.h"
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
    const bool children = !o.devicesFile.empty() || o.targets.size() > 1 || !o.reports.empty() || !o.logDir.empty() ||
                          o.retries > 0 || !o.window.empty();
    return (o.command == CliCommand::Upgrade || o.command == CliCommand::Check) && children;
}

namespace {

enum class Shape { Flag, Text, Texts, Count, Wait };

// One option: how it is parsed, what --help says of it, and whether a
// fleet hands it to each device's child. The parser, the help text and the
// children's command lines are all made from these rows.
struct OptionRow {
    const char* names;     // the parser's: "-l,--local"
    const char* longName;  // "--local"
    Shape shape;
    bool toChild = false;    // a fleet passes it on (else it is the fleet's own)
    bool stageOnly = false;  // orbstage only
    const char* help = "";   // its lines in --help, in this order ("": said in another row, or internal)
    bool CliOptions::*flag = nullptr;
    std::string CliOptions::*text = nullptr;
    std::vector<std::string> CliOptions::*texts = nullptr;
    unsigned CliOptions::*count = nullptr;
    // A count: from min to max (open-ended at kCountOpen) of unit.
    unsigned min = 0, max = 0;
    const char* unit = "";
    const CLI::Validator* check = nullptr;
};

const unsigned kCountOpen = 100000;

const CLI::Validator kUserName(
    [](std::string& text) -> std::string { return text.empty() ? "empty user name: ''" : ""; }, "NAME");

const CLI::Validator kWindow(
    [](std::string& text) -> std::string {
        MaintenanceWindow window;
        std::string why;
        return parseWindow(text, &window, &why) ? "" : why + ": '" + text + "'";
    },
    "HH:MM-HH:MM");

const CLI::Validator kSince(
    [](std::string& text) -> std::string {
        return historySinceValid(text) ? "" : "not a date YYYY-MM-DD[THH:MM[:SS]] (UTC): '" + text + "'";
    },
    "DATE");

const CLI::Validator kRestartWait(
    [](std::string& text) -> std::string {
        return text == "follow" || text == "fixed" ? "" : "follow or fixed, not '" + text + "'";
    },
    "follow|fixed");

using O = CliOptions;
const OptionRow kOptionRows[] = {
    {.names = "-l,--local", .longName = "--local", .shape = Shape::Text, .toChild = true,
     .help = "  -l, --local ADDRESS       this PC's address toward the device (default: the one\n"
             "                            its routes use to reach the device)\n",
     .text = &O::local, .check = &kHostAddress},
    {.names = "--list-addresses", .longName = "--list-addresses", .shape = Shape::Flag,
     .help = "      --list-addresses      print this PC's addresses\n", .flag = &O::listAddresses},
    {.names = "-u,--user", .longName = "--user", .shape = Shape::Text, .toChild = true,
     .help = "  -u, --user NAME           administrator's user name (default admin)\n", .text = &O::user,
     .check = &kUserName},
    {.names = "-p,--password-file", .longName = "--password-file", .shape = Shape::Text, .toChild = true,
     .help = "  -p, --password-file FILE  the password is FILE's first line (else $ORB_PASSWORD,\n"
             "                            else a prompt when the device asks, on a terminal)\n",
     .text = &O::passwordFile, .check = &kNotEmpty},
    {.names = "-y,--yes", .longName = "--yes", .shape = Shape::Flag, .toChild = true,
     .help = "  -y, --yes                 upgrade without asking\n", .flag = &O::yes},
    // Several images: each device gets the one for its product.
    {.names = "-i,--image", .longName = "--image", .shape = Shape::Texts, .toChild = true,
     .help = "  -i, --image FILE          serve FILE instead of the built-in image; given more\n"
             "                            than once, each device gets the one for its model\n",
     .texts = &O::images, .check = &kNotEmpty},
    {.names = "--transition-image", .longName = "--transition-image", .shape = Shape::Text, .toChild = true,
     .stageOnly = true, .help = "      --transition-image FILE  serve FILE first, then the image\n",
     .text = &O::transitionImage, .check = &kNotEmpty},
    {.names = "-f,--force", .longName = "--force", .shape = Shape::Flag, .toChild = true,
     .help = "  -f, --force               serve even a device that already runs that version\n", .flag = &O::force},
    {.names = "--fetch-timeout", .longName = "--fetch-timeout", .shape = Shape::Count, .toChild = true,
     .help = "      --fetch-timeout SECS  wait at most SECS for the device's fetch (default 120)\n",
     .count = &O::fetchTimeoutSeconds, .min = 1, .max = 86400, .unit = "seconds"},
    {.names = "--restart-wait", .longName = "--restart-wait", .shape = Shape::Wait, .toChild = true,
     .help = "      --restart-wait follow|fixed  after the upload, follow the device through\n"
             "                            its restart (default), or wait the model's fixed\n"
             "                            time and then read its status page\n",
     .check = &kRestartWait},
    {.names = "--restart-timeout", .longName = "--restart-timeout", .shape = Shape::Count, .toChild = true,
     .help = "      --restart-timeout SECS  follow the restart at most SECS (default 300;\n"
             "                            never less than the model's fixed wait)\n",
     .count = &O::restartTimeoutSeconds, .min = 1, .max = 86400, .unit = "seconds"},
    {.names = "-d,--devices", .longName = "--devices", .shape = Shape::Text,
     .help = "Several devices (a fleet):\n"
             "  -d, --devices FILE        the devices listed in FILE, one per line:\n"
             "                            ADDRESS [USER [PASSWORD-FILE]]\n",
     .text = &O::devicesFile, .check = &kNotEmpty},
    {.names = "-j,--jobs", .longName = "--jobs", .shape = Shape::Count,
     .help = "  -j, --jobs N              at most N devices at once (1 to 100, default 8)\n", .count = &O::jobs,
     .min = 1, .max = kMostJobs, .unit = "devices"},
    {.names = "--canary", .longName = "--canary", .shape = Shape::Count,
     .help = "      --canary N            upgrade the first N alone; the rest start once they\n"
             "                            took the image (default 1; 0: no canary)\n",
     .count = &O::canary, .min = 0, .max = kCountOpen, .unit = "devices"},
    {.names = "--max-failures", .longName = "--max-failures", .shape = Shape::Count,
     .help = "      --max-failures N      start no more devices once N failed after the image\n"
             "                            reached them (default 1)\n",
     .count = &O::maxFailures, .min = 1, .max = kCountOpen, .unit = "failures"},
    {.names = "--report", .longName = "--report", .shape = Shape::Texts,
     .help = "      --report FILE         write a report, one row per device: CSV, or by its\n"
             "                            extension a live page (.html), JUnit XML (.xml) or\n"
             "                            metrics for Prometheus (.prom); may be repeated\n",
     .texts = &O::reports, .check = &kNotEmpty},
    {.names = "--log-dir", .longName = "--log-dir", .shape = Shape::Text,
     .help = "      --log-dir DIR         keep each device's output in DIR\n"
             "                            (these two also for one ADDRESS)\n",
     .text = &O::logDir, .check = &kNotEmpty},
    {.names = "--retries", .longName = "--retries", .shape = Shape::Count,
     .help = "A night's rollout (also for one ADDRESS but --max-per-minute):\n"
             "      --retries N           try a device again up to N times when it failed before\n"
             "                            any byte of the image reached it (no answer, no fetch)\n",
     .count = &O::retries, .min = 0, .max = 100, .unit = "retries"},
    {.names = "--retry-delay", .longName = "--retry-delay", .shape = Shape::Count,
     .help = "      --retry-delay SECS    before the first retry (default 30; doubled for each\n"
             "                            later one, at most 8 times)\n",
     .count = &O::retryDelaySeconds, .min = 1, .max = 86400, .unit = "seconds"},
    {.names = "--window", .longName = "--window", .shape = Shape::Text,
     .help = "      --window HH:MM-HH:MM  start devices only in this window (local time; may\n"
             "                            cross midnight); wait for it if it opens within 12 h\n",
     .text = &O::window, .check = &kWindow},
    {.names = "--max-per-minute", .longName = "--max-per-minute", .shape = Shape::Count,
     .help = "      --max-per-minute N    start at most N devices a minute, evenly\n",
     .count = &O::maxPerMinute, .min = 1, .max = 6000, .unit = "devices"},
    {.names = "--history", .longName = "--history", .shape = Shape::Text,
     .help = "      --history FILE        add each device's end to FILE (default: history.jsonl\n"
             "                            in the user's state folder, orb/), read by: history\n",
     .text = &O::history, .check = &kNotEmpty},
    {.names = "--no-history", .longName = "--no-history", .shape = Shape::Flag, .toChild = true,
     .help = "      --no-history          keep no history of this run\n", .flag = &O::noHistory},
    {.names = "--since", .longName = "--since", .shape = Shape::Text,
     .help = "      --since DATE          history: from DATE on (YYYY-MM-DD[THH:MM[:SS]], UTC)\n",
     .text = &O::since, .check = &kSince},
    {.names = "-q,--quiet", .longName = "--quiet", .shape = Shape::Flag,
     .help = "  -q, --quiet / -v, --verbose   less or more on standard error\n", .flag = &O::quiet},
    {.names = "-v,--verbose", .longName = "--verbose", .shape = Shape::Flag, .toChild = true, .flag = &O::verbose},
    {.names = "--json", .longName = "--json", .shape = Shape::Flag, .toChild = true,
     .help = "      --json                one JSON object per event on standard output\n", .flag = &O::json},
    {.names = "-h,--help", .longName = "--help", .shape = Shape::Flag, .help = "  -h, --help / -V, --version\n",
     .flag = &O::help},
    {.names = "-V,--version", .longName = "--version", .shape = Shape::Flag, .flag = &O::version},
    // Internal, from a fleet's parent to its children; not in --help.
    {.names = "--image-pin", .longName = "--image-pin", .shape = Shape::Texts, .toChild = true,
     .texts = &O::imagePins},
    {.names = "--transition-image-pin", .longName = "--transition-image-pin", .shape = Shape::Text, .toChild = true,
     .stageOnly = true, .text = &O::transitionImagePin},
};

bool rowApplies(const ProgramProfile& program, const OptionRow& row) {
    return !row.stageOnly || program.kind == ProgramKind::Stage;
}

std::string countWhy(const OptionRow& row) {
    return std::string("not a number of ") + row.unit + " from " + std::to_string(row.min) +
           (row.max == kCountOpen ? " on" : " to " + std::to_string(row.max));
}

}  // namespace

std::vector<OptionName> commandLineOptions(const ProgramProfile& program) {
    std::vector<OptionName> names;
    for (const OptionRow& row : kOptionRows)
        if (rowApplies(program, row)) names.push_back({row.longName, row.toChild});
    return names;
}

std::vector<std::string> commandLineOf(const ProgramProfile& program, const CliOptions& o) {
    static const char* const kCommands[] = {"", "upgrade", "recover", "check", "history", "", "", ""};
    std::vector<std::string> words;
    if (*kCommands[static_cast<int>(o.command)]) words.push_back(kCommands[static_cast<int>(o.command)]);
    words.insert(words.end(), o.targets.begin(), o.targets.end());
    const CliOptions defaults;
    for (const OptionRow& row : kOptionRows) {
        if (!row.toChild || !rowApplies(program, row)) continue;
        const std::string name = row.longName;
        switch (row.shape) {
            case Shape::Flag:
                if (o.*row.flag) words.push_back(name);
                break;
            // "--name=VALUE": a value that starts with a dash stays a value.
            case Shape::Text:
                if (o.*row.text != defaults.*row.text) words.push_back(name + "=" + o.*row.text);
                break;
            case Shape::Texts:
                for (const std::string& value : o.*row.texts) words.push_back(name + "=" + value);
                break;
            case Shape::Count:
                if (o.*row.count != defaults.*row.count) words.push_back(name + "=" + std::to_string(o.*row.count));
                break;
            case Shape::Wait:
                if (o.restartWait != defaults.restartWait)
                    words.push_back(name + "=" + (o.restartWait == RestartWait::Fixed ? "fixed" : "follow"));
                break;
        }
    }
    return words;
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
    std::vector<std::string> words;
    std::string restartWait;
    // Counts go through text, so that a given one is told from a default.
    std::map<std::string, std::string> counts;
    for (const OptionRow& row : kOptionRows) {
        if (!rowApplies(program, row)) continue;
        CLI::Option* option = nullptr;
        switch (row.shape) {
            case Shape::Flag: app.add_flag(row.names, o->*row.flag)->disable_flag_override(); break;
            case Shape::Text:
                option = app.add_option(row.names, o->*row.text)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
                break;
            case Shape::Texts:
                option = app.add_option(row.names, o->*row.texts)
                             ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                             ->expected(1)
                             ->allow_extra_args(false);
                break;
            case Shape::Count:
                option = app.add_option(row.names, counts[row.longName])
                             ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
                             ->check(count(row.min, row.max, countWhy(row)));
                break;
            case Shape::Wait:
                option = app.add_option(row.names, restartWait)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
                break;
        }
        if (option && row.check) option->check(*row.check);
    }
    app.add_option("words", words);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        *error = usageMessage(e);
        return false;
    }
    for (const OptionRow& row : kOptionRows)
        if (row.shape == Shape::Count && rowApplies(program, row))
            o->*row.count = countOf(counts[row.longName], o->*row.count);
    if (!restartWait.empty()) o->restartWait = restartWait == "fixed" ? RestartWait::Fixed : RestartWait::Follow;
    if (o->help) o->command = CliCommand::Help;
    else if (o->version) o->command = CliCommand::Version;
    else if (o->listAddresses) o->command = CliCommand::ListAddresses;
    const std::string jobs = counts["--jobs"], canary = counts["--canary"], maxFailures = counts["--max-failures"];
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
    } else if (command == "history") {
        // Addresses or serials, as the records hold them: nothing to check.
        o->command = CliCommand::History;
        o->targets = words;
        return true;
    } else {
        *error = "unknown command '" + command + "'";
        return false;
    }
    o->targets = words;
    if (!o->since.empty()) {
        *error = "--since: only with history";
        return false;
    }
    const bool fleet = isFleet(*o);
    if (o->command == CliCommand::Recover) {
        const char* fleetOnly = !o->devicesFile.empty() ? "--devices"
                                : !o->reports.empty()   ? "--report"
                                : !o->logDir.empty()    ? "--log-dir"
                                : o->retries > 0        ? "--retries"
                                : !o->window.empty()    ? "--window"
                                : o->maxPerMinute > 0   ? "--max-per-minute"
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
                                  : o->maxPerMinute > 0                      ? "--max-per-minute"
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
        if (o->command != CliCommand::Recover) o->addresses.push_back(address);
    }
    return true;
}

std::string commandLineHelp(const ProgramProfile& program) {
    const bool stage = program.kind == ProgramKind::Stage;
    const std::string name = program.programName;
    std::string help = "Usage: " + name + " [OPTION]... upgrade ADDRESS...\n";
    if (!stage) help += "       " + name + " [OPTION]... recover SERIAL\n";
    help += "       " + name + " [OPTION]... check ADDRESS...\n";
    help += "       " + name + " [OPTION]... history [ADDRESS|SERIAL]...\n";
    help += "Without arguments " + name + " runs its wizard.\n\n";
    for (const OptionRow& row : kOptionRows)
        if (rowApplies(program, row)) help += row.help;
    help += "\n"
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
