#include "tools/orbsim/sim_state.h"

std::string currentVersion(SimState* state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->softwareVersion;
}

void setCurrentVersion(SimState* state, const std::string& version) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->softwareVersion = version;
}

bool simSleep(const SimState& state, unsigned ms) {
    const unsigned step = 50;
    for (unsigned slept = 0; slept < ms; slept += step) {
        if (state.stop) return false;
        unsigned now = ms - slept < step ? ms - slept : step;
        std::this_thread::sleep_for(std::chrono::milliseconds(now));
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
