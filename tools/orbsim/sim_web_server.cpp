#include "tools/orbsim/sim_web_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "net/address_utils.h"
#include "tools/orbsim/sim_digest_guard.h"
#include "tools/orbsim/sim_log.h"
#include "tools/orbsim/sim_pages.h"
#include "tools/orbsim/sim_trigger.h"
#include "tools/orbsim/sim_upgrade.h"

namespace {

using Clock = std::chrono::steady_clock;

const size_t kMaxRequest = 16384;
const int kRequestTimeoutMs = 5000;

struct HttpRequest {
    std::string method;
    std::string path;
    bool hasAuthorization = false;
    std::string authorization;
    std::vector<std::string> headerLines;  // as received, for --log-headers
};

// An answer before it is written out.
struct HttpAnswer {
    int status = 200;
    std::vector<HttpHeader> headers;
    std::string body;
};

int openListener(uint32_t address, uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    int on = 1;
    // Coming back from a restart must not wait for old connections to time out.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local;
    makeSockaddr(address, port, &local);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sleeps while the device stays up; false once it stops or goes down.
bool sleepWhileUp(const SimState& state, unsigned ms) {
    for (unsigned slept = 0; slept < ms && state.webUp; slept += 50)
        if (!simSleep(state, ms - slept < 50 ? ms - slept : 50)) return false;
    return state.webUp;
}

// A rebooting device's connections vanish: the client meets a reset, not
// an orderly close.
void dropConnection(int fd) {
    linger abort{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(fd);
}

// Reads up to the empty line that ends the header, within a time and size bound.
bool readRequestHead(int fd, const SimState& state, std::string* head) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    char chunk[2048];
    while (head->find("\r\n\r\n") == std::string::npos && head->size() < kMaxRequest) {
        if (state.stop || !state.webUp || Clock::now() >= deadline) return false;
        pollfd waiter{fd, POLLIN, 0};
        if (poll(&waiter, 1, 50) <= 0) continue;
        ssize_t got = recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) return false;
        head->append(chunk, static_cast<size_t>(got));
    }
    return head->find("\r\n\r\n") != std::string::npos;
}

bool parseRequest(const std::string& head, HttpRequest* request) {
    size_t lineEnd = head.find("\r\n");
    std::string line = head.substr(0, lineEnd);
    size_t firstSpace = line.find(' ');
    size_t secondSpace = line.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
    request->method = line.substr(0, firstSpace);
    request->path = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    if (line.compare(secondSpace + 1, 5, "HTTP/") != 0) return false;
    size_t at = lineEnd + 2;
    while (at < head.size()) {
        size_t end = head.find("\r\n", at);
        if (end == std::string::npos || end == at) break;
        std::string header = head.substr(at, end - at);
        request->headerLines.push_back(header);
        size_t colon = header.find(':');
        if (colon == 13 && strncasecmp(header.c_str(), "Authorization", 13) == 0) {
            size_t value = header.find_first_not_of(" \t", colon + 1);
            request->hasAuthorization = true;
            request->authorization = value == std::string::npos ? "" : header.substr(value);
        }
        at = end + 2;
    }
    return true;
}

bool sendAll(int fd, const char* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

HttpStyle styleOf(const SimOptions& o) {
    HttpStyle style;
    style.http10 = o.http10;
    style.headerCase = o.headerCase == "lower" ? 1 : o.headerCase == "upper" ? 2 : 0;
    style.chunked = o.httpChunked;
    return style;
}

// Writes the answer as the options say: chunked, trickled. With
// --http-hold the caller keeps the connection open afterwards. True when
// the whole answer went out: every byte, but the empty line after the last
// chunk, which a reader need not wait for.
bool sendAnswer(SimState* state, int fd, const HttpAnswer& answer) {
    const SimOptions& o = state->options;
    int chunks = 0;
    std::string bytes = httpResponse(answer.status, answer.headers, answer.body, styleOf(o), &chunks);
    if (chunks) simLog("http: body sent chunked in %d chunks", chunks);
    const size_t needed = chunks ? bytes.size() - 2 : bytes.size();
    if (o.httpTrickleMs) {
        simLog("http: trickling %zu bytes, one every %u ms", bytes.size(), o.httpTrickleMs);
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i && !sleepWhileUp(*state, o.httpTrickleMs)) return i >= needed;
            if (!sendAll(fd, &bytes[i], 1)) {
                simLog("http: the client left after %zu of %zu bytes", i, bytes.size());
                return i >= needed;
            }
        }
    } else if (!sendAll(fd, bytes.data(), bytes.size())) {
        return false;
    }
    if (o.httpHoldSeconds) simLog("http: answer sent, holding the connection open for %u s", o.httpHoldSeconds);
    return true;
}

