#include "tools/orbsim/sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/address_utils.h"

namespace {

bool parseUnsigned(const char* text, unsigned long max, unsigned long* value) {
    if (!*text || *text == '-' || *text == '+') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text, &end, 10);
    if (errno || *end || parsed > max) return false;
    *value = parsed;
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 12 hex digits, optionally grouped with ':' or '-'.
bool parseMac(const char* text, uint8_t bytes[6]) {
    int digits = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == ':' || *p == '-') continue;
        int d = hexDigit(*p);
        if (d < 0 || digits == 12) return false;
        if (digits % 2 == 0) bytes[digits / 2] = 0;
        bytes[digits / 2] = static_cast<uint8_t>(bytes[digits / 2] << 4 | d);
        ++digits;
    }
    return digits == 12;
}

bool parseAckList(const char* text, std::set<unsigned long>* acks) {
    std::string list = text;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string piece = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        unsigned long block = 0;
        if (!parseUnsigned(piece.c_str(), 0xFFFFFFFFul, &block)) return false;
        acks->insert(block);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

bool fits(const std::string& text, size_t limit) { return !text.empty() && text.size() <= limit; }

// Options that take no value; every other option takes exactly one.
const std::set<std::string> kFlags = {
    "--help",           "-h",          "--algorithm-unquoted", "--always-401",
    "--http-close",     "--stay-down", "--mute-after-restart", "--dup-acks",
    "--refuse-options", "--recovery",  "--log-headers",        "--http-chunked",
    "--http10",         "--no-fetch",  "--answer-twice",       "--log-time",
};

// "3", "2,5", "4-7" or a mix: device numbers counted from 1.
bool parseDeviceList(const char* text, std::set<unsigned>* devices) {
    std::string list = text;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string piece = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t dash = piece.find('-');
        unsigned long first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!parseUnsigned(piece.c_str(), 100000, &first)) return false;
            last = first;
        } else if (!parseUnsigned(piece.substr(0, dash).c_str(), 100000, &first) ||
                   !parseUnsigned(piece.substr(dash + 1).c_str(), 100000, &last) || last < first) {
            return false;
        }
        if (first == 0) return false;
        for (unsigned long d = first; d <= last; ++d) devices->insert(static_cast<unsigned>(d));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

// 100 to 599, as an answer's status.
bool parseStatus(const char* text, int* status) {
    unsigned long number = 0;
    if (!parseUnsigned(text, 599, &number) || number < 100) return false;
    *status = static_cast<int>(number);
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
    bool lowerCase = false;
    for (char c : o->macAddress) lowerCase = lowerCase || (c >= 'a' && c <= 'f');
    const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    int nibble = 0;
    for (char& c : o->macAddress) {
        if (hexDigit(c) < 0) continue;
        uint8_t byte = o->macBytes[nibble / 2];
        c = digits[nibble % 2 == 0 ? byte >> 4 : byte & 15];
        ++nibble;
    }
}

}  // namespace

