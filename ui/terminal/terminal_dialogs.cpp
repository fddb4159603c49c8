// The wizard dialogs as terminal prompts. What they show and what their
// buttons write into the run comes from ui/dialog_logic.h, as on Windows.
#include "core/text.h"
#include "core/upgrade_context.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"
#include "ui/terminal/terminal_console.h"
#include "ui/terminal/terminal_interrupt.h"
#include "ui/terminal/terminal_prompts.h"

namespace {
const size_t kEntrySize = 256;
const size_t kLineSize = 160;

const PromptButton kOkCancel[] = {{"OK", kCommandOk}, {"Cancel", kCommandCancel}};
const PromptButton kContinueCancel[] = {{"Continue", kCommandOk}, {"Cancel", kCommandCancel}};
const PromptButton kUpgradeCancel[] = {{"Upgrade", kCommandOk}, {"Cancel", kCommandCancel}};
const PromptButton kOkOnly[] = {{"OK", kCommandOk}};
const PromptButton kModeButtons[] = {{"Upgrade Firmware ", IDC_UPGRADE_BUTTON},
                                     {"Recover Firmware", IDC_RECOVER_BUTTON}};

struct LocalAddressList {
    char entries[8][kLocalAddressTextSize];
    int count;
    int selected;  // -1: the list is empty
};

void loadLocalAddresses(LocalAddressList* list) {
    list->count = localAddressEntries(list->entries);
    list->selected = list->count > 0 ? 0 : -1;
}

bool askLocalAddress(LocalAddressList* list) {
    if (list->count == 0) {
        printDialogValue("Your IP Address", "(none)");
        return true;
    }
    return askMenu("Your IP Address", list->entries, list->count, &list->selected);
}

void printImageVersion() {
    char line[kLineSize];
    imageVersionLine(line, sizeof line);
    printDialogText(line);
}

int welcomeDialog() {
    printDialogTitle("Velmora ORB Device Firmware Upgrade Utility");
    printDialogText(kWelcomeText);
    // No Cancel button: only the close box (end of input, Ctrl+C) gives 0.
    int command = askButton(kModeButtons, 2, 0);
    if (command == IDC_UPGRADE_BUTTON) {
        chooseMode(1);
        return 1;
    }
    if (command == IDC_RECOVER_BUTTON) {
        chooseMode(0);
        return 1;
    }
    return 0;
}

int recoveryDialog() {
    printDialogTitle("ORB Firmware Recovery");
    printDialogText(kRecoveryIntroText);
    printImageVersion();
    printDialogText(recoveryCheckText());
    LocalAddressList list;
    loadLocalAddresses(&list);
    char serial[kEntrySize];
    if (!askEntry("Enter the serial number of your ORB", serial, sizeof serial, false)) return 0;
    trimBlanks(serial);
    if (!askLocalAddress(&list)) return 0;
    if (askButton(kContinueCancel, 2, 0) != kCommandOk) return 0;
    acceptRecoveryDialog(serial, list.selected);
    return 1;
}

int warningDialog() {
    char title[kLineSize];
    warningDialogTitle(title, sizeof title);
    printDialogTitle(title);
    printDialogText(kWarningText);
    // Cancel is the default, so that Enter declines.
    return askButton(kContinueCancel, 2, 1) == kCommandOk ? 1 : 0;
}

int addressDialog() {
    char title[kLineSize];
    addressDialogTitle(title, sizeof title);
    printDialogTitle(title);
    printDialogText(kAddressIntroText);
    printImageVersion();
    printDialogText(addressHelpText());
    LocalAddressList list;
    loadLocalAddresses(&list);
    // An invalid address asks again for the address and the local address
    // (keeping the choice made) and the button.
    for (;;) {
        char typed[kEntrySize];
        if (!askEntry("IP Address", typed, sizeof typed, false)) return 0;
        trimBlanks(typed);
        if (!askLocalAddress(&list)) return 0;
        if (askButton(kOkCancel, 2, 0) != kCommandOk) return 0;
        if (acceptAddressDialog(typed, list.selected)) return 1;
        showMessageBox("Invalid IP Address", "Error");
    }
}

int passwordDialog() {
    printDialogTitle("Enter Password Information");
    printDialogText(kPasswordText);
    char label[kLineSize];
    formatText(label, sizeof label, "User [%s]", defaultUserName());
    char user[kEntrySize];
    if (!askEntry(label, user, sizeof user, false)) return 0;
    if (!user[0]) copyText(user, sizeof user, defaultUserName());
    char password[kEntrySize];
    if (!askEntry("Password", password, sizeof password, true)) return 0;
    if (askButton(kOkCancel, 2, 0) != kCommandOk) return 0;
    acceptPasswordDialog(user, password);
    return 1;
}

int confirmDialog() {
    char title[kLineSize];
    confirmDialogTitle(title, sizeof title);
    printDialogTitle(title);
    char text[1024];
    confirmDialogText(text, sizeof text);
    printDialogText(text);
    const DeviceFacts& facts = gContext.deviceFacts;
    printDialogValue("Serial Number", facts.serialNumber);
    printDialogValue("MAC Address", facts.macAddress);
    printDialogValue("Software Version", facts.softwareVersion);
    printDialogValue("Hardware Version", facts.hardwareVersion);
    printDialogValue("Product Name", facts.productName);
    return askButton(kUpgradeCancel, 2, 0) == kCommandOk ? 1 : 0;
}

int successDialog(int templateId) {
    char title[kLineSize];
    successDialogTitle(title, sizeof title);
    printDialogTitle(title);
    printDialogText(kSuccessText);
    printDialogText(gContext.deviceFacts.softwareVersion);
    printDialogText(successWebAddress(templateId));
    return askButton(kOkOnly, 1, 0) == kCommandOk ? 1 : 0;
}

int runDialog(int templateId) {
    switch (templateId) {
        case IDD_WELCOME: return welcomeDialog();
        case IDD_RECOVERY: return recoveryDialog();
        case IDD_WARNING: return warningDialog();
        case IDD_ADDRESS:
        case IDD_FLASH_PHONE_ADDRESS:
        case IDD_STAGE_PHONE_ADDRESS: return addressDialog();
        case IDD_PASSWORD: return passwordDialog();
        case IDD_CONFIRM:
        case IDD_STAGE_CONFIRM: return confirmDialog();
        case IDD_SUCCESS:
        case IDD_SUCCESS_VARIANT: return successDialog(templateId);
        default: return 0;
    }
}
}  // namespace

int showDialog(int templateId) {
    installInterruptHandler();
    addInterruptListener();
    beginModal();
    int result = runDialog(templateId);
    endModal();
    removeInterruptListener();
    return result;
}