HttpAnswer plainAnswer(int status, const std::string& body) {
    HttpAnswer answer;
    answer.status = status;
    answer.body = body;
    return answer;
}

std::string locationOf(const SimOptions& o) {
    return o.location.empty() ? "http://" + simDotted(o.address) + "/login" : o.location;
}

// A redirect carries a Location, whatever else the answer is.
void addLocation(const SimOptions& o, HttpAnswer* answer) {
    if (answer->status >= 300 && answer->status < 400) answer->headers.push_back({"Location", locationOf(o)});
}

PageFacts currentFacts(SimState* state, PageShown* shown = nullptr) {
    const SimOptions& o = state->options;
    PageFacts facts{o.productName, o.macText.empty() ? o.macAddress : o.macText, currentVersion(state),
                    o.hardwareVersion, o.serialNumber};
    if (shown) *shown = PageShown::Own;
    if (!o.impostorSerial.empty() && state->bootCount > 0) {
        if (shown) *shown = PageShown::Other;
        // Another device has the address now: its own serial and MAC.
        facts.serialNumber = o.impostorSerial;
        facts.macAddress = o.impostorMac;
    }
    return facts;
}

// The status page's body: after a restart it may lack its facts. shown
// and version say what it holds.
std::string statusBody(SimState* state, PageShown* shown, std::string* version) {
    const std::string& kind = state->options.afterRestartPage;
    *shown = PageShown::Nothing;
    if (kind == "empty" && state->bootCount > 0) return "";
    if (kind == "garbage" && state->bootCount > 0) return "\x01\x7f<<>>garbage Software Version 9.9.9 Serial\r\n";
    PageFacts facts = currentFacts(state, shown);
    *version = facts.softwareVersion;
    if (kind.empty() || state->bootCount == 0) return statusPage(facts);
    if (*shown == PageShown::Own) *shown = PageShown::OwnWithoutVersion;
    std::string page = statusPage(facts);
    const std::string label = "<tr><td>Software Version:</td><td>" + facts.softwareVersion + "</td></tr>\r\n";
    const size_t at = page.find(label);
    if (at != std::string::npos) page.erase(at, label.size());
    return page;
}

// What became of a guarded request's credentials, for the record.
void noteCredentials(SimState* state, const GuardVerdict& verdict, bool sent) {
    const std::string& why = verdict.reason;
    noteTruth(state, [&](SimTruth& truth) {
        if (verdict.outcome == GuardOutcome::Accepted)
            ++truth.accepted;
        else if (!sent)
            ++truth.asked;
        else if (why == "wrong user" || why == "wrong response" || why == "refusing everything")
            ++truth.refused;
        else if (why == "stale nonce")
            ++truth.renewed;
        else
            ++truth.faulty;
    });
}

bool isStatusRead(const HttpRequest& request) { return request.method == "GET" && request.path == "/admin/advanced"; }

