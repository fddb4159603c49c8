// What the flows ask of the user, in their own words: a dialog of the
// wizard, the error box, a plain message box. Each front end (the Win32
// dialogs, the terminal's prompts, the tests' script) implements it once.
#pragma once

enum class Dialog {
    Welcome,         // orbflash: upgrade or recovery; sets mode
    Recovery,        // orbflash: serial number and local address
    Warning,         // the forced-upgrade warning
    Address,         // device address and local address, for adapters
    PhoneAddress,    // the same, for IP phones
    Password,        // user name and password
    Confirm,         // the device's facts, before the upload
    StagedConfirm,   // orbstage, staged run: the same with the note
    Success,         // after the upload: the new version
    SuccessVariant,  // the same, second layout
};

const char kErrorBoxCaption[] = "ORB Firwmare Upgrade Error";

struct WizardFrontEnd {
    // Program-wide preparations before start-up; false ends the program silently.
    bool (*prepare)(void* instance);
    // Modal; 1 accepted, 0 declined. What the user entered is in the context.
    int (*showDialog)(Dialog dialog);
    // The error box, captioned kErrorBoxCaption. Does not end anything.
    void (*showErrorBox)(const char* text);
    // A plain OK box without owner.
    void (*showMessageBox)(const char* text, const char* caption);
};

void useWizardFrontEnd(const WizardFrontEnd* frontEnd);

// Through the installed front end.
bool prepareFrontEnd(void* instance);
int showDialog(Dialog dialog);
int ShowErrorBox(const char* text);
void showMessageBox(const char* text, const char* caption);
