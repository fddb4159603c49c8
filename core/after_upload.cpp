#include "core/after_upload.h"

#include <cstring>

#include "base/debug_trace.h"
#include "core/device_requests.h"
#include "core/reboot_tick.h"
#include "platform/platform_clock.h"

namespace {
bool modelIs(const char* modelName, const char* model) { return std::strncmp(modelName, model, 7) == 0; }
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
    int got = 0;
    for (int attempt = 0; attempt < run.profile().statusReadsAfterUpload && got <= 0; ++attempt)
        got = readStatusPage(run, deviceAddress);
    // Ending without a word would leave the user guessing whether the
    // device took its image.
    if (got <= 0) run.stop(RunOutcome::NotRespondingAfterUpload);
    const UpgradeContext& c = run.context();
    run.step(nullptr, RunStep{.kind = StepKind::VersionRead, .address = deviceAddress,
                              .text = c.deviceFacts.softwareVersion});
    debugTrace("[%d]%s %s\n", static_cast<int>(c.stage.load()), servedVersion, c.deviceFacts.softwareVersion);
    // Phones are exempt, as the staged check always made them.
    if (!c.isPhone && std::strcmp(servedVersion, c.deviceFacts.softwareVersion) != 0)
        run.stop(RunOutcome::VersionMismatch);
    if (!finalStage) return;
    run.frontEnd().showSuccess(run);
    run.stop(RunOutcome::Success);
}