// The answer a guarded or open request gets; "what" is for the log, shown
// and version what a status page holds (nothing for any other answer).
HttpAnswer answer(SimState* state, const HttpRequest& request, std::string* what, PageShown* shown,
                  std::string* version) {
    const SimOptions& o = state->options;
    if (request.method != "GET") {
        *what = "501";
        return plainAnswer(501, notImplementedPage());
    }
    if (request.path == "/admin/advanced") {
        HttpAnswer page = plainAnswer(200, statusBody(state, shown, version));
        if (o.afterRestartStatus && state->bootCount > 0) {
            page.status = o.afterRestartStatus;
            if (page.status < 200 || page.status > 299) *shown = PageShown::Nothing;
            addLocation(o, &page);
            *what = std::to_string(page.status) + " (after the restart, facts in the body)";
            return page;
        }
        *what = "200";
        return page;
    }
    if (isUpgradePath(request.path)) {
        UpgradeTrigger trigger;
        if (!parseUpgradeTrigger(request.path, &trigger)) {
            *what = "400 (malformed trigger)";
            return plainAnswer(400, badTriggerPage());
        }
        UpgradeSource source{trigger.serverAddress, trigger.serverPort, trigger.fileName, false};
        noteTruth(state, [](SimTruth& truth) { ++truth.triggers; });
        *what =
            std::to_string(o.triggerStatus) + (startUpgrade(state, source) ? " (upgrade started)" : " (busy, ignored)");
        HttpAnswer started = plainAnswer(o.triggerStatus, upgradeStartedPage());
        addLocation(o, &started);
        return started;
    }
    *what = "404";
    return plainAnswer(404, notFoundPage());
}

void serveConnection(SimState* state, DigestGuard* guard, bool guarded, int fd) {
    const SimOptions& o = state->options;
    std::string head;
    if (!readRequestHead(fd, *state, &head)) {
        simLog("connection closed without a whole request");
        return;
    }
    HttpRequest request;
    bool parsed = parseRequest(head, &request);
    if (o.logHeaders) {
        simLog("http: request line \"%s\"", simEscape(head.substr(0, head.find("\r\n"))).c_str());
        for (const std::string& line : request.headerLines) simLog("http: header \"%s\"", simEscape(line).c_str());
    }
    if (!parsed) {
        simLog("malformed request -> 400");
        sendAnswer(state, fd, plainAnswer(400, badTriggerPage()));
        return;
    }
    std::string shownPath = simEscape(request.path);
    const char* shown = shownPath.c_str();
    if (o.httpClose || (o.muteAfterRestart && state->bootCount > 0)) {
        simLog("%s %s -> closed without an answer", request.method.c_str(), shown);
        return;
    }
    if (o.httpHangSeconds) {
        simLog("%s %s -> holding the connection for %u s", request.method.c_str(), shown, o.httpHangSeconds);
        sleepWhileUp(*state, o.httpHangSeconds * 1000);
        simLog("letting the held connection go");
        return;
    }
    if (o.afterRestartBasic401 && state->bootCount > 0 && isStatusRead(request)) {
        // The restarted device asks for Basic credentials and shows its facts anyway.
        HttpAnswer basic = plainAnswer(401, statusPage(currentFacts(state)));
        basic.headers.push_back({"WWW-Authenticate", "Basic realm=\"" + o.realm + "\""});
        simLog("%s %s -> 401 (Basic challenge after the restart, facts in the body)", request.method.c_str(), shown);
        sendAnswer(state, fd, basic);
        return;
    }
    if (guarded) {
        GuardVerdict verdict =
            guardCheck(guard, request.method.c_str(),
                       request.hasAuthorization ? request.authorization.c_str() : nullptr, request.path.c_str());
        if (verdict.outcome == GuardOutcome::BadRequest) {
            simLog("%s %s -> 400 (%s)", request.method.c_str(), shown, simEscape(verdict.reason).c_str());
            sendAnswer(state, fd, plainAnswer(400, badRequestPage()));
            return;
        }
        // A uri in the other form is no verdict on the credentials.
        noteCredentials(state, verdict, request.hasAuthorization);
        if (verdict.outcome == GuardOutcome::Challenge) {
            HttpAnswer refusal = plainAnswer(401, unauthorizedPage());
            refusal.headers.push_back({"WWW-Authenticate", guardChallenge(guard, verdict.stale)});
            simLog("%s %s -> 401 (%s%s)", request.method.c_str(), shown, verdict.reason.c_str(),
                   verdict.newNonce ? ", new nonce" : "");
            sendAnswer(state, fd, refusal);
            return;
        }
    }
    std::string what, version;
    PageShown page = PageShown::Nothing;
    HttpAnswer reply = answer(state, request, &what, &page, &version);
    simLog("%s %s -> %s", request.method.c_str(), shown, what.c_str());
    if (sendAnswer(state, fd, reply) && page != PageShown::Nothing)
        noteTruth(state, [&](SimTruth& truth) { notePage(&truth, page, version); });
}

