// The wizard dialogs as terminal prompts. What they show and what their
// buttons write into the run comes from ui/dialog_logic.h, as on Windows.
#include "base/text.h"
#include "core/run.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "ui/terminal/terminal_front_end.h"
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

bool askLocalAddress(TerminalScreen& screen, LocalAddressList* list) {
    if (list->count == 0) {
        printDialogValue(screen, kLocalAddressLabel, "(none)");
        return true;
    }
    return askMenu(screen, kLocalAddressLabel, list->entries, list->count, &list->selected);
}

void printImageVersion(TerminalScreen& screen, const Run& run) {
    char line[kLineSize];
    imageVersionLine(run, line, sizeof line);
    printDialogText(screen, line);
}

int welcomeDialog(TerminalScreen& screen, DialogAnswers* answers) {
    printDialogTitle(screen, kWelcomeTitle);
    printDialogText(screen, kWelcomeText);
    // No Cancel button: only the close box (end of input, Ctrl+C) gives 0.
    int command = askButton(screen, kModeButtons, 2, 0);
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

int recoveryDialog(TerminalScreen& screen, const Run& run, DialogAnswers* answers) {
    printDialogTitle(screen, kRecoveryTitle);
    printDialogText(screen, kRecoveryIntroText);
    printImageVersion(screen, run);
    printDialogText(screen, recoveryCheckText(run));
    LocalAddressList list;
    loadLocalAddresses(run, &list);
    char serial[kEntrySize];
    if (!askEntry(screen, kSerialEntryLabel, serial, sizeof serial, false)) return 0;
    trimBlanks(serial);
    if (!askLocalAddress(screen, &list)) return 0;
    if (askButton(screen, kContinueCancel, 2, 0) != kAccept) return 0;
    copyText(answers->typed, sizeof answers->typed, serial);
    answers->localIndex = list.selected;
    return 1;
}

int warningDialog(TerminalScreen& screen, const Run& run) {
    char title[kLineSize];
    warningDialogTitle(run, title, sizeof title);
    printDialogTitle(screen, title);
    printDialogText(screen, kWarningText);
    // Cancel is the default, so that Enter declines.
    return askButton(screen, kContinueCancel, 2, 1) == kAccept ? 1 : 0;
}

int addressDialog(TerminalScreen& screen, const Run& run, DialogAnswers* answers) {
    char title[kLineSize];
    addressDialogTitle(run, title, sizeof title);
    printDialogTitle(screen, title);
    printDialogText(screen, kAddressIntroText);
    printImageVersion(screen, run);
    printDialogText(screen, addressHelpText(run));
    LocalAddressList list;
    loadLocalAddresses(run, &list);
    // An invalid address asks again for the address and the local address
    // (keeping the choice made) and the button.
    for (;;) {
        char typed[kEntrySize];
        if (!askEntry(screen, "IP Address", typed, sizeof typed, false)) return 0;
        trimBlanks(typed);
        if (!askLocalAddress(screen, &list)) return 0;
        if (askButton(screen, kOkCancel, 2, 0) != kAccept) return 0;
        if (addressAcceptable(typed)) {
            copyText(answers->typed, sizeof answers->typed, typed);
            answers->localIndex = list.selected;
            return 1;
        }
        terminalShowBox(screen, "Invalid IP Address", "Error");
    }
}

int passwordDialog(TerminalScreen& screen, DialogAnswers* answers) {
    printDialogTitle(screen, kPasswordTitle);
    printDialogText(screen, kPasswordText);
    char label[kLineSize];
    formatText(label, sizeof label, "%s [%s]", kUserLabel, defaultUserName());
    char user[kEntrySize];
    if (!askEntry(screen, label, user, sizeof user, false)) return 0;
    if (!user[0]) copyText(user, sizeof user, defaultUserName());
    char password[kEntrySize];
    if (!askEntry(screen, kPasswordLabel, password, sizeof password, true)) return 0;
    if (askButton(screen, kOkCancel, 2, 0) != kAccept) return 0;
    copyText(answers->userName, sizeof answers->userName, user);
    copyText(answers->password, sizeof answers->password, password);
    return 1;
}

int confirmDialog(TerminalScreen& screen, const Run& run) {
    char title[kLineSize];
    confirmDialogTitle(run, title, sizeof title);
    printDialogTitle(screen, title);
    char text[1024];
    confirmDialogText(run, text, sizeof text);
    printDialogText(screen, text);
    const DeviceFacts facts = run.context().deviceFacts.get();
    const char* values[5] = {facts.serialNumber, facts.macAddress, facts.softwareVersion, facts.hardwareVersion,
                             facts.productName};
    for (int i = 0; i < 5; ++i) printDialogValue(screen, kFactLabels[i], values[i]);
    return askButton(screen, kUpgradeCancel, 2, 0) == kAccept ? 1 : 0;
}

int successDialog(TerminalScreen& screen, const Run& run, Dialog dialog) {
    char title[kLineSize];
    successDialogTitle(run, title, sizeof title);
    printDialogTitle(screen, title);
    printDialogText(screen, kSuccessText);
    printDialogText(screen, run.context().deviceFacts.get().softwareVersion);
    printDialogText(screen, successWebAddress(run, dialog));
    return askButton(screen, kOkOnly, 1, 0) == kAccept ? 1 : 0;
}

int runDialog(TerminalScreen& screen, const Run& run, Dialog dialog, DialogAnswers* answers) {
    switch (dialog) {
        case Dialog::Welcome: return welcomeDialog(screen, answers);
        case Dialog::Recovery: return recoveryDialog(screen, run, answers);
        case Dialog::Warning: return warningDialog(screen, run);
        case Dialog::Address:
        case Dialog::PhoneAddress: return addressDialog(screen, run, answers);
        case Dialog::Password: return passwordDialog(screen, answers);
        case Dialog::Confirm:
        case Dialog::StagedConfirm: return confirmDialog(screen, run);
        case Dialog::Success:
        case Dialog::SuccessVariant: return successDialog(screen, run, dialog);
    }
    return 0;
}
}  // namespace

int terminalShowDialog(TerminalScreen& screen, const Run& run, Dialog dialog, DialogAnswers* answers) {
    screen.beginModal();
    int result = runDialog(screen, run, dialog, answers);
    screen.endModal();
    return result;
}
