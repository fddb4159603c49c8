// orbsim: a simulated ORB device on a loopback address, so the programs can
// be tried end to end without hardware. See printSimUsage for the options.
#include <csignal>
#include <cstdio>
#include <thread>

#include "tools/orbsim/sim_log.h"
#include "tools/orbsim/sim_options.h"
#include "tools/orbsim/sim_recovery_responder.h"
#include "tools/orbsim/sim_state.h"
#include "tools/orbsim/sim_upgrade.h"
#include "tools/orbsim/sim_web_server.h"

namespace {

std::atomic<bool> gSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void onSignal(int) { gSignalled = true; }

void catchSignals() {
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    simLogStart();
    SimState state;
    bool help = false;
    std::string error;
    if (!parseSimOptions(argc, argv, &state.options, &help, &error)) {
        std::fprintf(stderr, "orbsim: %s\n", error.c_str());
        printSimUsage(stderr);
        return 2;
    }
    if (help) {
        printSimUsage(stdout);
        return 0;
    }
    catchSignals();
    const SimOptions& o = state.options;
    setCurrentVersion(&state, o.softwareVersion);
    state.inRecovery = o.recovery;
    state.webUp = !o.recovery;
    simLog("device %s, serial %s, software version %s at %s%s", o.productName.c_str(), o.serialNumber.c_str(),
           o.softwareVersion.c_str(), simDotted(o.address).c_str(),
           o.user.empty() ? ", pages open" : ", pages guarded by Digest");

    std::thread web(runWebServer, &state);
    std::thread responder;
    if (o.recovery) responder = std::thread(runRecoveryResponder, &state);

    int exitCode = 0;
    while (true) {
        if (gSignalled) {
            simLog("stopping on a signal");
            break;
        }
        if (exitDue(&state, &exitCode)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    state.stop = true;
    web.join();
    if (responder.joinable()) responder.join();
    joinUpgrade(&state);
    simLog("exit %d", exitCode);
    return exitCode;
}