void printSimUsage(FILE* out) {
    std::fputs(
        "usage: orbsim [options]\n"
        "device:\n"
        "  --address A.B.C.D      address to serve on (default 127.0.0.2)\n"
        "  --port N               web server port (default 80)\n"
        "  --product TEXT         Product Name (default ORBQ4x4)\n"
        "  --mac HEX              MAC address, 12 hex digits, ':' or '-' allowed (default 000E08123456)\n"
        "  --mac-text TEXT        show this on the status page as the MAC Address (recovery keeps --mac)\n"
        "  --version TEXT         Software Version before an upgrade (default 7.0.0)\n"
        "  --hardware TEXT        Hardware Version (default 1.0.2)\n"
        "  --serial TEXT          Serial Number, at most 19 characters (default ORB0012345)\n"
        "  The texts go out raw, control characters and all (facts at most 127 bytes);\n"
        "  the log shows them escaped.\n"
        "digest authentication (on when --user and --password are given):\n"
        "  --user NAME  --password TEXT  --realm TEXT (default \"ORB Device\")\n"
        "  --qop none|auth|auth-int|auth,auth-int   (default auth)\n"
        "  --algorithm absent|MD5|md5-sess          (default MD5)\n"
        "  --algorithm-unquoted   write algorithm=VALUE without quotes\n"
        "  --opaque TEXT          send an opaque value\n"
        "  --nonce-every N        renew the nonce after every N requests (N >= 2)\n"
        "  --nonce TEXT           this nonce, raw, in every challenge (implies --log-headers)\n"
        "  --always-401           answer every request with a 401\n"
        "  --log-headers          log every received header line, escaped: http: header \"...\"\n"
        "web server faults:\n"
        "  --http-hang SECONDS    read the request, then hold the connection without answering\n"
        "  --http-close           read the request, then close without answering\n"
        "  --http-trickle MS      write every answer one byte at a time, MS ms apart\n"
        "  --http-hold SECONDS    after a whole answer (with Content-Length), keep the connection open\n"
        "  --http-chunked         2xx bodies chunked (no Content-Length), a cut inside the version\n"
        "  --http10               status lines say HTTP/1.0\n"
        "  --header-case lower|upper   write header names in this case\n"
        "  --trigger-status CODE  answer the upgrade trigger with CODE (still fetches)\n"
        "  --after-restart-status CODE|401plain   after a restart, the status page comes with\n"
        "                         CODE (body still lists the facts); 401plain: a 401 with a Basic\n"
        "                         challenge, given even to requests without credentials\n"
        "  --location URL         Location of 3xx answers (default http://ADDRESS/login)\n"
        "upgrade:\n"
        "  --restart-seconds S    web server down this long after a complete image (default 5)\n"
        "  --version-after TEXT   report this version after the restart instead of the image's\n"
        "  --stay-down            never come back after the restart (connections refused)\n"
        "  --mute-after-restart   come back, but close every connection without an answer\n"
        "  --save FILE            write the received bytes to FILE (in a fleet: device 1's only)\n"
        "  --save-dir DIR         write the received bytes to DIR/ADDRESS.img (--save wins)\n"
        "  --exit-after S         exit S seconds after the upgrade has ended (0 complete, 1 not)\n"
        "  --fetch-delay MS       wait this long after the trigger before the read request\n"
        "  --no-fetch             accept the trigger, never fetch\n"
        "tftp client:\n"
        "  --tftp-retry-ms MS     resend the last packet after this much silence (default 1000)\n"
        "  --tftp-retries N       give up after N resends in a row (default 5)\n"
        "  --tftp-deadline S      give up a transfer after S seconds in all (default 300)\n"
        "  --stall-after N        stop acknowledging after block N\n"
        "  --drop-fraction F      leave out this fraction (0..1) of the ACKs\n"
        "  --drop-ack N[,N...]    leave out the first ACK of these blocks (0 is the OACK's)\n"
        "  --dup-acks             send every ACK twice\n"
        "  --refuse-options       answer the OACK with an ERROR packet\n"
        "  --tftp-error-after N[:CODE[:TEXT]]   send ERROR instead of block N's ACK (0: the\n"
        "                         OACK's) and give up (default 3 \"Disk full or allocation exceeded\")\n"
        "  --refetch-after N      after ACK N, start again from a new port with a new read request\n"
        "  --seed N               seed for --drop-fraction (default 1)\n"
        "recovery:\n"
        "  --recovery             start in recovery mode: no web server, answer on 234.4.8.10:4810\n"
        "  --answer-size N        bytes in a discovery answer (default 100)\n"
        "  --answer-twice         send every answer twice, 50 ms apart\n"
        "  --ignore-fetches N     neither answer nor act on the first N fetch commands\n"
        "fleet (one process, devices on consecutive addresses):\n"
        "  --count N              N devices from --address on (at most 250); device I (from 1) gets\n"
        "                         address +I-1, serial with its last digits +I-1, MAC +I-1, and\n"
        "                         Software Version 7.0.<I-1> unless --version is given\n"
        "  --on LIST OPTION [VALUE]   apply one option to the devices in LIST only (1-based:\n"
        "                         \"3\", \"2,5\", \"4-7\"), after the common ones; repeat as needed,\n"
        "                         e.g. --on 3 --password other --on 5 --mute-after-restart\n"
        "  --log-time             put the seconds since the start before every log line\n"
        "  A fleet's log lines start with the device's address: \"orbsim: [127.0.0.5] ...\".\n"
        "  It exits when every device's --exit-after is due (the highest code), or at once with 2\n"
        "  when a device cannot listen.\n",
        out);
}

