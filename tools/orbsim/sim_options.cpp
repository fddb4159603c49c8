#include "tools/orbsim/sim_options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "net/address_utils.h"

namespace {

bool parseUnsigned(const std::string& text, unsigned long max, unsigned long* value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text.c_str(), &end, 10);
    if (errno || *end || parsed > max) return false;
    *value = parsed;
    return true;
}

// "3", "2,5" and, with ranges, "4-7" or a mix: numbers up to max.
bool parseList(const std::string& text, unsigned long max, bool ranges, std::set<unsigned long>* numbers) {
    size_t start = 0;
    for (size_t end = 0; end != std::string::npos; start = end + 1) {
        end = text.find(',', start);
        std::string piece = text.substr(start, end == std::string::npos ? end : end - start);
        size_t dash = ranges ? piece.find('-') : std::string::npos;
        unsigned long first = 0, last = 0;
        if (!parseUnsigned(piece.substr(0, dash), max, &first) ||
            !parseUnsigned(dash == std::string::npos ? piece : piece.substr(dash + 1), max, &last) || last < first)
            return false;
        for (unsigned long n = first; n <= last; ++n) numbers->insert(n);
    }
    return true;
}

// 12 hex digits, optionally grouped with ':' or '-'.
bool parseMac(const std::string& text, uint8_t bytes[6]) {
    std::string hex;
    for (char c : text)
        if (c != ':' && c != '-') hex += c;
    if (hex.size() != 12 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    for (int i = 0; i < 6; ++i) bytes[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    return true;
}

// "2", "0.5" or "2.125" seconds, as milliseconds; at most an hour.
bool parseSeconds(const std::string& text, unsigned* ms) {
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (text.find_first_not_of("0123456789.") != std::string::npos || *end || end == text.c_str() || seconds > 3600)
        return false;
    *ms = static_cast<unsigned>(std::lround(seconds * 1000));
    return true;
}

// N, N:CODE or N:CODE:TEXT; the text may hold colons.
bool parseErrorAfter(const std::string& given, SimOptions* o) {
    size_t first = given.find(':');
    size_t second = first == std::string::npos ? first : given.find(':', first + 1);
    unsigned long block = 0, code = o->errorCode;
    if (!parseUnsigned(given.substr(0, first), 0xFFFFFFFFul, &block) ||
        (first != std::string::npos &&
         !parseUnsigned(given.substr(first + 1, second == std::string::npos ? second : second - first - 1), 65535,
                        &code)))
        return false;
    o->errorAfterBlock = static_cast<long>(block);
    o->errorCode = static_cast<unsigned>(code);
    if (second != std::string::npos) o->errorText = given.substr(second + 1);
    return true;
}

// The trailing digits of a serial counted up by step, keeping their width
// ("ORB0012345" + 2 = "ORB0012347"); a serial without digits gets them appended.
std::string nthSerial(const std::string& serial, unsigned step) {
    if (step == 0) return serial;
    size_t digitsAt = serial.size();
    while (digitsAt > 0 && serial[digitsAt - 1] >= '0' && serial[digitsAt - 1] <= '9') --digitsAt;
    if (digitsAt == serial.size()) return serial + std::to_string(step);
    std::string digits = serial.substr(digitsAt);
    if (digits.size() > 18) digits = digits.substr(digits.size() - 18);  // fits an unsigned long long
    std::string counted = std::to_string(std::stoull(digits) + step);
    if (counted.size() < digits.size()) counted.insert(0, digits.size() - counted.size(), '0');
    return serial.substr(0, digitsAt) + counted;
}

// The MAC plus step, written in the shape of the original text (its
// separators, and lower case hex when it had any lower case letter).
void nthMac(SimOptions* o, unsigned step) {
    uint64_t value = 0;
    for (uint8_t byte : o->macBytes) value = value << 8 | byte;
    value = (value + step) & 0xFFFFFFFFFFFFull;
    for (int i = 5; i >= 0; --i, value >>= 8) o->macBytes[i] = static_cast<uint8_t>(value);
    bool lowerCase = o->macAddress.find_first_of("abcdef") != std::string::npos;
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    int nibble = 0;
    for (char& c : o->macAddress) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        uint8_t byte = o->macBytes[nibble / 2];
        c = digits[nibble % 2 == 0 ? byte >> 4 : byte & 15];
        ++nibble;
    }
}

// CLI11 lays the options out; some groups end with a note of their own.
class UsageLayout : public CLI::Formatter {
public:
    std::map<std::string, std::string> notes;

    std::string make_group(std::string group, bool positional, std::vector<const CLI::Option*> options) const override {
        std::string text = group + ":\n";
        for (const CLI::Option* option : options) text += make_option(option, positional);
        auto note = notes.find(group);
        return note == notes.end() ? text : text + note->second;
    }
};

struct DeviceOption {
    std::set<unsigned long> devices;
    std::vector<std::string> words;  // the option and its value
};

// One parse: the words left to read, back to front as CLI11 takes them, and
// what --on has taken out of them.
struct Parse {
    CLI::App app;
    std::vector<std::string> words;
    std::vector<DeviceOption> particular;
};

// --on has read LIST; its option, and a value when that option takes one, are
// the next words whatever they look like, as after any option.
void takeDeviceOption(Parse* parse, const std::string& list) {
    auto next = [parse]() {
        std::string word = parse->words.back();
        parse->words.pop_back();
        return word;
    };
    DeviceOption option;
    // Device numbers count from 1.
    if (!parseList(list, 100000, true, &option.devices) || option.devices.count(0))
        throw CLI::ValidationError("--on: device numbers from 1, such as 3, 2,5 or 4-7");
    if (parse->words.empty()) throw CLI::ValidationError("--on " + list + " needs an option");
    option.words.push_back(next());
    std::string name = option.words[0].substr(0, option.words[0].find('='));
    if (name == "--count" || name == "--on" || name == "--log-time" || name == "--record" || name == "--help")
        throw CLI::ValidationError("--on: " + name + " is not for one device");
    const CLI::Option* described = parse->app.get_option_no_throw(name);
    if (!described || name.rfind("--", 0) != 0) throw CLI::ValidationError("unknown option " + name);
    if (described->get_expected_max() != 0 && name == option.words[0]) {
        if (parse->words.empty()) throw CLI::ValidationError(name + " needs a value");
        option.words.push_back(next());
    }
    parse->particular.push_back(option);
}

// Every option with its meaning and its checks, bound to a device's options
// and to the fleet's own (count, logTimes, recordPath, --on).
void describeOptions(Parse* parse, SimOptions* o, unsigned* count, bool* logTimes, std::string* recordPath) {
    CLI::App* app = &parse->app;
    app->allow_extras();  // so an unknown word gets our own one-line message
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    auto layout = std::make_shared<UsageLayout>();
    layout->column_width(25);
    layout->label("Usage", "usage");
    layout->label("OPTIONS", "options");
    app->formatter(layout);
    app->set_help_flag("-h,--help", "print the options and exit")->group("options");

    auto group = [app](const char* name) { app->option_defaults()->group(name); };
    auto flag = [app](const char* name, bool& field, const char* help) { app->add_flag(name, field, help); };
    auto text = [app](const char* name, std::string& field, const char* type, const char* help) {
        app->add_option(name, field, help)->type_name(type);
    };
    // Whole numbers are read here, in decimal (CLI11 would take 010 as octal).
    auto number = [app](const char* name, auto& field, unsigned long min, unsigned long max, const char* type,
                        const char* help, const char* range) {
        app->add_option(name, field, help)
            ->type_name(type)
            ->transform(CLI::Validator(
                [=](std::string& value) -> std::string {
                    unsigned long parsed = 0;
                    if (!parseUnsigned(value, max, &parsed) || parsed < min) return range;
                    value = std::to_string(parsed);
                    return "";
                },
                ""));
    };
    // take applies a value to o, or refuses it; CLI11 puts the option's name
    // before the refusal. It sees every occurrence, in order.
    auto custom = [app](const char* name, const char* type, const char* help, const char* refusal,
                        std::function<bool(const std::string&)> take) {
        app->add_option(name)->description(help)->type_name(type)->check(
            CLI::Validator([=](std::string& value) { return take(value) ? std::string() : std::string(refusal); }, ""));
    };

    group("device");
    custom("--address", "A.B.C.D", "address to serve on (default 127.0.0.2)", "not an IPv4 address",
           [o](const std::string& v) { return parseDottedQuad(v.c_str(), &o->address); });
    number("--port", o->httpPort, 1, 65535, "N", "web server port (default 80)", "1 to 65535");
    text("--product", o->productName, "TEXT", "Product Name (default ORBQ4x4)");
    custom("--mac", "HEX", "MAC address, 12 hex digits, ':' or '-' allowed (default 000E08123456)", "12 hex digits",
           [o](const std::string& v) { return parseMac(v, o->macBytes) && (o->macAddress = v, true); });
    text("--mac-text", o->macText, "TEXT", "show this on the status page as the MAC Address (recovery keeps --mac)");
    text("--version", o->softwareVersion, "TEXT", "Software Version before an upgrade (default 7.0.0)");
    text("--hardware", o->hardwareVersion, "TEXT", "Hardware Version (default 1.0.2)");
    custom("--serial", "TEXT", "Serial Number, at most 19 characters (default ORB0012345)", "1 to 19 characters",
           [o](const std::string& v) { return !(o->serialNumber = v).empty() && v.size() <= 19; });
    layout->notes["device"] =
        "  The texts go out raw, control characters and all (facts at most 127 bytes);\n"
        "  the log shows them escaped.\n";

    group("digest authentication (on when --user and --password are given)");
    text("--user", o->user, "NAME", "the user name");
    text("--password", o->password, "TEXT", "its password");
    text("--realm", o->realm, "TEXT", "the realm (default \"ORB Device\")");
    custom("--qop", "none|auth|auth-int|auth,auth-int", "the challenge's qop (default auth)",
           "none, auth, auth-int or auth,auth-int", [o](const std::string& v) {
               o->qop = v == "none" ? "" : v;
               return v == "none" || v == "auth" || v == "auth-int" || v == "auth,auth-int";
           });
    custom("--algorithm", "absent|MD5|md5-sess", "the challenge's algorithm (default MD5)", "absent, MD5 or md5-sess",
           [o](const std::string& v) {
               o->algorithm = v == "absent" ? "" : v;
               return v == "absent" || v == "MD5" || v == "md5-sess";
           });
    flag("--algorithm-unquoted", o->algorithmUnquoted, "write algorithm=VALUE without quotes");
    text("--opaque", o->opaque, "TEXT", "send an opaque value");
    number("--nonce-every", o->nonceEvery, 2, 1000000, "N", "renew the nonce after every N requests (N >= 2)",
           "at least 2");
    custom("--nonce", "TEXT", "this nonce, raw, in every challenge (implies --log-headers)", "",
           [o](const std::string& v) {
               o->nonce = v;
               o->fixedNonce = o->logHeaders = true;
               return true;
           });
    flag("--always-401", o->always401, "answer every request with a 401");
    flag("--strict-uri", o->strictUri,
         "check the uri as RFC 2617 asks (as Apache does): one that is not the\n"
         "request's own is answered 400 Bad Request");
    flag("--log-headers", o->logHeaders, "log every received header line, escaped: http: header \"...\"");

    group("web server faults");
    number("--http-hang", o->httpHangSeconds, 1, 3600, "SECONDS",
           "read the request, then hold the connection without answering", "1 to 3600 seconds");
    flag("--http-close", o->httpClose, "read the request, then close without answering");
    number("--http-trickle", o->httpTrickleMs, 1, 10000, "MS", "write every answer one byte at a time, MS ms apart",
           "1 to 10000 ms");
    number("--http-hold", o->httpHoldSeconds, 1, 3600, "SECONDS",
           "after a whole answer (with Content-Length), keep the connection open", "1 to 3600 seconds");
    flag("--http-chunked", o->httpChunked, "2xx bodies chunked (no Content-Length), a cut inside the version");
    flag("--http10", o->http10, "status lines say HTTP/1.0");
    custom("--header-case", "lower|upper", "write header names in this case", "lower or upper",
           [o](const std::string& v) { return (o->headerCase = v) == "lower" || v == "upper"; });
    number("--trigger-status", o->triggerStatus, 100, 599, "CODE",
           "answer the upgrade trigger with CODE (still fetches)", "100 to 599");
    custom("--after-restart-status", "CODE|401plain",
           "after a restart, the status page comes with CODE (body still lists\n"
           "the facts); 401plain: a 401 with a Basic challenge, given even to\n"
           "requests without credentials",
           "100 to 599, or 401plain", [o](const std::string& v) {
               o->afterRestartBasic401 = v == "401plain";
               if (o->afterRestartBasic401) o->afterRestartStatus = 401;
               unsigned long code = 0;
               if (!o->afterRestartBasic401 && parseUnsigned(v, 599, &code))
                   o->afterRestartStatus = static_cast<int>(code);
               return o->afterRestartBasic401 || code >= 100;
           });
    text("--location", o->location, "URL", "Location of 3xx answers (default http://ADDRESS/login)");

    group("upgrade");
    custom("--restart-seconds", "S|MIN-MAX",
           "web server down this long after a complete image (default 5; 0 to\n"
           "3600, decimals allowed); in a fleet MIN-MAX spreads the times evenly,\n"
           "device 1 MIN and the last MAX",
           "0 to 3600, or MIN-MAX", [o](const std::string& v) {
               size_t dash = v.find('-');
               return parseSeconds(v.substr(0, dash), &o->restartMs) &&
                      parseSeconds(dash == std::string::npos ? v : v.substr(dash + 1), &o->restartMaxMs) &&
                      o->restartMs <= o->restartMaxMs;
           });
    text("--version-after", o->versionAfter, "TEXT", "report this version after the restart instead of the image's");
    flag("--stay-down", o->stayDown, "never come back after the restart (connections refused)");
    flag("--never-restart", o->neverRestart,
         "take the whole image but never go down: keep answering on the old\n"
         "version, as a device that dropped the image");
    flag("--flap", o->flap,
         "go down, come back on the old version for about 1 s, go down again,\n"
         "then come up on the new one (the restart time split between the two)");
    flag("--mute-after-restart", o->muteAfterRestart, "come back, but close every connection without an answer");
    custom("--impostor", "SERIAL",
           "after the restart another device answers at the address instead:\n"
           "this serial, the MAC + 1, the same product, the version of the image",
           "1 to 19 characters",
           [o](const std::string& v) { return !(o->impostorSerial = v).empty() && v.size() <= 19; });
    custom("--after-restart-page", "empty|garbage|no-version",
           "after a restart the status page (still 200) is empty, garbage, or\n"
           "lists every fact but the Software Version",
           "empty, garbage or no-version", [o](const std::string& v) {
               return (o->afterRestartPage = v) == "empty" || v == "garbage" || v == "no-version";
           });
    text("--save", o->savePath, "FILE", "write the received bytes to FILE (in a fleet: device 1's only)");
    text("--save-dir", o->saveDir, "DIR", "write the received bytes to DIR/ADDRESS.img (--save wins)");
    number("--exit-after", o->exitAfterSeconds, 0, 3600, "S",
           "exit S seconds after the upgrade has ended (0 complete, 1 not)", "0 to 3600 seconds");
    number("--fetch-delay", o->fetchDelayMs, 0, 600000, "MS",
           "wait this long after the trigger before the read request", "0 to 600000 ms");
    flag("--no-fetch", o->noFetch, "accept the trigger, never fetch");
    number("--ignore-triggers", o->ignoreTriggers, 0, 1000000, "N",
           "accept the first N triggers, but fetch only after a later one", "a count");

    group("tftp client");
    number("--tftp-retry-ms", o->tftpRetryMs, 10, 60000, "MS",
           "resend the last packet after this much silence (default 1000)", "10 to 60000");
    number("--tftp-retries", o->tftpRetries, 0, 1000, "N", "give up after N resends in a row (default 5)", "0 to 1000");
    number("--tftp-deadline", o->tftpDeadlineSeconds, 1, 86400, "S",
           "give up a transfer after S seconds in all (default 300)", "1 to 86400");
    number("--stall-after", o->stallAfterBlock, 0, 0xFFFFFFFFul, "N", "stop acknowledging after block N",
           "a block number");
    custom("--drop-fraction", "F", "leave out this fraction (0..1) of the ACKs", "0 to 1", [o](const std::string& v) {
        char* end = nullptr;
        o->dropFraction = std::strtod(v.c_str(), &end);
        return !v.empty() && !*end && o->dropFraction >= 0.0 && o->dropFraction <= 1.0;
    });
    custom("--drop-ack", "N[,N...]", "leave out the first ACK of these blocks (0 is the OACK's)",
           "block numbers separated by commas",
           [o](const std::string& v) { return parseList(v, 0xFFFFFFFFul, false, &o->dropAcks); });
    flag("--dup-acks", o->duplicateAcks, "send every ACK twice");
    flag("--refuse-options", o->refuseOptions, "answer the OACK with an ERROR packet");
    custom("--tftp-error-after", "N[:CODE[:TEXT]]",
           "send ERROR instead of block N's ACK (0: the OACK's) and give up\n"
           "(default 3 \"Disk full or allocation exceeded\")",
           "N[:CODE[:TEXT]], CODE 0 to 65535", [o](const std::string& v) { return parseErrorAfter(v, o); });
    number("--refetch-after", o->refetchAfterBlock, 1, 0xFFFFFFFFul, "N",
           "after ACK N, start again from a new port with a new read request", "a block number from 1");
    number("--seed", o->seed, 0, 0xFFFFFFFFul, "N", "seed for --drop-fraction (default 1)", "a number");

    group("recovery");
    flag("--recovery", o->recovery, "start in recovery mode: no web server, answer on 234.4.8.10:4810");
    number("--answer-size", o->answerSize, 1, 512, "N", "bytes in a discovery answer (default 100)", "1 to 512");
    flag("--answer-twice", o->answerTwice, "send every answer twice, 50 ms apart");
    number("--ignore-fetches", o->ignoreFetches, 0, 1000000, "N",
           "neither answer nor act on the first N fetch commands", "a count");

    group("fleet (one process, devices on consecutive addresses)");
    number("--count", *count, 1, 250, "N",
           "N devices from --address on (at most 250); device I (from 1) gets\n"
           "address +I-1, serial with its last digits +I-1, MAC +I-1, and\n"
           "Software Version 7.0.<I-1> unless --version is given",
           "1 to 250");
    app->add_option("--on",
                    [parse](const CLI::results_t& list) {
                        takeDeviceOption(parse, list.front());
                        return true;
                    })
        ->option_text("LIST OPTION [VALUE]")
        ->description(
            "apply one option to the devices in LIST only (1-based: \"3\",\n"
            "\"2,5\", \"4-7\"), after the common ones; repeat as needed, e.g.\n"
            "--on 3 --password other --on 5 --mute-after-restart")
        ->trigger_on_parse();  // at once, while its words are next
    flag("--log-time", *logTimes, "put the seconds since the start before every log line");
    text("--record", *recordPath, "FILE",
         "at the end append one JSON line per device to FILE: what it received,\n"
         "its restarts, what its pages showed after the trigger, who else\n"
         "answered at its address, what became of the credentials it was sent");
    layout->notes["fleet (one process, devices on consecutive addresses)"] =
        "  A fleet's log lines start with the device's address: \"orbsim: [127.0.0.5] ...\".\n"
        "  It exits when every device's --exit-after is due (the highest code), or at once with 2\n"
        "  when a device cannot listen.\n";
}

// Parses words (without the program's name) into what the parse is bound to;
// a mistake comes back as one line naming the option.
bool parseWords(Parse* parse, std::vector<std::string> words, bool* help, std::string* error) {
    parse->words.assign(words.rbegin(), words.rend());
    try {
        parse->app.parse(parse->words);
    } catch (const CLI::CallForHelp&) {
        *help = true;
        return true;
    } catch (const CLI::ArgumentMismatch& mismatch) {  // only a missing value, here
        std::string what = mismatch.what();
        *error = what.substr(0, what.find(':')) + " needs a value";
        return false;
    } catch (const CLI::ParseError& mistake) {
        *error = mistake.what();
        return false;
    }
    if (!parse->app.remaining().empty()) {
        *error = "unknown option " + parse->app.remaining().front();
        return false;
    }
    return true;
}

// The last mistake found is the one told.
bool checkDevice(const SimOptions& o, std::string* error) {
    error->clear();
    for (const std::string* fact :
         {&o.productName, &o.softwareVersion, &o.hardwareVersion, &o.versionAfter, &o.macText})
        if (fact->size() > 127) *error = "a fact is longer than 127 characters";
    if (o.serialNumber.size() > 19) *error = "serial " + o.serialNumber + " is longer than 19 characters";
    if (o.user.empty() != o.password.empty()) *error = "--user and --password go together";
    return error->empty();
}

}  // namespace

