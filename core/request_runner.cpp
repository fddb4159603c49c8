#include "core/request_runner.h"

#include "core/upgrade_context.h"
#include "net/http/http_exchange.h"
#include "platform/platform_clock.h"
#include "platform/platform_process.h"
#include "platform/platform_thread.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"

namespace {

// Handed to the worker; filled anew before each attempt.
struct RequestArgs {
    void* instance;
    uint32_t localAddress;
    uint16_t localPort;
    uint32_t targetAddress;
    uint16_t targetPort;
    const char* path;
    uint8_t* buffer;
    int capacity;
};

int requestWorker(void* raw) {
    const RequestArgs* args = static_cast<const RequestArgs*>(raw);
    return httpGet(args->localAddress, args->localPort, args->targetAddress, args->targetPort, args->path, args->buffer,
                   args->capacity);
}

}  // namespace

int runRequest(void* instance, uint32_t localAddress, uint16_t localPort, uint32_t targetAddress, uint16_t targetPort,
               const char* path, uint8_t* buffer, int capacity) {
    unsigned position = 0;
    unsigned cycle = 0;
    int silentRetries = 0;
    for (;;) {
        RequestArgs args{instance, localAddress, localPort, targetAddress, targetPort, path, buffer, capacity};
        ProgressWindow* window = openProgressWindow(IDD_CONNECTING);
        OrbThread* worker = threadStart(requestWorker, &args);
        int result;
        if (worker) {
            // Poll, so that the bar moves and Cancel works while the worker blocks.
            while (!threadHasEnded(worker)) {
                pumpProgressMessage(window);
                sleepMillis(1);
                if (++cycle == 10) {
                    setProgressPosition(window, position);
                    position = position >= 100 ? 0 : position + 1;
                    cycle = 0;
                }
            }
            result = threadResult(worker);
            threadRelease(worker);
        } else {
            // No thread to be had: the exchange runs here, unpumped, rather
            // than passing "nothing received" off as the device's answer.
            result = requestWorker(&args);
        }
        destroyProgressWindow(window);
        if (result >= 0) return result;

        // A fresh nonce with credentials we already have: try once more unasked.
        if (gContext.digest.password[0] != '\0' && gContext.digest.nonceCount == 0 && silentRetries == 0) {
            ++silentRetries;
            continue;
        }
        if (showDialog(IDD_PASSWORD) == 0) {
            ShowErrorBox("Upgrade Failed: User Abort");
            endProcess();
        }
        silentRetries = 0;
    }
}