namespace {

// Applies the options in args to o; seen collects their names.
bool applyOptions(const std::vector<std::string>& args, SimOptions* o, std::set<std::string>* seen, bool* help,
                  std::string* error) {
    auto fail = [error](const std::string& message) {
        *error = message;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        seen->insert(name);
        // Flags first; everything else takes one value.
        if (name == "--help" || name == "-h") {
            *help = true;
            return true;
        } else if (name == "--algorithm-unquoted") {
            o->algorithmUnquoted = true;
            continue;
        } else if (name == "--always-401") {
            o->always401 = true;
            continue;
        } else if (name == "--http-close") {
            o->httpClose = true;
            continue;
        } else if (name == "--stay-down") {
            o->stayDown = true;
            continue;
        } else if (name == "--mute-after-restart") {
            o->muteAfterRestart = true;
            continue;
        } else if (name == "--dup-acks") {
            o->duplicateAcks = true;
            continue;
        } else if (name == "--refuse-options") {
            o->refuseOptions = true;
            continue;
        } else if (name == "--recovery") {
            o->recovery = true;
            continue;
        } else if (name == "--log-headers") {
            o->logHeaders = true;
            continue;
        } else if (name == "--http-chunked") {
            o->httpChunked = true;
            continue;
        } else if (name == "--http10") {
            o->http10 = true;
            continue;
        } else if (name == "--no-fetch") {
            o->noFetch = true;
            continue;
        } else if (name == "--answer-twice") {
            o->answerTwice = true;
            continue;
        }
        if (i + 1 >= args.size()) return fail(name + " needs a value");
        const char* value = args[++i].c_str();
        unsigned long number = 0;
        if (name == "--address") {
            if (!parseDottedQuad(value, &o->address)) return fail("--address: not an IPv4 address");
        } else if (name == "--port") {
            if (!parseUnsigned(value, 65535, &number) || number == 0) return fail("--port: 1 to 65535");
            o->httpPort = static_cast<uint16_t>(number);
        } else if (name == "--product") {
            o->productName = value;
        } else if (name == "--mac") {
            if (!parseMac(value, o->macBytes)) return fail("--mac: 12 hex digits");
            o->macAddress = value;
        } else if (name == "--mac-text") {
            o->macText = value;
        } else if (name == "--version") {
            o->softwareVersion = value;
        } else if (name == "--hardware") {
            o->hardwareVersion = value;
        } else if (name == "--serial") {
            o->serialNumber = value;
            if (!fits(o->serialNumber, 19)) return fail("--serial: 1 to 19 characters");
        } else if (name == "--user") {
            o->user = value;
        } else if (name == "--password") {
            o->password = value;
        } else if (name == "--realm") {
            o->realm = value;
        } else if (name == "--qop") {
            std::string qop = value;
            if (qop != "none" && qop != "auth" && qop != "auth-int" && qop != "auth,auth-int")
                return fail("--qop: none, auth, auth-int or auth,auth-int");
            o->qop = qop == "none" ? "" : qop;
        } else if (name == "--algorithm") {
            std::string algorithm = value;
            if (algorithm != "absent" && algorithm != "MD5" && algorithm != "md5-sess")
                return fail("--algorithm: absent, MD5 or md5-sess");
            o->algorithm = algorithm == "absent" ? "" : algorithm;
        } else if (name == "--opaque") {
            o->opaque = value;
        } else if (name == "--nonce-every") {
            if (!parseUnsigned(value, 1000000, &number) || number < 2) return fail("--nonce-every: at least 2");
            o->nonceEvery = static_cast<unsigned>(number);
        } else if (name == "--nonce") {
            o->fixedNonce = true;
            o->nonce = value;
            o->logHeaders = true;
        } else if (name == "--http-hang") {
            if (!parseUnsigned(value, 3600, &number) || number == 0) return fail("--http-hang: 1 to 3600 seconds");
            o->httpHangSeconds = static_cast<unsigned>(number);
        } else if (name == "--http-trickle") {
            if (!parseUnsigned(value, 10000, &number) || number == 0) return fail("--http-trickle: 1 to 10000 ms");
            o->httpTrickleMs = static_cast<unsigned>(number);
        } else if (name == "--http-hold") {
            if (!parseUnsigned(value, 3600, &number) || number == 0) return fail("--http-hold: 1 to 3600 seconds");
            o->httpHoldSeconds = static_cast<unsigned>(number);
        } else if (name == "--header-case") {
            std::string which = value;
            if (which != "lower" && which != "upper") return fail("--header-case: lower or upper");
            o->headerCase = which;
        } else if (name == "--trigger-status") {
            if (!parseStatus(value, &o->triggerStatus)) return fail("--trigger-status: 100 to 599");
        } else if (name == "--after-restart-status") {
            o->afterRestartBasic401 = std::strcmp(value, "401plain") == 0;
            if (o->afterRestartBasic401)
                o->afterRestartStatus = 401;
            else if (!parseStatus(value, &o->afterRestartStatus))
                return fail("--after-restart-status: 100 to 599, or 401plain");
        } else if (name == "--location") {
            o->location = value;
        } else if (name == "--restart-seconds") {
            if (!parseUnsigned(value, 3600, &number)) return fail("--restart-seconds: 0 to 3600");
            o->restartSeconds = static_cast<unsigned>(number);
        } else if (name == "--version-after") {
            o->versionAfter = value;
        } else if (name == "--save") {
            o->savePath = value;
        } else if (name == "--save-dir") {
            o->saveDir = value;
        } else if (name == "--exit-after") {
            if (!parseUnsigned(value, 3600, &number)) return fail("--exit-after: 0 to 3600 seconds");
            o->exitAfterSeconds = static_cast<int>(number);
        } else if (name == "--fetch-delay") {
            if (!parseUnsigned(value, 600000, &number)) return fail("--fetch-delay: 0 to 600000 ms");
            o->fetchDelayMs = static_cast<unsigned>(number);
        } else if (name == "--tftp-retry-ms") {
            if (!parseUnsigned(value, 60000, &number) || number < 10) return fail("--tftp-retry-ms: 10 to 60000");
            o->tftpRetryMs = static_cast<unsigned>(number);
        } else if (name == "--tftp-retries") {
            if (!parseUnsigned(value, 1000, &number)) return fail("--tftp-retries: 0 to 1000");
            o->tftpRetries = static_cast<unsigned>(number);
        } else if (name == "--tftp-deadline") {
            if (!parseUnsigned(value, 86400, &number) || number == 0) return fail("--tftp-deadline: 1 to 86400");
            o->tftpDeadlineSeconds = static_cast<unsigned>(number);
        } else if (name == "--stall-after") {
            if (!parseUnsigned(value, 0xFFFFFFFFul, &number)) return fail("--stall-after: a block number");
            o->stallAfterBlock = static_cast<long>(number);
        } else if (name == "--tftp-error-after") {
            // N, N:CODE or N:CODE:TEXT; the text may hold colons.
            std::string given = value;
            size_t first = given.find(':');
            size_t second = first == std::string::npos ? std::string::npos : given.find(':', first + 1);
            if (!parseUnsigned(given.substr(0, first).c_str(), 0xFFFFFFFFul, &number))
                return fail("--tftp-error-after: N[:CODE[:TEXT]]");
            o->errorAfterBlock = static_cast<long>(number);
            if (first != std::string::npos) {
                std::string code =
                    given.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
                if (!parseUnsigned(code.c_str(), 65535, &number)) return fail("--tftp-error-after: CODE 0 to 65535");
                o->errorCode = static_cast<unsigned>(number);
            }
            if (second != std::string::npos) o->errorText = given.substr(second + 1);
        } else if (name == "--refetch-after") {
            if (!parseUnsigned(value, 0xFFFFFFFFul, &number) || number == 0)
                return fail("--refetch-after: a block number from 1");
            o->refetchAfterBlock = static_cast<long>(number);
        } else if (name == "--drop-fraction") {
            char* end = nullptr;
            o->dropFraction = std::strtod(value, &end);
            if (!*value || *end || !(o->dropFraction >= 0.0 && o->dropFraction <= 1.0))
                return fail("--drop-fraction: 0 to 1");
        } else if (name == "--drop-ack") {
            if (!parseAckList(value, &o->dropAcks)) return fail("--drop-ack: block numbers separated by commas");
        } else if (name == "--seed") {
            if (!parseUnsigned(value, 0xFFFFFFFFul, &number)) return fail("--seed: a number");
            o->seed = static_cast<uint32_t>(number);
        } else if (name == "--answer-size") {
            if (!parseUnsigned(value, 512, &number) || number == 0) return fail("--answer-size: 1 to 512");
            o->answerSize = static_cast<unsigned>(number);
        } else if (name == "--ignore-fetches") {
            if (!parseUnsigned(value, 1000000, &number)) return fail("--ignore-fetches: a count");
            o->ignoreFetches = static_cast<unsigned>(number);
        } else {
            return fail("unknown option " + name);
        }
    }
    return true;
}

bool checkDevice(const SimOptions& o, std::string* error) {
    if (o.user.empty() != o.password.empty()) {
        *error = "--user and --password go together";
        return false;
    }
    const std::string* facts[] = {&o.productName, &o.softwareVersion, &o.hardwareVersion, &o.versionAfter, &o.macText};
    for (const std::string* fact : facts) {
        if (fact->size() > 127) {
            *error = "a fact is longer than 127 characters";
            return false;
        }
    }
    if (o.serialNumber.size() > 19) {
        *error = "serial " + o.serialNumber + " is longer than 19 characters";
        return false;
    }
    return true;
}

struct DeviceOption {
    std::set<unsigned> devices;
    std::vector<std::string> words;  // the option and its value
};

}  // namespace

