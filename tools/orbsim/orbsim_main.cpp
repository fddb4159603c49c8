// orbsim: a simulated ORB device on a loopback address, so the programs can
// be tried end to end without hardware; with --count, a fleet of them in one
// process. See printSimUsage for the options.
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "tools/orbsim/sim_log.h"
#include "tools/orbsim/sim_options.h"
#include "tools/orbsim/sim_recovery_responder.h"
#include "tools/orbsim/sim_state.h"
#include "tools/orbsim/sim_truth.h"
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

struct Device {
    SimState state;
    std::thread web;
    std::thread responder;
};

void startDevice(Device* device) {
    SimState& state = device->state;
    const SimOptions& o = state.options;
    setCurrentVersion(&state, o.softwareVersion);
    state.inRecovery = o.recovery;
    state.webUp = !o.recovery;
    simLogSetPrefix(state.logPrefix);
    simLog("device %s, serial %s, software version %s at %s%s", simEscape(o.productName).c_str(),
           simEscape(o.serialNumber).c_str(), simEscape(o.softwareVersion).c_str(), simDotted(o.address).c_str(),
           o.user.empty() ? ", pages open" : ", pages guarded by Digest");
    simLogSetPrefix("");
    device->web = std::thread(runWebServer, &state);
    if (o.recovery) device->responder = std::thread(runRecoveryResponder, &state);
}

// A device that cannot listen ends the run at once with its code (2);
// otherwise the run ends once every device's exit is due, with the highest code.
bool fleetExitDue(std::vector<std::unique_ptr<Device>>& devices, int* exitCode) {
    int highest = 0;
    bool all = true;
    for (auto& device : devices) {
        int code = 0;
        if (!exitDue(&device->state, &code)) {
            all = false;
            continue;
        }
        if (code == 2) {
            *exitCode = 2;
            return true;
        }
        if (code > highest) highest = code;
    }
    if (all) *exitCode = highest;
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    simLogStart();
    SimFleet fleet;
    bool help = false;
    std::string error;
    if (!parseSimFleet(argc, argv, &fleet, &help, &error)) {
        std::fprintf(stderr, "orbsim: %s\n", error.c_str());
        printSimUsage(stderr);
        return 2;
    }
    if (help) {
        printSimUsage(stdout);
        return 0;
    }
    simLogShowTimes(fleet.logTimes);
    catchSignals();
    const bool isFleet = fleet.devices.size() > 1;
    std::vector<std::unique_ptr<Device>> devices;
    for (const SimOptions& options : fleet.devices) {
        devices.emplace_back(new Device);
        devices.back()->state.options = options;
        if (isFleet) devices.back()->state.logPrefix = "[" + simDotted(options.address) + "] ";
    }
    if (isFleet)
        simLog("fleet of %zu devices, %s to %s", devices.size(), simDotted(fleet.devices.front().address).c_str(),
               simDotted(fleet.devices.back().address).c_str());
    for (auto& device : devices) startDevice(device.get());

    int exitCode = 0;
    while (true) {
        if (gSignalled) {
            simLog("stopping on a signal");
            break;
        }
        if (fleetExitDue(devices, &exitCode)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (auto& device : devices) device->state.stop = true;
    for (auto& device : devices) {
        device->web.join();
        if (device->responder.joinable()) device->responder.join();
        joinUpgrade(&device->state);
    }
    if (!fleet.recordPath.empty()) {
        std::vector<std::string> records;
        for (auto& device : devices) {
            SimState& state = device->state;
            std::lock_guard<std::mutex> lock(state.mutex);
            records.push_back(truthRecord(state.options, state.truth, state.softwareVersion, state.webUp));
        }
        std::string why;
        if (appendRecords(fleet.recordPath, records, &why)) {
            simLog("%zu record%s appended to %s", records.size(), records.size() == 1 ? "" : "s",
                   fleet.recordPath.c_str());
        } else {
            simLog("cannot write %s: %s", fleet.recordPath.c_str(), why.c_str());
            if (exitCode == 0) exitCode = 1;
        }
    }
    simLog("exit %d", exitCode);
    return exitCode;
}