void printSimUsage(FILE* out) {
    Parse parse;
    parse.app.name("orbsim");
    SimOptions ignored;
    unsigned count = 1;
    bool logTimes = false;
    std::string recordPath;
    describeOptions(&parse, &ignored, &count, &logTimes, &recordPath);
    std::fputs(parse.app.help().c_str(), out);
}

bool parseSimFleet(int argc, char** argv, SimFleet* fleet, bool* help, std::string* error) {
    *help = false;
    auto fail = [error](const std::string& message) {
        *error = message;
        return false;
    };
    SimOptions base;
    unsigned count = 1;
    fleet->logTimes = false;
    Parse common;
    fleet->recordPath.clear();
    describeOptions(&common, &base, &count, &fleet->logTimes, &fleet->recordPath);
    const std::vector<std::string> given(argv + 1, argv + argc);
    if (!parseWords(&common, given, help, error)) return false;
    if (*help) return true;
    if (common.app.count("--record") && fleet->recordPath.empty()) return fail("--record needs a file");
    // A record names what made the device, but neither the fleet's own
    // options nor another device's --on.
    std::vector<std::string> shared;
    for (size_t i = 0; i < given.size(); ++i) {
        const std::string name = given[i].substr(0, given[i].find('='));
        if (name == "--on") {
            // LIST, the option, and its value when it takes one.
            const std::string option = i + 2 < given.size() ? given[i + 2] : "";
            const CLI::Option* described = common.app.get_option_no_throw(option);
            i += 2 + (described && described->get_expected_max() != 0 ? 1 : 0);
            continue;
        }
        // The address is the record's own field (in a fleet, the first device's).
        const bool fleetOwn = name == "--count" || name == "--record" || name == "--log-time" || name == "--address";
        if (fleetOwn && name == given[i] && name != "--log-time") ++i;  // its value too
        if (!fleetOwn) shared.push_back(given[i]);
    }
    if ((base.address & 0xFF000000u) != ((base.address + count - 1) & 0xFF000000u))
        return fail("--count: the addresses run past the end of the network");
    const std::vector<DeviceOption>& particular = common.particular;
    for (const DeviceOption& option : particular)
        if (*option.devices.rbegin() > count)
            return fail("--on " + std::to_string(*option.devices.rbegin()) + ": no such device (--count " +
                        std::to_string(count) + ")");
    fleet->devices.clear();
    for (unsigned i = 0; i < count; ++i) {
        SimOptions device = base;
        if (count > 1) {
            device.address = base.address + i;
            device.serialNumber = nthSerial(base.serialNumber, i);
            nthMac(&device, i);
            if (!common.app.count("--version")) device.softwareVersion = "7.0." + std::to_string(i);
            // One file cannot hold them all: the common --save is the first device's.
            if (i > 0) device.savePath.clear();
        }
        std::vector<std::string> words;
        for (const DeviceOption& option : particular)
            if (option.devices.count(i + 1)) words.insert(words.end(), option.words.begin(), option.words.end());
        device.given = shared;
        device.given.insert(device.given.end(), words.begin(), words.end());
        std::string which = "device " + std::to_string(i + 1) + ": ";
        if (!words.empty()) {
            Parse own;
            unsigned ownCount = 1;
            bool ownTimes = false;
            std::string ownRecord;
            describeOptions(&own, &device, &ownCount, &ownTimes, &ownRecord);
            if (!parseWords(&own, words, help, error)) return fail(which + *error);
        }
        // A MIN-MAX restart time: device 1 MIN, the last MAX, the others evenly between.
        if (count > 1)
            device.restartMs += static_cast<unsigned>(
                (uint64_t{device.restartMaxMs - device.restartMs} * i + (count - 1) / 2) / (count - 1));
        device.restartMaxMs = device.restartMs;
        if (!device.impostorSerial.empty()) {
            SimOptions other = device;
            nthMac(&other, 1);
            device.impostorMac = other.macAddress;
        }
        if (!checkDevice(device, error)) return fail(count > 1 ? which + *error : *error);
        fleet->devices.push_back(device);
    }
    return true;
}

bool parseSimOptions(int argc, char** argv, SimOptions* o, bool* help, std::string* error) {
    SimFleet fleet;
    if (!parseSimFleet(argc, argv, &fleet, help, error)) return false;
    if (!*help) *o = fleet.devices.front();
    return true;
}
