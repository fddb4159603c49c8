// The wizard dialogs: one procedure per dialog, opened modally by template
// id. What they show and what their buttons store is ui/dialog_logic's.
#include <windows.h>
#include <commctrl.h>

#include "base/text.h"
#include "core/run.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "ui/resource_ids.h"
#include "ui/win32/win32_front_end.h"
#include "ui/win32/window_placement.h"

namespace {

// What a dialog procedure works with, handed over at WM_INITDIALOG and kept
// in the dialog's user data.
struct DialogCall {
    const Run* run;
    DialogAnswers* answers;
    Dialog which;
};

DialogCall& callOf(HWND dialog) { return *reinterpret_cast<DialogCall*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

DialogCall& takeCall(HWND dialog, LPARAM lParam) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return callOf(dialog);
}

// Read limits of the entries, counting the terminating NUL.
const int kAddressReadSize = 32;
const int kSerialReadSize = 20;
const int kCredentialReadSize = 127;

void fillLocalAddressList(HWND dialog, const Run& run) {
    char entries[8][kLocalAddressTextSize];
    int count = localAddressEntries(run, entries);
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i]));
    SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_SETCURSEL, 0, 0);
}

// -1 (CB_ERR) when the list is empty.
int selectedLocalAddress(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_GETCURSEL, 0, 0));
}

void setImageVersionLine(HWND dialog, const Run& run, int controlId) {
    char line[128];
    imageVersionLine(run, line, sizeof line);
    SetDlgItemTextA(dialog, controlId, line);
}

void setTitle(HWND dialog, const Run& run, void (*makeTitle)(const Run&, char*, size_t)) {
    char title[128];
    makeTitle(run, title, sizeof title);
    SetWindowTextA(dialog, title);
}

// Tells the dialog handling that the focus is set.
INT_PTR focusAndCentre(HWND dialog, int controlId) {
    SetFocus(GetDlgItem(dialog, controlId));
    CenterOnScreen(dialog);
    return FALSE;
}

INT_PTR CALLBACK welcomeProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            takeCall(dialog, lParam);
            SetDlgItemTextA(dialog, IDC_INTRO_TEXT, kWelcomeText);
            // Enter picks the upgrade, as the default button says.
            return focusAndCentre(dialog, IDC_UPGRADE_BUTTON);
        case WM_COMMAND:
            // Escape (IDCANCEL) is left to the default handling, which ignores it.
            switch (LOWORD(wParam)) {
                case IDC_UPGRADE_BUTTON:
                    callOf(dialog).answers->mode = RunMode::Upgrade;
                    EndDialog(dialog, 1);
                    return TRUE;
                case IDC_RECOVER_BUTTON:
                    callOf(dialog).answers->mode = RunMode::Recovery;
                    EndDialog(dialog, 1);
                    return TRUE;
            }
            break;
        case WM_CLOSE:
            // Only the close box declines; the default would turn it into IDCANCEL.
            EndDialog(dialog, 0);
            return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK recoveryProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const Run& run = *takeCall(dialog, lParam).run;
            fillLocalAddressList(dialog, run);
            SetDlgItemTextA(dialog, IDC_INTRO_TEXT, kRecoveryIntroText);
            setImageVersionLine(dialog, run, IDC_RECOVERY_VERSION);
            SetDlgItemTextA(dialog, IDC_RECOVERY_CHECK, recoveryCheckText(run));
            return focusAndCentre(dialog, IDC_SERIAL_ENTRY);
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    DialogAnswers& answers = *callOf(dialog).answers;
                    GetDlgItemTextA(dialog, IDC_SERIAL_ENTRY, answers.typed, kSerialReadSize);
                    answers.localIndex = selectedLocalAddress(dialog);
                    EndDialog(dialog, 1);
                    return TRUE;
                }
                case IDCANCEL: EndDialog(dialog, 0); return TRUE;
            }
            break;
    }
    return FALSE;
}

// Ends with 1 on OK, 0 on Cancel; true when the command was one of them.
bool endOnOkOrCancel(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDOK: EndDialog(dialog, 1); return true;
        case IDCANCEL: EndDialog(dialog, 0); return true;
    }
    return false;
}

