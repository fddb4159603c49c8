#include "tools/orbsim/sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "net/http/address_utils.h"

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

}  // namespace

void printSimUsage(FILE* out) {
    std::fputs(
        "usage: orbsim [options]\n"
        "device:\n"
        "  --address A.B.C.D      address to serve on (default 127.0.0.2)\n"
        "  --port N               web server port (default 80)\n"
        "  --product TEXT         Product Name (default ORBQ4x4)\n"
        "  --mac HEX              MAC address, 12 hex digits, ':' or '-' allowed (default 000E08123456)\n"
        "  --version TEXT         Software Version before an upgrade (default 7.0.0)\n"
        "  --hardware TEXT        Hardware Version (default 1.0.2)\n"
        "  --serial TEXT          Serial Number, at most 19 characters (default ORB0012345)\n"
        "digest authentication (on when --user and --password are given):\n"
        "  --user NAME  --password TEXT  --realm TEXT (default \"ORB Device\")\n"
        "  --qop none|auth|auth-int|auth,auth-int   (default auth)\n"
        "  --algorithm absent|MD5|md5-sess          (default MD5)\n"
        "  --algorithm-unquoted   write algorithm=VALUE without quotes\n"
        "  --opaque TEXT          send an opaque value\n"
        "  --nonce-every N        renew the nonce after every N requests (N >= 2)\n"
        "  --always-401           answer every request with a 401\n"
        "web server faults:\n"
        "  --http-hang SECONDS    read the request, then hold the connection without answering\n"
        "  --http-close           read the request, then close without answering\n"
        "upgrade:\n"
        "  --restart-seconds S    web server down this long after a complete image (default 5)\n"
        "  --version-after TEXT   report this version after the restart instead of the image's\n"
        "  --stay-down            never come back after the restart (connections refused)\n"
        "  --mute-after-restart   come back, but close every connection without an answer\n"
        "  --save FILE            write the received bytes to FILE\n"
        "  --exit-after S         exit S seconds after the upgrade has ended (0 complete, 1 not)\n"
        "tftp client:\n"
        "  --tftp-retry-ms MS     resend the last packet after this much silence (default 1000)\n"
        "  --tftp-retries N       give up after N resends in a row (default 5)\n"
        "  --tftp-deadline S      give up a transfer after S seconds in all (default 300)\n"
        "  --stall-after N        stop acknowledging after block N\n"
        "  --drop-fraction F      leave out this fraction (0..1) of the ACKs\n"
        "  --drop-ack N[,N...]    leave out the first ACK of these blocks (0 is the OACK's)\n"
        "  --dup-acks             send every ACK twice\n"
        "  --refuse-options       answer the OACK with an ERROR packet\n"
        "  --seed N               seed for --drop-fraction (default 1)\n"
        "recovery:\n"
        "  --recovery             start in recovery mode: no web server, answer on 234.4.8.10:4810\n"
        "  --answer-size N        bytes in a discovery answer (default 100)\n",
        out);
}

bool parseSimOptions(int argc, char** argv, SimOptions* o, bool* help, std::string* error) {
    *help = false;
    auto fail = [error](const std::string& message) {
        *error = message;
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
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
        }
        if (i + 1 >= argc) return fail(name + " needs a value");
        const char* value = argv[++i];
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
        } else if (name == "--http-hang") {
            if (!parseUnsigned(value, 3600, &number) || number == 0) return fail("--http-hang: 1 to 3600 seconds");
            o->httpHangSeconds = static_cast<unsigned>(number);
        } else if (name == "--restart-seconds") {
            if (!parseUnsigned(value, 3600, &number)) return fail("--restart-seconds: 0 to 3600");
            o->restartSeconds = static_cast<unsigned>(number);
        } else if (name == "--version-after") {
            o->versionAfter = value;
        } else if (name == "--save") {
            o->savePath = value;
        } else if (name == "--exit-after") {
            if (!parseUnsigned(value, 3600, &number)) return fail("--exit-after: 0 to 3600 seconds");
            o->exitAfterSeconds = static_cast<int>(number);
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
        } else {
            return fail("unknown option " + name);
        }
    }
    if (o->user.empty() != o->password.empty()) return fail("--user and --password go together");
    const std::string* facts[] = {&o->productName, &o->softwareVersion, &o->hardwareVersion, &o->versionAfter};
    for (const std::string* fact : facts)
        if (fact->size() > 127) return fail("a fact is longer than 127 characters");
    return true;
}
