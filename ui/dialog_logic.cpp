#include "ui/dialog_logic.h"

#include <cctype>
#include <cstring>

#include "core/firmware_file_name.h"
#include "core/firmware_image.h"
#include "core/program_profile.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/address_utils.h"
#include "ui/dialog_texts.h"

// Characters kept when the controls are read (their read limits of 20 and
// 127 count the terminating NUL).
const size_t kSerialReadLimit = 19;
const size_t kCredentialReadLimit = 126;
// The most an IP address control yields: "255.255.255.255".
const size_t kAddressControlLength = 15;

int localAddressEntries(char entries[8][kLocalAddressTextSize]) {
    int count = 0;
    for (; count < 8 && gContext.localAddresses[count] != 0; ++count) {
        uint32_t a = gContext.localAddresses[count];
        formatText(entries[count], kLocalAddressTextSize, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                   a & 0xFF);
    }
    return count;
}

static void takeSelectedLocalAddress(int selectedEntry) {
    if (selectedEntry >= 0 && selectedEntry < 8 && gContext.localAddresses[selectedEntry] != 0)
        gContext.localAddress = gContext.localAddresses[selectedEntry];
}

void chooseMode(RunMode mode) { gContext.mode = mode; }

bool acceptAddressDialog(const char* typedText, int selectedEntry) {
    copyText(gContext.targetText, sizeof gContext.targetText, typedText);
    // Longer text is refused whole: cut short it could name another device.
    if (std::strlen(typedText) > kAddressControlLength)
        gContext.targetAddress = 0;
    else
        parseDottedQuad(gContext.targetText, &gContext.targetAddress);
    if (gContext.targetAddress == 0) return false;
    if (isOrbstage()) {
        // ".bi0" while a staged run serves its transition image first.
        char extension[8];
        formatText(extension, sizeof extension, "bi%d", static_cast<int>(gContext.stage.load()));
        drawFirmwareFileName(extension);
    } else {
        drawFirmwareFileName("bi1");
    }
    takeSelectedLocalAddress(selectedEntry);
    return true;
}

void acceptRecoveryDialog(const char* serialText, int selectedEntry) {
    drawFirmwareFileName("bin");
    copyTextLimited(gContext.recoverySerial, sizeof gContext.recoverySerial, serialText, kSerialReadLimit);
    // The entry field converts letters as they are typed.
    for (char* c = gContext.recoverySerial; *c; ++c)
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    copyText(gContext.targetText, sizeof gContext.targetText, gContext.recoverySerial);
    takeSelectedLocalAddress(selectedEntry);
}

void acceptPasswordDialog(const char* userName, const char* password) {
    copyTextLimited(gContext.digest.userName, sizeof gContext.digest.userName, userName, kCredentialReadLimit);
    copyTextLimited(gContext.digest.password, sizeof gContext.digest.password, password, kCredentialReadLimit);
}

const char* defaultUserName() { return "admin"; }

void warningDialogTitle(char* out, size_t size) { formatText(out, size, "%s Firmware Upgrade", gContext.modelName); }

void addressDialogTitle(char* out, size_t size) {
    if (gProgram->namesModelInAddressTitle)
        formatText(out, size, "%s Firmware Upgrade", gContext.modelName);
    else
        copyText(out, size, "ORB Firmware Upgrade");
}

const char* addressHelpText() { return gContext.isPhone ? kAddressHelpPhoneText : kAddressHelpAdapterText; }

const char* recoveryCheckText() { return gContext.isPhone ? kRecoveryCheckPhoneText : kRecoveryCheckAdapterText; }

void imageVersionLine(char* out, size_t size) { formatText(out, size, "Version %s", imageVersion(gContext.image)); }

void confirmDialogTitle(char* out, size_t size) {
    formatText(out, size, "Confirm Upgrade to Ver. %s", imageVersion(gContext.image));
}

void confirmDialogText(char* out, size_t size) {
    if (isOrbstage() && gContext.stage.load() == Stage::Transition)
        formatText(out, size, ORB_STAGED_NOTE_FORMAT, kConfirmText, imageVersion(gContext.transitionImage));
    else
        copyText(out, size, kConfirmText);
}

void successDialogTitle(char* out, size_t size) {
    formatText(out, size, "ORB@%s Upgrade Successful!", gContext.targetText);
}

const char* successWebAddress(Dialog dialog) {
    // orbstage shows the second layout's address on both of its templates.
    if (isOrbstage() || dialog == Dialog::SuccessVariant) return kSuccessWebAddress113;
    return kSuccessWebAddress111;
}
