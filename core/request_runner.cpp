#include "core/request_runner.h"

#include <atomic>

#include "core/program_profile.h"
#include "core/run_end.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/http_exchange.h"
#include "platform/platform_thread.h"
#include "ui/progress.h"
#include "ui/wizard.h"

namespace {

// The bar moves one step per tick and starts again after 100: it shows
// activity, not progress.
const unsigned kTickMs = 10;
const unsigned kBarMaximum = 100;

// Handed to the worker; made anew for each attempt. A Cancel leaves the
// worker behind, so the last of the two to be done with it frees it.
struct RequestArgs {
    uint32_t localAddress;
    uint16_t localPort;
    uint32_t targetAddress;
    uint16_t targetPort;
    char path[192];
    uint8_t* buffer;
    int capacity;
    HttpSession session;
    std::atomic<int> holders;
};

void letGo(RequestArgs* args) {
    if (args->holders.fetch_sub(1) == 1) delete args;
}

int exchange(RequestArgs* args) {
    return httpGet(args->localAddress, args->localPort, args->targetAddress, args->targetPort, args->path, args->buffer,
                   args->capacity, &args->session);
}

int requestWorker(void* raw) {
    RequestArgs* args = static_cast<RequestArgs*>(raw);
    int result = exchange(args);
    letGo(args);
    return result;
}

// The worker's failures to connect, decided here on the caller's thread.
void endOnConnectionFailure(HttpFailure failure) {
    switch (failure) {
        case HttpFailure::None: return;
        case HttpFailure::SocketFailed: endRun(RunOutcome::HttpSocketFailed);
        case HttpFailure::BindFailed: endRun(RunOutcome::HttpBindFailed);
        case HttpFailure::ConnectFailed:
            if (gProgram->connectFailureEndsRun) endRun(RunOutcome::HttpConnectFailed);
            return;
    }
}

}  // namespace

void connectingTitle(char* out, unsigned size) { formatText(out, size, "Connecting with ORB@%s", gContext.targetText); }

void cancelConnecting() {
    bool search = gProgram->kind == ProgramKind::Flash && gContext.mode == RunMode::Recovery;
    endRun(search ? RunOutcome::SearchCancelled : RunOutcome::UserAbort);
}

int runRequest(void*, uint32_t localAddress, uint16_t localPort, uint32_t targetAddress, uint16_t targetPort,
               const char* path, uint8_t* buffer, int capacity, int* httpStatus) {
    unsigned position = 0;
    int silentRetries = 0;
    for (;;) {
        RequestArgs* args = new RequestArgs{localAddress,
                                            localPort,
                                            targetAddress,
                                            targetPort,
                                            "",
                                            buffer,
                                            capacity,
                                            HttpSession{&gContext.digest, &gContext.deviceFacts, HttpFailure::None},
                                            2};
        copyText(args->path, sizeof args->path, path);
        char title[64];
        connectingTitle(title, sizeof title);
        ProgressView* view = openProgress(ProgressKind::Connecting, title);
        setProgressRange(view, kBarMaximum);
        OrbThread* worker = threadStart(requestWorker, args);
        int result;
        if (worker) {
            while (!threadWaitEnded(worker, kTickMs)) {
                if (progressCancelled(view)) {
                    // The worker is not waited for: it may be stuck on a silent device.
                    threadDetach(worker);
                    letGo(args);
                    closeProgress(view);
                    cancelConnecting();
                }
                setProgressPosition(view, position);
                position = position >= kBarMaximum ? 0 : position + 1;
            }
            result = threadResult(worker);
            threadRelease(worker);
        } else {
            // No thread to be had: the exchange runs here, unpumped, rather
            // than passing "nothing received" off as the device's answer.
            result = exchange(args);
            letGo(args);
        }
        HttpFailure failure = args->session.failure;
        if (httpStatus) *httpStatus = args->session.statusCode;
        letGo(args);
        endOnConnectionFailure(failure);
        closeProgress(view);
        if (result >= 0) return result;

        // A fresh nonce with credentials we already have: try once more unasked.
        if (gContext.digest.password[0] != '\0' && gContext.digest.nonceCount == 0 && silentRetries == 0) {
            ++silentRetries;
            continue;
        }
        if (showDialog(Dialog::Password) == 0) endRun(RunOutcome::UserAbort);
        silentRetries = 0;
    }
}
