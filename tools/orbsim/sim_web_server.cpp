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

#include "net/http/address_utils.h"
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

// Reads up to the empty line that ends the header, within a time and size bound.
bool readRequestHead(int fd, const SimState& state, std::string* head) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
    char chunk[2048];
    while (head->find("\r\n\r\n") == std::string::npos && head->size() < kMaxRequest) {
        if (state.stop || Clock::now() >= deadline) return false;
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

void sendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

PageFacts currentFacts(SimState* state) {
    const SimOptions& o = state->options;
    return PageFacts{o.productName, o.macAddress, currentVersion(state), o.hardwareVersion, o.serialNumber};
}

// The page a guarded or open request gets; "what" is for the log.
std::string answer(SimState* state, const HttpRequest& request, std::string* what) {
    if (request.method != "GET") {
        *what = "501";
        return httpResponse(501, "", notImplementedPage());
    }
    if (request.path == "/admin/advanced") {
        *what = "200";
        return httpResponse(200, "", statusPage(currentFacts(state)));
    }
    if (isUpgradePath(request.path)) {
        UpgradeTrigger trigger;
        if (!parseUpgradeTrigger(request.path, &trigger)) {
            *what = "400 (malformed trigger)";
            return httpResponse(400, "", badTriggerPage());
        }
        UpgradeSource source{trigger.serverAddress, trigger.serverPort, trigger.fileName, false};
        *what = startUpgrade(state, source) ? "200 (upgrade started)" : "200 (busy, ignored)";
        return httpResponse(200, "", upgradeStartedPage());
    }
    *what = "404";
    return httpResponse(404, "", notFoundPage());
}

void serveConnection(SimState* state, DigestGuard* guard, bool guarded, int fd) {
    const SimOptions& o = state->options;
    std::string head;
    if (!readRequestHead(fd, *state, &head)) {
        simLog("connection closed without a whole request");
        return;
    }
    HttpRequest request;
    if (!parseRequest(head, &request)) {
        simLog("malformed request -> 400");
        sendAll(fd, httpResponse(400, "", badTriggerPage()));
        return;
    }
    const char* shown = request.path.c_str();
    if (o.httpClose || (o.muteAfterRestart && state->bootCount > 0)) {
        simLog("%s %s -> closed without an answer", request.method.c_str(), shown);
        return;
    }
    if (o.httpHangSeconds) {
        simLog("%s %s -> holding the connection for %u s", request.method.c_str(), shown, o.httpHangSeconds);
        simSleep(*state, o.httpHangSeconds * 1000);
        simLog("letting the held connection go");
        return;
    }
    if (guarded) {
        GuardVerdict verdict = guardCheck(guard, request.method.c_str(),
                                          request.hasAuthorization ? request.authorization.c_str() : nullptr);
        if (verdict.outcome == GuardOutcome::Challenge) {
            std::string line = guardChallengeLine(guard, verdict.stale);
            simLog("%s %s -> 401 (%s%s)", request.method.c_str(), shown, verdict.reason.c_str(),
                   verdict.newNonce ? ", new nonce" : "");
            sendAll(fd, httpResponse(401, line, unauthorizedPage()));
            return;
        }
    }
    std::string what;
    std::string response = answer(state, request, &what);
    simLog("%s %s -> %s", request.method.c_str(), shown, what.c_str());
    sendAll(fd, response);
}

}  // namespace

void runWebServer(SimState* state) {
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
    DigestGuard guard;
    guardStart(&guard, settings);
    unsigned boot = state->bootCount;

    int listener = -1;
    bool everListened = false;
    bool bindFailureShown = false;
    while (!state->stop) {
        if (!state->webUp) {
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
        // Everything sent; the client reads until the close.
        shutdown(connection, SHUT_WR);
        close(connection);
    }
    if (listener >= 0) close(listener);
    state->webListening = false;
}
