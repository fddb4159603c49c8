#include "core/after_upload.h"

#include <cstring>

#include "core/debug_trace.h"
#include "core/device_requests.h"
#include "core/program_profile.h"
#include "core/reboot_tick.h"
#include "core/run_end.h"
#include "core/run_report.h"
#include "core/upgrade_context.h"
#include "platform/platform_clock.h"

namespace {
bool modelIs(const char* modelName, const char* model) { return std::strncmp(modelName, model, 7) == 0; }
}  // namespace

unsigned rebootWaitTicks(const char* modelName) {
    for (int i = 0; i < gProgram->rebootWaitCount; ++i) {
        if (modelIs(modelName, gProgram->rebootWaits[i].model)) return gProgram->rebootWaits[i].ticks;
    }
    return gProgram->otherRebootWait;
}

void waitForReboot(ProgressView* view, unsigned ticks, const char* title) {
    // The divided clock wraps with the millisecond clock.
    const uint64_t wrap = 0xFFFFFFFFull / kRebootTickMs + 1;
    const uint64_t start = clockMillis() / kRebootTickMs;
    setProgressRange(view, ticks);
    setProgressPosition(view, 0);
    setProgressTitle(view, title);
    for (;;) {
        uint64_t now = clockMillis() / kRebootTickMs;
        if (now < start) now += wrap;
        setProgressPosition(view, static_cast<unsigned>(now - start));
        reportRunStep(RunReport{RunStep::RestartWait, gContext.targetAddress, 0, 0,
                                static_cast<uint32_t>((now - start) * kRebootTickMs), ticks * kRebootTickMs, nullptr});
        if (progressCancelled(view)) {
            closeProgress(view);
            endRun(RunOutcome::UserAbort);
        }
        if (now >= start + ticks) break;
        sleepMillis(kRebootTickMs);
    }
    closeProgress(view);
}

Dialog successDialogFor(const char* modelName) {
    const ModelNames& variants = gProgram->successVariantModels;
    for (int i = 0; i < variants.count; ++i) {
        if (modelIs(modelName, variants.names[i])) return Dialog::SuccessVariant;
    }
    return Dialog::Success;
}

void checkAfterUpload(uint32_t deviceAddress, bool complete, const char* servedVersion, bool finalStage) {
    if (!complete) endRun(RunOutcome::UploadIncomplete);
    int got = 0;
    for (int attempt = 0; attempt < gProgram->statusReadsAfterUpload && got <= 0; ++attempt)
        got = readStatusPage(deviceAddress);
    // Ending without a word would leave the user guessing whether the
    // device took its image.
    if (got <= 0) endRun(RunOutcome::NotRespondingAfterUpload);
    reportRunStep(RunReport{RunStep::VersionRead, deviceAddress, 0, 0, 0, 0, gContext.deviceFacts.softwareVersion});
    debugTrace("[%d]%s %s\n", static_cast<int>(gContext.stage.load()), servedVersion,
               gContext.deviceFacts.softwareVersion);
    // Phones are exempt, as the staged check always made them.
    if (!gContext.isPhone && std::strcmp(servedVersion, gContext.deviceFacts.softwareVersion) != 0)
        endRun(RunOutcome::VersionMismatch);
    if (!finalStage) return;
    showDialog(successDialogFor(gContext.modelName));
    endRun(RunOutcome::Success);
}