bool parseSimFleet(int argc, char** argv, SimFleet* fleet, bool* help, std::string* error) {
    *help = false;
    auto fail = [error](const std::string& message) {
        *error = message;
        return false;
    };
    // Fleet options are taken out here; the rest applies to every device or,
    // after --on, to some.
    std::vector<std::string> common;
    std::vector<DeviceOption> particular;
    unsigned long count = 1;
    fleet->logTimes = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            *help = true;
            return true;
        }
        if (name == "--log-time") {
            fleet->logTimes = true;
            continue;
        }
        if (name == "--count" || name == "--on") {
            if (i + 1 >= argc) return fail(name + " needs a value");
            const char* value = argv[++i];
            if (name == "--count") {
                if (!parseUnsigned(value, 250, &count) || count == 0) return fail("--count: 1 to 250");
                continue;
            }
            DeviceOption option;
            if (!parseDeviceList(value, &option.devices))
                return fail("--on: device numbers from 1, such as 3, 2,5 or 4-7");
            if (i + 1 >= argc) return fail("--on " + std::string(value) + " needs an option");
            option.words.push_back(argv[++i]);
            const std::string& what = option.words[0];
            if (what == "--count" || what == "--on" || what == "--log-time" || what == "--help")
                return fail("--on: " + what + " is not for one device");
            if (!kFlags.count(what)) {
                if (i + 1 >= argc) return fail(what + " needs a value");
                option.words.push_back(argv[++i]);
            }
            particular.push_back(option);
            continue;
        }
        common.push_back(name);
    }
    SimOptions base;
    std::set<std::string> seen;
    if (!applyOptions(common, &base, &seen, help, error)) return false;
    if (*help) return true;
    if ((base.address & 0xFF000000u) != ((base.address + static_cast<uint32_t>(count) - 1) & 0xFF000000u))
        return fail("--count: the addresses run past the end of the network");
    fleet->devices.clear();
    for (unsigned i = 0; i < count; ++i) {
        SimOptions device = base;
        if (count > 1) {
            device.address = base.address + i;
            device.serialNumber = nthSerial(base.serialNumber, i);
            nthMac(&device, i);
            if (!seen.count("--version")) device.softwareVersion = "7.0." + std::to_string(i);
            // One file cannot hold them all: the common --save is the first device's.
            if (i > 0) device.savePath.clear();
        }
        for (const DeviceOption& option : particular) {
            if (!option.devices.count(i + 1)) continue;
            std::set<std::string> ignored;
            if (!applyOptions(option.words, &device, &ignored, help, error))
                return fail("device " + std::to_string(i + 1) + ": " + *error);
        }
        if (!checkDevice(device, error))
            return fail(count > 1 ? "device " + std::to_string(i + 1) + ": " + *error : *error);
        fleet->devices.push_back(device);
    }
    for (const DeviceOption& option : particular)
        if (*option.devices.rbegin() > count)
            return fail("--on " + std::to_string(*option.devices.rbegin()) + ": no such device (--count " +
                        std::to_string(count) + ")");
    return true;
}

bool parseSimOptions(int argc, char** argv, SimOptions* o, bool* help, std::string* error) {
    SimFleet fleet;
    if (!parseSimFleet(argc, argv, &fleet, help, error)) return false;
    if (!*help) *o = fleet.devices.front();
    return true;
}
