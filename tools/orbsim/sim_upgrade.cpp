#include "tools/orbsim/sim_upgrade.h"

#include <fstream>

#include "base/sha256.h"
#include "tools/orbsim/sim_image_check.h"
#include "tools/orbsim/sim_log.h"
#include "tools/orbsim/sim_tftp_client.h"

namespace {

bool saveBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The web server takes no connection from here on: its listener is closed
// and its connections dropped, as a rebooting device's are.
bool goDown(SimState* state, unsigned ms, const char* which) {
    noteTruth(state, [](SimTruth& truth) {
        truth.down = true;
        truth.downSince = std::chrono::steady_clock::now();
        truth.pagesSinceUp = 0;
    });
    state->webUp = false;
    state->inRecovery = false;
    for (int waited = 0; waited < 200 && state->webListening; ++waited)
        if (!simSleep(*state, 50)) return false;
    simLog("restart: down, restarting for %s s%s", simSeconds(ms).c_str(), which);
    return simSleep(*state, ms);
}

// Boots on version; the web server forgets its nonces on a new boot.
bool comeUp(SimState* state, const std::string& version, const char* which) {
    setCurrentVersion(state, version);
    ++state->bootCount;
    state->webUp = true;
    // "Up" only once connections are taken again.
    for (int waited = 0; waited < 40 && !state->webListening; ++waited)
        if (!simSleep(*state, 50)) return false;
    const bool impostor = !state->options.impostorSerial.empty();
    noteTruth(state, [impostor](SimTruth& truth) {
        auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - truth.downSince);
        truth.downsMs.push_back(static_cast<unsigned>(ms.count()));
        truth.down = false;
        truth.takenOver = truth.takenOver || impostor;
    });
    simLog("restart: up again, software version %s%s", simEscape(version).c_str(), which);
    return true;
}

void restart(SimState* state, const ImageCheck& check) {
    const SimOptions& o = state->options;
    const std::string old = currentVersion(state);
    if (o.neverRestart) {
        simLog("restart: none, the image dropped; still software version %s", simEscape(old).c_str());
        return;
    }
    std::string version = !o.versionAfter.empty() ? o.versionAfter : !check.version.empty() ? check.version : old;
    // A flapping device spends half its restart time on each of its two downs.
    const unsigned firstDownMs = o.flap ? o.restartMs / 2 : 0;
    if (o.flap && !(goDown(state, firstDownMs, " (the first of two)") &&
                    comeUp(state, old, " (for about 1 s, then down again)") && simSleep(*state, 1000)))
        return;
    if (!goDown(state, o.restartMs - firstDownMs, o.flap ? " (the second time)" : "")) return;
    if (o.stayDown) {
        setCurrentVersion(state, version);
        ++state->bootCount;
        simLog("restart: staying down after the restart");
        return;
    }
    if (comeUp(state, version, "") && !o.impostorSerial.empty())
        simLog("restart: another device (serial %s) answers at the address now", simEscape(o.impostorSerial).c_str());
}

void runUpgrade(SimState* state, UpgradeSource source) {
    simLogSetPrefix(state->logPrefix);
    const SimOptions& o = state->options;
    if (o.noFetch) {
        simLog("tftp: not fetching %s (--no-fetch)", simEscape(source.fileName).c_str());
        state->upgrading = false;
        return;
    }
    if (state->triggersIgnored < o.ignoreTriggers) {
        simLog("tftp: not fetching %s (trigger %u of %u ignored)", simEscape(source.fileName).c_str(),
               ++state->triggersIgnored, o.ignoreTriggers);
        state->upgrading = false;
        return;
    }
    if (o.fetchDelayMs) {
        simLog("tftp: waiting %u ms before the read request", o.fetchDelayMs);
        if (!simSleep(*state, o.fetchDelayMs)) {
            state->upgrading = false;
            return;
        }
    }
    TftpFetchRequest request;
    request.localAddress = o.address;
    request.serverAddress = source.serverAddress;
    request.serverPort = source.serverPort;
    request.fileName = source.fileName;
    request.viaGroup = source.viaGroup;
    request.retryMs = o.tftpRetryMs;
    request.retries = o.tftpRetries;
    request.deadlineSeconds = o.tftpDeadlineSeconds;
    request.faults.stallAfterBlock = o.stallAfterBlock;
    request.faults.dropFraction = o.dropFraction;
    request.faults.dropAcks = o.dropAcks;
    request.faults.duplicateAcks = o.duplicateAcks;
    request.faults.refuseOptions = o.refuseOptions;
    request.faults.seed = o.seed;
    request.faults.errorAfterBlock = o.errorAfterBlock;
    request.faults.errorCode = static_cast<uint16_t>(o.errorCode);
    request.faults.errorText = o.errorText;
    request.faults.refetchAfterBlock = o.refetchAfterBlock;

    TftpFetchResult fetched = tftpFetch(request, state->stop);
    ImageCheck check = checkReceivedImage(fetched.bytes, fetched.finished);
    noteTruth(state, [&](SimTruth& truth) {
        truth.fetches += fetched.requests;
        truth.bytes = fetched.bytes.size();
        char hex[kSha256HexSize];
        sha256HexOf(fetched.bytes.data(), fetched.bytes.size(), hex);
        truth.sha256 = hex;
        truth.whole = check.complete;
        truth.tftpError = fetched.errorSent;
    });
    if (state->stop) {
        state->upgrading = false;
        return;
    }
    simLog("%s", describeImageCheck(check, fetched.bytes.size()).c_str());
    if (fetched.hasTsize && fetched.tsize != fetched.bytes.size())
        simLog("announced tsize %llu differs from the bytes received", fetched.tsize);
    std::string savePath = !o.savePath.empty()  ? o.savePath
                           : !o.saveDir.empty() ? o.saveDir + "/" + simDotted(o.address) + ".img"
                                                : "";
    if (!savePath.empty()) {
        if (saveBytes(savePath, fetched.bytes))
            simLog("saved %zu bytes to %s", fetched.bytes.size(), savePath.c_str());
        else
            simLog("cannot write %s", savePath.c_str());
    }
    if (check.complete) {
        restart(state, check);
    } else {
        simLog("upgrade failed, keeping software version %s", simEscape(currentVersion(state)).c_str());
    }
    if (o.exitAfterSeconds >= 0) {
        simLog("exiting in %d s", o.exitAfterSeconds);
        armExit(state, static_cast<unsigned>(o.exitAfterSeconds), check.complete ? 0 : 1);
    }
    state->upgrading = false;
}

}  // namespace

bool startUpgrade(SimState* state, const UpgradeSource& source) {
    if (state->upgrading.exchange(true)) return false;
    std::lock_guard<std::mutex> lock(state->mutex);
    // The previous upgrade's thread has finished its work; collect it.
    if (state->upgradeThread.joinable()) state->upgradeThread.join();
    state->upgradeThread = std::thread(runUpgrade, state, source);
    return true;
}

void joinUpgrade(SimState* state) {
    std::thread finished;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        finished.swap(state->upgradeThread);
    }
    if (finished.joinable()) finished.join();
}
