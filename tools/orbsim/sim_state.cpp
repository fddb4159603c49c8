#include "tools/orbsim/sim_state.h"

#include <algorithm>

std::string currentVersion(SimState* state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->softwareVersion;
}

void setCurrentVersion(SimState* state, const std::string& version) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->softwareVersion = version;
}

bool simSleep(const SimState& state, unsigned ms) {
    // Against the clock: a loaded machine oversleeps every slice, and a
    // device's "1 s" restart must not become several.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
        if (state.stop) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now,
                                                                                   std::chrono::milliseconds(50)));
    }
    return !state.stop;
}

void armExit(SimState* state, unsigned seconds, int code) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->exitArmed = true;
    state->exitAt = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    state->exitCode = code;
}

bool exitDue(SimState* state, int* code) {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (!state->exitArmed || std::chrono::steady_clock::now() < state->exitAt) return false;
    *code = state->exitCode;
    return true;
}
