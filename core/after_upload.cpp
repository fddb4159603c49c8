#include "core/after_upload.h"

#include <cstring>

#include "base/debug_trace.h"
#include "base/text.h"
#include "core/device_requests.h"
#include "core/reboot_tick.h"
#include "core/restart_follow.h"
#include "core/same_device.h"
#include "platform/platform_clock.h"

namespace {

const uint32_t kReadSpacingMs = 1000;
const uint32_t kPollMs = 2000;
const uint32_t kFollowSliceMs = 100;

bool modelIs(const char* modelName, const char* model) { return std::strncmp(modelName, model, 7) == 0; }

// Sleeps until ms have passed since the clock showed since; Cancel stops the run.
void pauseSince(Run& run, uint32_t since, uint32_t ms) {
    for (uint32_t passed; (passed = clockMillis() - since) < ms;) {
        if (run.cancelled(nullptr)) run.stop(RunOutcome::UserAbort);
        sleepMillis(ms - passed < 50 ? ms - passed : 50);
    }
}

// The version of the last status page, which another thread's request may
// be rewriting.
void lastVersion(const Run& run, char* out, size_t size) {
    copyText(out, size, run.context().deviceFacts.get().softwareVersion);
}

[[noreturn]] void stopOtherDevice(Run& run, const DeviceFacts& before, const DeviceFacts& seen) {
    char was[300], now[300], message[700];
    describeIdentity(before, was, sizeof was);
    describeIdentity(seen, now, sizeof now);
    formatText(message, sizeof message, "%s (%s; the ORB: %s)", outcomeMessage(RunOutcome::OtherDevice), now, was);
    run.stop(RunOutcome::OtherDevice, message);
}

// The version the device itself reported after the upload, as the run's.
void reportVersionAfter(Run& run, uint32_t deviceAddress, const char* version) {
    run.context().versionAfter.set(version);
    run.step(nullptr, RunStep{.kind = StepKind::VersionRead, .address = deviceAddress, .text = version});
}

}  // namespace

unsigned rebootWaitTicks(const ProgramProfile& profile, const char* modelName) {
    for (int i = 0; i < profile.rebootWaitCount; ++i) {
        if (modelIs(modelName, profile.rebootWaits[i].model)) return profile.rebootWaits[i].ticks;
    }
    return profile.otherRebootWait;
}

void waitForReboot(Run& run, OpenView& view, unsigned ticks) {
    // The divided clock wraps with the millisecond clock.
    const uint64_t wrap = 0xFFFFFFFFull / kRebootTickMs + 1;
    const uint64_t start = clockMillis() / kRebootTickMs;
    const uint32_t device = run.context().targetAddress;
    for (;;) {
        uint64_t now = clockMillis() / kRebootTickMs;
        if (now < start) now += wrap;
        // A sleep may overshoot: the wait never shows more than its length.
        const uint64_t done = now - start < ticks ? now - start : ticks;
        view.step(RunStep{.kind = StepKind::RestartWait,
                          .address = device,
                          .done = static_cast<uint32_t>(done),
                          .total = ticks,
                          .tickMs = kRebootTickMs});
        if (view.cancelled()) {
            view.close();
            run.stop(RunOutcome::UserAbort);
        }
        if (now >= start + ticks) break;
        sleepMillis(kRebootTickMs);
    }
    view.close();
}

bool successVariantFor(const ProgramProfile& profile, const char* modelName) {
    const ModelNames& variants = profile.successVariantModels;
    for (int i = 0; i < variants.count; ++i) {
        if (modelIs(modelName, variants.names[i])) return true;
    }
    return false;
}

void checkAfterUpload(Run& run, uint32_t deviceAddress, bool complete, const char* servedVersion, bool finalStage) {
    if (!complete) run.stop(RunOutcome::UploadIncomplete);
    const DeviceFacts before = run.context().deviceFacts.get();
    const bool verify = run.options().verifyDeviceAfterUpload;
    const RunOptions& options = run.options();
    const RequestManner manner{nullptr, options.silentConnectAfterUpload, options.unusableChallengeIsAnswer};
    RequestReply page;
    int got = 0;
    uint32_t lastRead = 0;
    for (int attempt = 0; attempt < run.profile().statusReadsAfterUpload && got <= 0; ++attempt) {
        // A device a moment late is not silent: the reads stand a second apart.
        if (attempt > 0) pauseSince(run, lastRead, kReadSpacingMs);
        lastRead = clockMillis();
        got = readStatusPage(run, deviceAddress, manner, &page);
        if (!verify) continue;
        // A page without the device's own facts is no answer.
        const PageAfterUpload seen = judgePageAfterUpload(before, got, page);
        if (seen == PageAfterUpload::OtherDevice) stopOtherDevice(run, before, page.facts);
        if (seen == PageAfterUpload::NoAnswer) got = 0;
    }
    // Ending without a word would leave the user guessing whether the
    // device took its image.
    if (got <= 0) run.stop(RunOutcome::NotRespondingAfterUpload);
    const UpgradeContext& c = run.context();
    char version[sizeof DeviceFacts::softwareVersion];
    if (verify)
        copyText(version, sizeof version, page.facts.softwareVersion);
    else
        lastVersion(run, version, sizeof version);
    reportVersionAfter(run, deviceAddress, version);
    debugTrace("[%d]%s %s\n", static_cast<int>(c.stage.load()), servedVersion, version);
    // Phones are exempt, as the staged check always made them.
    if (!c.isPhone && std::strcmp(servedVersion, version) != 0) run.stop(RunOutcome::VersionMismatch);
    if (c.isPhone && run.options().phoneMustChange && std::strcmp(before.softwareVersion, servedVersion) != 0 &&
        std::strcmp(before.softwareVersion, version) == 0)
        run.stop(RunOutcome::NotRestarted);
    if (!finalStage) return;
    run.frontEnd().showSuccess(run);
    run.stop(RunOutcome::Success);
}

