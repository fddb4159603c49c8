#include "ui/dialog_logic.h"

#include "base/text.h"
#include "core/questions.h"
#include "core/run.h"
#include "net/address_utils.h"
#include "ui/dialog_texts.h"

int localAddressEntries(const Run& run, char entries[8][kLocalAddressTextSize]) {
    const UpgradeContext& c = run.context();
    int count = 0;
    for (; count < 8 && c.localAddresses[count] != 0; ++count)
        formatDottedQuad(c.localAddresses[count], entries[count], kLocalAddressTextSize);
    return count;
}

bool addressAcceptable(const char* typed) {
    uint32_t address = 0;
    return parseTypedAddress(typed, &address);
}

const char* defaultUserName() { return "admin"; }

void warningDialogTitle(const Run& run, char* out, size_t size) {
    formatText(out, size, "%s Firmware Upgrade", run.context().modelName);
}

void addressDialogTitle(const Run& run, char* out, size_t size) {
    if (run.profile().namesModelInAddressTitle)
        formatText(out, size, "%s Firmware Upgrade", run.context().modelName);
    else
        copyText(out, size, "ORB Firmware Upgrade");
}

const char* addressHelpText(const Run& run) {
    return run.context().isPhone ? kAddressHelpPhoneText : kAddressHelpAdapterText;
}

const char* recoveryCheckText(const Run& run) {
    return run.context().isPhone ? kRecoveryCheckPhoneText : kRecoveryCheckAdapterText;
}

void imageVersionLine(const Run& run, char* out, size_t size) {
    formatText(out, size, "Version %s", imageVersion(run.context().image));
}

void confirmDialogTitle(const Run& run, char* out, size_t size) {
    formatText(out, size, "Confirm Upgrade to Ver. %s", imageVersion(run.context().image));
}

void confirmDialogText(const Run& run, char* out, size_t size) {
    const UpgradeContext& c = run.context();
    if (isOrbstage(run.profile()) && c.stage.load() == Stage::Transition)
        formatText(out, size, ORB_STAGED_NOTE_FORMAT, kConfirmText, imageVersion(c.transitionImage));
    else
        copyText(out, size, kConfirmText);
}

void successDialogTitle(const Run& run, char* out, size_t size) {
    formatText(out, size, "ORB@%s Upgrade Successful!", run.context().targetText);
}

const char* successWebAddress(const Run& run, Dialog dialog) {
    // orbstage shows the second layout's address on both of its templates.
    if (isOrbstage(run.profile()) || dialog == Dialog::SuccessVariant) return kSuccessWebAddress113;
    return kSuccessWebAddress111;
}
