// The wizard dialogs as terminal prompts. What they show and what their
// buttons write into the run comes from ui/dialog_logic.h, as on Windows.
#include "base/text.h"
#include "core/run.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "ui/terminal/terminal_console.h"
#include "ui/terminal/terminal_front_end.h"
#include "ui/terminal/terminal_interrupt.h"
#include "ui/terminal/terminal_prompts.h"

namespace {
const size_t kEntrySize = 256;
const size_t kLineSize = 160;

// What a button does; 0 is the close box.
enum Command { kClosed = 0, kAccept, kDecline, kUpgradeMode, kRecoveryMode };

const PromptButton kOkCancel[] = {{"OK", kAccept}, {"Cancel", kDecline}};
const PromptButton kContinueCancel[] = {{"Continue", kAccept}, {"Cancel", kDecline}};
const PromptButton kUpgradeCancel[] = {{"Upgrade", kAccept}, {"Cancel", kDecline}};
const PromptButton kOkOnly[] = {{"OK", kAccept}};
const PromptButton kModeButtons[] = {{"Upgrade Firmware ", kUpgradeMode}, {"Recover Firmware", kRecoveryMode}};

struct LocalAddressList {
    char entries[8][kLocalAddressTextSize];
    int count;
    int selected;  // -1: the list is empty
};

void loadLocalAddresses(const Run& run, LocalAddressList* list) {
    list->count = localAddressEntries(run, list->entries);
    list->selected = list->count > 0 ? 0 : -1;
}

bool askLocalAddress(LocalAddressList* list) {
    if (list->count == 0) {
        printDialogValue(kLocalAddressLabel, "(none)");
        return true;
    }
    return askMenu(kLocalAddressLabel, list->entries, list->count, &list->selected);
}

void printImageVersion(const Run& run) {
    char line[kLineSize];
    imageVersionLine(run, line, sizeof line);
    printDialogText(line);
}

int welcomeDialog(DialogAnswers* answers) {
    printDialogTitle(kWelcomeTitle);
    printDialogText(kWelcomeText);
    // No Cancel button: only the close box (end of input, Ctrl+C) gives 0.
    int command = askButton(kModeButtons, 2, 0);
    if (command == kUpgradeMode) {
        answers->mode = RunMode::Upgrade;
        return 1;
    }
    if (command == kRecoveryMode) {
        answers->mode = RunMode::Recovery;
        return 1;
    }
    return 0;
}

int recoveryDialog(const Run& run, DialogAnswers* answers) {
    printDialogTitle(kRecoveryTitle);
    printDialogText(kRecoveryIntroText);
    printImageVersion(run);
    printDialogText(recoveryCheckText(run));
    LocalAddressList list;
    loadLocalAddresses(run, &list);
    char serial[kEntrySize];
    if (!askEntry(kSerialEntryLabel, serial, sizeof serial, false)) return 0;
    trimBlanks(serial);
    if (!askLocalAddress(&list)) return 0;
    if (askButton(kContinueCancel, 2, 0) != kAccept) return 0;
    copyText(answers->typed, sizeof answers->typed, serial);
    answers->localIndex = list.selected;
    return 1;
}

int warningDialog(const Run& run) {
    char title[kLineSize];
    warningDialogTitle(run, title, sizeof title);
    printDialogTitle(title);
    printDialogText(kWarningText);
    // Cancel is the default, so that Enter declines.
    return askButton(kContinueCancel, 2, 1) == kAccept ? 1 : 0;
}

int addressDialog(const Run& run, DialogAnswers* answers) {
    char title[kLineSize];
    addressDialogTitle(run, title, sizeof title);
    printDialogTitle(title);
    printDialogText(kAddressIntroText);
    printImageVersion(run);
    printDialogText(addressHelpText(run));
    LocalAddressList list;
    loadLocalAddresses(run, &list);
    // An invalid address asks again for the address and the local address
    // (keeping the choice made) and the button.
    for (;;) {
        char typed[kEntrySize];
        if (!askEntry("IP Address", typed, sizeof typed, false)) return 0;
        trimBlanks(typed);
        if (!askLocalAddress(&list)) return 0;
        if (askButton(kOkCancel, 2, 0) != kAccept) return 0;
        if (addressAcceptable(typed)) {
            copyText(answers->typed, sizeof answers->typed, typed);
            answers->localIndex = list.selected;
            return 1;
        }
        terminalShowMessageBox("Invalid IP Address", "Error");
    }
}

int passwordDialog(DialogAnswers* answers) {
    printDialogTitle(kPasswordTitle);
    printDialogText(kPasswordText);
    char label[kLineSize];
    formatText(label, sizeof label, "%s [%s]", kUserLabel, defaultUserName());
    char user[kEntrySize];
    if (!askEntry(label, user, sizeof user, false)) return 0;
    if (!user[0]) copyText(user, sizeof user, defaultUserName());
    char password[kEntrySize];
    if (!askEntry(kPasswordLabel, password, sizeof password, true)) return 0;
    if (askButton(kOkCancel, 2, 0) != kAccept) return 0;
    copyText(answers->userName, sizeof answers->userName, user);
    copyText(answers->password, sizeof answers->password, password);
    return 1;
}

int confirmDialog(const Run& run) {
    char title[kLineSize];
    confirmDialogTitle(run, title, sizeof title);
    printDialogTitle(title);
    char text[1024];
    confirmDialogText(run, text, sizeof text);
    printDialogText(text);
    const DeviceFacts facts = run.context().deviceFacts.get();
    const char* values[5] = {facts.serialNumber, facts.macAddress, facts.softwareVersion, facts.hardwareVersion,
                             facts.productName};
    for (int i = 0; i < 5; ++i) printDialogValue(kFactLabels[i], values[i]);
    return askButton(kUpgradeCancel, 2, 0) == kAccept ? 1 : 0;
}

int successDialog(const Run& run, Dialog dialog) {
    char title[kLineSize];
    successDialogTitle(run, title, sizeof title);
    printDialogTitle(title);
    printDialogText(kSuccessText);
    printDialogText(run.context().deviceFacts.get().softwareVersion);
    printDialogText(successWebAddress(run, dialog));
    return askButton(kOkOnly, 1, 0) == kAccept ? 1 : 0;
}

int runDialog(const Run& run, Dialog dialog, DialogAnswers* answers) {
    switch (dialog) {
        case Dialog::Welcome: return welcomeDialog(answers);
        case Dialog::Recovery: return recoveryDialog(run, answers);
        case Dialog::Warning: return warningDialog(run);
        case Dialog::Address:
        case Dialog::PhoneAddress: return addressDialog(run, answers);
        case Dialog::Password: return passwordDialog(answers);
        case Dialog::Confirm:
        case Dialog::StagedConfirm: return confirmDialog(run);
        case Dialog::Success:
        case Dialog::SuccessVariant: return successDialog(run, dialog);
    }
    return 0;
}
}  // namespace

int terminalShowDialog(const Run& run, Dialog dialog, DialogAnswers* answers) {
    installInterruptHandler();
    addInterruptListener();
    beginModal();
    int result = runDialog(run, dialog, answers);
    endModal();
    removeInterruptListener();
    return result;
}