uint32_t restartLimitMs(const Run& run) {
    const uint64_t fixed = uint64_t{rebootWaitTicks(run.profile(), run.context().modelName)} * kRebootTickMs;
    const uint32_t limit = run.options().restartTimeoutMs;
    return limit >= fixed ? limit : static_cast<uint32_t>(fixed);
}

void followRestart(Run& run, OpenView& view, uint32_t deviceAddress, const char* servedVersion, bool finalStage) {
    const DeviceFacts before = run.context().deviceFacts.get();
    const uint32_t limit = restartLimitMs(run);
    RestartFollow follow(before.softwareVersion, servedVersion, run.context().isPhone, limit);
    const uint32_t start = clockMillis();
    auto show = [&](uint32_t elapsed) {
        view.step(RunStep{.kind = StepKind::RestartFollow,
                          .address = deviceAddress,
                          .done = elapsed,
                          .total = limit,
                          .phase = follow.phase()});
    };
    show(0);
    // The last page that answered: only what a poll itself read is judged.
    RequestReply answered;
    for (;;) {
        const uint32_t pollStart = clockMillis() - start;
        RequestReply page;
        const int got = pollStatusPage(run, deviceAddress, &page);
        const PageAfterUpload seen = judgePageAfterUpload(before, got, page);
        if (seen != PageAfterUpload::NoAnswer) answered = page;
        const uint32_t elapsed = clockMillis() - start;
        follow.observe(RestartPoll{elapsed, seen == PageAfterUpload::SameDevice, page.facts.softwareVersion,
                                   seen == PageAfterUpload::OtherDevice});
        debugTrace("restart: %u ms: %s\n", elapsed,
                   seen == PageAfterUpload::SameDevice    ? page.facts.softwareVersion
                   : seen == PageAfterUpload::OtherDevice ? "another device"
                                                          : "no answer");
        show(elapsed);
        if (follow.verdict() != RestartVerdict::Pending) break;
        // The next poll 2 s after this one began, the last at the limit.
        const uint32_t next = pollStart + kPollMs < limit ? pollStart + kPollMs : limit;
        for (uint32_t now; (now = clockMillis() - start) < next;) {
            if (view.cancelled()) {
                view.close();
                run.stop(RunOutcome::UserAbort);
            }
            show(now);
            sleepMillis(next - now < kFollowSliceMs ? next - now : kFollowSliceMs);
        }
    }
    view.close();
    const RestartVerdict verdict = follow.verdict();
    if (verdict == RestartVerdict::OtherDevice) stopOtherDevice(run, before, answered.facts);
    if (verdict != RestartVerdict::Silent && verdict != RestartVerdict::Pending)
        reportVersionAfter(run, deviceAddress, answered.facts.softwareVersion);
    switch (verdict) {
        case RestartVerdict::Upgraded:
            if (!finalStage) return;
            run.frontEnd().showSuccess(run);
            run.stop(RunOutcome::Success);
        case RestartVerdict::OtherVersion: run.stop(RunOutcome::VersionMismatch);
        case RestartVerdict::NotRestarted: run.stop(RunOutcome::NotRestarted);
        case RestartVerdict::OtherDevice:
        case RestartVerdict::Pending:
        case RestartVerdict::Silent: run.stop(RunOutcome::NotRespondingAfterUpload);
    }
}

void afterUpload(Run& run, OpenView& view, bool complete, const char* servedVersion, bool finalStage) {
    // The device the run is about, whoever fetched.
    const uint32_t device = run.context().targetAddress;
    // Nothing is known of the device after this upload until it says so.
    run.context().versionAfter.clear();
    if (run.options().restartWait == RestartWait::Follow) {
        // A device without the whole image has no restart to follow.
        if (!complete) {
            view.close();
            run.stop(RunOutcome::UploadIncomplete);
        }
        followRestart(run, view, device, servedVersion, finalStage);
        return;
    }
    waitForReboot(run, view, rebootWaitTicks(run.profile(), run.context().modelName));
    checkAfterUpload(run, device, complete, servedVersion, finalStage);
}
