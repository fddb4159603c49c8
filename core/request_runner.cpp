#include "core/request_runner.h"

#include <atomic>
#include <new>

#include "base/debug_trace.h"
#include "base/text.h"
#include "core/exchange_results.h"
#include "core/questions.h"
#include "net/http/http_exchange.h"
#include "platform/platform_thread.h"

namespace {

const unsigned kTickMs = 10;
const uint32_t kResponseCapacity = 131071;  // leaves room for the NUL

// Everything the worker touches is its own: made anew for each attempt and
// freed by the last of the two to be done with it, since a Cancel leaves
// the worker behind.
struct RequestArgs {
    uint32_t localAddress;
    uint16_t localPort;
    uint32_t targetAddress;
    uint16_t targetPort;
    char path[192];
    HttpTimeouts timeouts;
    DigestChallenge digest;
    DeviceFacts factsBefore;
    DeviceFacts facts;
    HttpSession session;
    std::atomic<int> holders{2};
    uint8_t buffer[kResponseCapacity + 1];
};

void letGo(RequestArgs* args) {
    if (args->holders.fetch_sub(1) == 1) delete args;
}

int exchange(RequestArgs* args) {
    return httpGet(args->localAddress, args->localPort, args->targetAddress, args->targetPort, args->path, args->buffer,
                   static_cast<int>(kResponseCapacity), &args->session);
}

int requestWorker(void* raw) {
    RequestArgs* args = static_cast<RequestArgs*>(raw);
    int result = exchange(args);
    letGo(args);
    return result;
}

RequestArgs* prepare(const Run& run, uint32_t targetAddress, uint16_t targetPort, const char* path,
                     const HttpTimeouts* bounds = nullptr) {
    RequestArgs* args = new (std::nothrow) RequestArgs;
    if (!args) return nullptr;
    const UpgradeContext& c = run.context();
    args->localAddress = c.localAddress;
    args->localPort = run.options().localHttpPort;
    args->targetAddress = targetAddress;
    args->targetPort = targetPort;
    copyText(args->path, sizeof args->path, path);
    args->timeouts = bounds ? *bounds : run.httpTimeouts();
    args->digest = c.digest.get();
    args->factsBefore = c.deviceFacts.get();
    args->facts = args->factsBefore;
    args->session = HttpSession{&args->digest, &args->facts, HttpFailure::None, 0, args->timeouts};
    return args;
}

// What the worker learnt becomes the run's; challenged: a 401 came.
void takeResults(Run& run, const RequestArgs& args, bool challenged) {
    UpgradeContext& c = run.context();
    c.deviceFacts.update([&](DeviceFacts& facts) { takeExchangeFacts(facts, args.factsBefore, args.facts); });
    c.digest.update([&](DigestChallenge& digest) { takeExchangeDigest(digest, args.digest, challenged); });
}

// The worker's failures to connect, decided here on the caller's thread.
void stopOnConnectionFailure(Run& run, HttpFailure failure, bool connectFailureIsSilence) {
    switch (failure) {
        case HttpFailure::None: return;
        case HttpFailure::SocketFailed: run.stop(RunOutcome::HttpSocketFailed);
        case HttpFailure::BindFailed: run.stop(RunOutcome::HttpBindFailed);
        case HttpFailure::ConnectFailed:
            if (run.profile().connectFailureEndsRun && !connectFailureIsSilence)
                run.stop(RunOutcome::HttpConnectFailed);
            return;
    }
}

// In an orbflash recovery the connecting view stands for the search,
// whoever opened it.
[[noreturn]] void stopCancelled(Run& run) {
    bool search = run.profile().kind == ProgramKind::Flash && run.context().mode == RunMode::Recovery;
    run.stop(search ? RunOutcome::SearchCancelled : RunOutcome::UserAbort);
}

// The facts this exchange's page held, and only those.
void replyOf(const RequestArgs& args, RequestReply* reply) {
    reply->status = args.session.statusCode;
    reply->found = args.session.factsFound;
    reply->challengeUsable = args.session.challengeUsable;
    reply->whole = args.session.answerWhole;
    reply->facts = DeviceFacts{};
    const DeviceFacts& read = args.facts;
    DeviceFacts& out = reply->facts;
    if (reply->found & kFactProduct) copyText(out.productName, sizeof out.productName, read.productName);
    if (reply->found & kFactMac) copyText(out.macAddress, sizeof out.macAddress, read.macAddress);
    if (reply->found & kFactSoftware) copyText(out.softwareVersion, sizeof out.softwareVersion, read.softwareVersion);
    if (reply->found & kFactHardware) copyText(out.hardwareVersion, sizeof out.hardwareVersion, read.hardwareVersion);
    if (reply->found & kFactSerial) copyText(out.serialNumber, sizeof out.serialNumber, read.serialNumber);
}

// One exchange behind the connecting view: its byte count (or -1 for a
// challenge), with the session's failure and what the answer said;
// *emptyUriRefused: a 400 to credentials sent with the empty uri.
int attempt(Run& run, RequestArgs* args, const RequestManner* stopOnFailure, HttpFailure* failure, RequestReply* reply,
            bool* emptyUriRefused) {
    OpenView view(run, ViewKind::Connecting);
    OrbThread* worker = threadStart(requestWorker, args);
    int result;
    if (worker) {
        for (uint32_t ticks = 0; !threadWaitEnded(worker, kTickMs);) {
            if (view.cancelled()) {
                // The worker is not waited for: it may be stuck on a silent
                // device, and holds nothing of the run's.
                threadDetach(worker);
                letGo(args);
                view.close();
                stopCancelled(run);
            }
            view.step(RunStep{.kind = StepKind::Tick, .done = ticks++});
        }
        result = threadResult(worker);
        threadRelease(worker);
    } else {
        // No thread to be had: the exchange runs here, unpumped, rather
        // than passing "nothing received" off as the device's answer.
        result = exchange(args);
        letGo(args);
    }
    *failure = args->session.failure;
    *emptyUriRefused =
        result >= 0 && args->session.statusCode == 400 && args->session.authorized && !args->digest.uriIsRequestTarget;
    replyOf(*args, reply);
    takeResults(run, *args, result < 0);
    letGo(args);
    if (stopOnFailure) stopOnConnectionFailure(run, *failure, stopOnFailure->connectFailureIsSilence);
    return result;
}

void useRequestTargetUri(Run& run, bool on) {
    run.context().digest.update([on](DigestChallenge& digest) { digest.uriIsRequestTarget = on; });
}

// One exchange, sent once more in RFC 2617's form (the request's own uri)
// when the device answered 400 to credentials with the empty uri that
// devices take; that form stays the run's unless it is answered 400 too. A
// 401 is never sent again so: it may refuse the password, and a device may
// lock the account after a few.
int attemptInEitherForm(Run& run, uint32_t targetAddress, uint16_t targetPort, const char* path,
                        const HttpTimeouts* bounds, const RequestManner* stopOnFailure, HttpFailure* failure,
                        RequestReply* reply) {
    for (bool secondForm = false;; secondForm = true) {
        RequestArgs* args = prepare(run, targetAddress, targetPort, path, bounds);
        if (!args) run.stop(RunOutcome::HttpSocketFailed);
        bool emptyUriRefused = false;
        int result = attempt(run, args, stopOnFailure, failure, reply, &emptyUriRefused);
        if (emptyUriRefused && !secondForm) {
            debugTrace("HTTP 400 to the empty Digest uri: sending the request's own\n");
            useRequestTargetUri(run, true);
            continue;
        }
        if (secondForm && result >= 0 && reply->status == 400) useRequestTargetUri(run, false);
        return result;
    }
}

}  // namespace

int runRequest(Run& run, uint32_t targetAddress, uint16_t targetPort, const char* path, RequestReply* reply,
               const RequestManner& manner) {
    int silentRetries = 0;
    for (;;) {
        HttpFailure failure = HttpFailure::None;
        RequestReply answered;
        int result =
            attemptInEitherForm(run, targetAddress, targetPort, path, manner.bounds, &manner, &failure, &answered);
        if (reply) *reply = answered;
        if (result >= 0) return result;
        if (manner.unusableChallengeIsAnswer && !answered.challengeUsable) return 0;

        // A fresh nonce with credentials we already have: try once more unasked.
        const DigestChallenge digest = run.context().digest.get();
        if (digest.password[0] != '\0' && digest.nonceCount == 0 && silentRetries == 0) {
            ++silentRetries;
            continue;
        }
        askCredentials(run);
        silentRetries = 0;
    }
}

int exchangeOnce(Run& run, uint32_t targetAddress, uint16_t targetPort, const char* path, HttpFailure* failure,
                 int* httpStatus) {
    RequestReply reply;
    int result = attemptInEitherForm(run, targetAddress, targetPort, path, nullptr, nullptr, failure, &reply);
    *httpStatus = reply.status;
    return result;
}
