#include "ui/window_texts.h"

#include "base/text.h"
#include "core/run.h"

namespace {
const char* stageName(const Run& run) {
    return run.context().stage.load() == Stage::Transition ? "Transition" : "Target";
}
}  // namespace

void connectingTitle(const Run& run, char* out, size_t size) {
    formatText(out, size, "Connecting with ORB@%s", run.context().targetText);
}

void uploadTitle(const Run& run, uint32_t done, uint32_t total, char* out, size_t size) {
    if (run.profile().namesStageInTitles)
        formatText(out, size, "Uploading %s Firmware to ORB@%s %u/%u Bytes", stageName(run), run.context().targetText,
                   done, total);
    else
        formatText(out, size, "Uploading Firmware to ORB@%s %u/%u Bytes", run.context().targetText, done, total);
}

void restartTitle(const Run& run, char* out, size_t size) {
    if (run.profile().namesStageInTitles)
        formatText(out, size, "Updating %s Firmware to ORB@%s", stageName(run), run.context().targetText);
    else
        formatText(out, size, "Updating Firmware to ORB@%s", run.context().targetText);
}

const char* triggerAnswerNote(int status) {
    static thread_local char note[96];
    if (status < 0) return "The ORB did not confirm the fetch command";
    if (status == 0 || (status >= 200 && status <= 299)) return nullptr;
    formatText(note, sizeof note, "The ORB answered the upgrade request with HTTP %d", status);
    return note;
}