struct HeldConnection {
    int fd;
    Clock::time_point closeAt;
};

// Closes the held connections that are due, or all of them.
void releaseHeld(std::vector<HeldConnection>* held, bool all) {
    auto now = Clock::now();
    for (size_t i = 0; i < held->size();) {
        if (!all && now < (*held)[i].closeAt) {
            ++i;
            continue;
        }
        shutdown((*held)[i].fd, SHUT_WR);
        close((*held)[i].fd);
        simLog("http: closing the held connection");
        held->erase(held->begin() + static_cast<long>(i));
    }
}

}  // namespace

void runWebServer(SimState* state) {
    simLogSetPrefix(state->logPrefix);
    const SimOptions& o = state->options;
    const bool guarded = !o.user.empty() || o.always401;
    DigestGuardSettings settings;
    settings.user = o.user;
    settings.password = o.password;
    settings.realm = o.realm;
    settings.qop = o.qop;
    settings.algorithm = o.algorithm;
    settings.algorithmUnquoted = o.algorithmUnquoted;
    settings.opaque = o.opaque;
    settings.nonceEvery = o.nonceEvery;
    settings.always401 = o.always401;
    settings.fixedNonce = o.fixedNonce;
    settings.nonce = o.nonce;
    settings.strictUri = o.strictUri;
    DigestGuard guard;
    guardStart(&guard, settings);
    unsigned boot = state->bootCount;
    if (o.fixedNonce) simLog("http: every challenge carries the nonce \"%s\"", simEscape(o.nonce).c_str());
    if (o.http10) simLog("http: status lines say HTTP/1.0");
    if (!o.headerCase.empty()) simLog("http: header names in %s case", o.headerCase.c_str());

    std::vector<HeldConnection> held;
    int listener = -1;
    bool everListened = false;
    bool bindFailureShown = false;
    while (!state->stop) {
        releaseHeld(&held, false);
        if (!state->webUp) {
            for (const HeldConnection& connection : held) dropConnection(connection.fd);
            held.clear();
            if (listener >= 0) {
                close(listener);
                listener = -1;
                state->webListening = false;
                simLog("web server down");
            }
            simSleep(*state, 50);
            continue;
        }
        if (boot != state->bootCount) {
            // A restarted device knows none of the nonces it gave out before.
            boot = state->bootCount;
            guardRenewNonce(&guard);
        }
        if (listener < 0) {
            listener = openListener(o.address, o.httpPort);
            if (listener < 0 && !everListened) {
                simLog("cannot listen on %s:%u: %s", simDotted(o.address).c_str(), o.httpPort, std::strerror(errno));
                armExit(state, 0, 2);
                break;
            }
            if (listener < 0) {
                if (!bindFailureShown)
                    simLog("cannot listen on %s:%u: %s", simDotted(o.address).c_str(), o.httpPort,
                           std::strerror(errno));
                bindFailureShown = true;
                simSleep(*state, 500);
                continue;
            }
            bindFailureShown = false;
            everListened = true;
            state->webListening = true;
            simLog("web server listening on %s:%u", simDotted(o.address).c_str(), o.httpPort);
        }
        pollfd waiter{listener, POLLIN, 0};
        if (poll(&waiter, 1, 50) <= 0) continue;
        int connection = accept(listener, nullptr, nullptr);
        if (connection < 0) continue;
        serveConnection(state, &guard, guarded, connection);
        if (!state->webUp) {
            dropConnection(connection);
            continue;
        }
        if (o.httpHoldSeconds) {
            // Held open past the answer, while other requests are served.
            held.push_back({connection, Clock::now() + std::chrono::seconds(o.httpHoldSeconds)});
            continue;
        }
        // Everything sent; the client reads until the close.
        shutdown(connection, SHUT_WR);
        close(connection);
    }
    releaseHeld(&held, true);
    if (listener >= 0) close(listener);
    state->webListening = false;
}