INT_PTR CALLBACK warningProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            setTitle(dialog, *takeCall(dialog, lParam).run, warningDialogTitle);
            SetDlgItemTextA(dialog, IDC_WARNING_TEXT, kWarningText);
            // Cancel is also the default button: Enter declines.
            return focusAndCentre(dialog, IDCANCEL);
        case WM_COMMAND: return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK addressProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const Run& run = *takeCall(dialog, lParam).run;
            fillLocalAddressList(dialog, run);
            setTitle(dialog, run, addressDialogTitle);
            SetDlgItemTextA(dialog, IDC_TEXT, kAddressIntroText);
            SetDlgItemTextA(dialog, IDC_HELP_TEXT, addressHelpText(run));
            setImageVersionLine(dialog, run, IDC_VERSION_LINE);
            SendDlgItemMessageA(dialog, IDC_IPADDRESS, IPM_CLEARADDRESS, 0, 0);
            return focusAndCentre(dialog, IDC_IPADDRESS);
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                char typed[kAddressReadSize];
                GetDlgItemTextA(dialog, IDC_IPADDRESS, typed, kAddressReadSize);
                if (addressAcceptable(typed)) {
                    DialogAnswers& answers = *callOf(dialog).answers;
                    copyText(answers.typed, sizeof answers.typed, typed);
                    answers.localIndex = selectedLocalAddress(dialog);
                    EndDialog(dialog, 1);
                } else {
                    MessageBoxA(dialog, "Invalid IP Address", "Error", MB_OK);
                    SetFocus(GetDlgItem(dialog, IDC_IPADDRESS));
                }
                return TRUE;
            }
            return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK passwordProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            takeCall(dialog, lParam);
            SetDlgItemTextA(dialog, IDC_TEXT, kPasswordText);
            SetDlgItemTextA(dialog, IDC_USER, defaultUserName());
            return focusAndCentre(dialog, IDC_PASSWORD);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                DialogAnswers& answers = *callOf(dialog).answers;
                GetDlgItemTextA(dialog, IDC_USER, answers.userName, kCredentialReadSize);
                GetDlgItemTextA(dialog, IDC_PASSWORD, answers.password, kCredentialReadSize);
            }
            return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK confirmProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const Run& run = *takeCall(dialog, lParam).run;
            setTitle(dialog, run, confirmDialogTitle);
            char text[512];
            confirmDialogText(run, text, sizeof text);
            SetDlgItemTextA(dialog, IDC_TEXT, text);
            const DeviceFacts facts = run.context().deviceFacts.get();
            SetDlgItemTextA(dialog, IDC_SERIAL_VALUE, facts.serialNumber);
            SetDlgItemTextA(dialog, IDC_MAC_VALUE, facts.macAddress);
            SetDlgItemTextA(dialog, IDC_SOFTWARE_VALUE, facts.softwareVersion);
            SetDlgItemTextA(dialog, IDC_HARDWARE_VALUE, facts.hardwareVersion);
            SetDlgItemTextA(dialog, IDC_PRODUCT_VALUE, facts.productName);
            CenterOnScreen(dialog);
            return TRUE;
        }
        case WM_COMMAND: return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK successProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const DialogCall& call = takeCall(dialog, lParam);
            const Run& run = *call.run;
            setTitle(dialog, run, successDialogTitle);
            SetDlgItemTextA(dialog, IDC_TEXT, kSuccessText);
            SetDlgItemTextA(dialog, IDC_SOFTWARE_VALUE, run.context().deviceFacts.get().softwareVersion);
            // The address line is the dialog's only static and has no id.
            HWND line = FindWindowExA(dialog, nullptr, "Static", nullptr);
            if (line) SetWindowTextA(line, successWebAddress(run, call.which));
            CenterOnScreen(dialog);
            return TRUE;
        }
        case WM_COMMAND: return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

struct DialogTemplate {
    int templateId;
    DLGPROC procedure;
};

DialogTemplate templateOf(const Run& run, Dialog dialog) {
    switch (dialog) {
        case Dialog::Welcome: return {IDD_WELCOME, welcomeProcedure};
        case Dialog::Recovery: return {IDD_RECOVERY, recoveryProcedure};
        case Dialog::Warning: return {IDD_WARNING, warningProcedure};
        case Dialog::Address: return {IDD_ADDRESS, addressProcedure};
        case Dialog::PhoneAddress:
            return {isOrbstage(run.profile()) ? IDD_STAGE_PHONE_ADDRESS : IDD_FLASH_PHONE_ADDRESS, addressProcedure};
        case Dialog::Password: return {IDD_PASSWORD, passwordProcedure};
        case Dialog::Confirm: return {IDD_CONFIRM, confirmProcedure};
        case Dialog::StagedConfirm: return {IDD_STAGE_CONFIRM, confirmProcedure};
        case Dialog::Success: return {IDD_SUCCESS, successProcedure};
        case Dialog::SuccessVariant: return {IDD_SUCCESS_VARIANT, successProcedure};
    }
    return {0, nullptr};
}

}  // namespace

int win32ShowDialog(void* instance, const Run& run, Dialog dialog, DialogAnswers* answers) {
    DialogTemplate shown = templateOf(run, dialog);
    if (!shown.procedure) return 0;
    DialogCall call{&run, answers, dialog};
    INT_PTR result = DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(shown.templateId), nullptr,
                                     shown.procedure, reinterpret_cast<LPARAM>(&call));
    // -1 (the dialog could not be made) is no acceptance.
    return result == 1 ? 1 : 0;
}
