// The wizard dialogs: one procedure per dialog, opened modally by template
// id. What they show and what their buttons store is ui/dialog_logic's.
#include <windows.h>
#include <commctrl.h>

#include "core/upgrade_context.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_texts.h"
#include "core/program_profile.h"
#include "ui/resource_ids.h"
#include "ui/win32/win32_front_end.h"
#include "ui/win32/window_placement.h"

namespace {

// Read limits of the entries, counting the terminating NUL.
const int kAddressReadSize = 32;
const int kSerialReadSize = 20;
const int kCredentialReadSize = 127;

void fillLocalAddressList(HWND dialog) {
    char entries[8][kLocalAddressTextSize];
    int count = localAddressEntries(entries);
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i]));
    SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_SETCURSEL, 0, 0);
}

// -1 (CB_ERR) when the list is empty.
int selectedLocalAddress(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_LOCAL_ADDRESSES, CB_GETCURSEL, 0, 0));
}

void setImageVersionLine(HWND dialog, int controlId) {
    char line[128];
    imageVersionLine(line, sizeof line);
    SetDlgItemTextA(dialog, controlId, line);
}

void setTitle(HWND dialog, void (*makeTitle)(char*, size_t)) {
    char title[128];
    makeTitle(title, sizeof title);
    SetWindowTextA(dialog, title);
}

// Tells the dialog handling that the focus is set.
INT_PTR focusAndCentre(HWND dialog, int controlId) {
    SetFocus(GetDlgItem(dialog, controlId));
    CenterOnScreen(dialog);
    return FALSE;
}

INT_PTR CALLBACK welcomeProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextA(dialog, IDC_INTRO_TEXT, kWelcomeText);
            // Enter picks the upgrade, as the default button says.
            return focusAndCentre(dialog, IDC_UPGRADE_BUTTON);
        case WM_COMMAND:
            // Escape (IDCANCEL) is left to the default handling, which ignores it.
            switch (LOWORD(wParam)) {
                case IDC_UPGRADE_BUTTON:
                    chooseMode(RunMode::Upgrade);
                    EndDialog(dialog, 1);
                    return TRUE;
                case IDC_RECOVER_BUTTON:
                    chooseMode(RunMode::Recovery);
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

INT_PTR CALLBACK recoveryProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            fillLocalAddressList(dialog);
            SetDlgItemTextA(dialog, IDC_INTRO_TEXT, kRecoveryIntroText);
            setImageVersionLine(dialog, IDC_RECOVERY_VERSION);
            SetDlgItemTextA(dialog, IDC_RECOVERY_CHECK, recoveryCheckText());
            return focusAndCentre(dialog, IDC_SERIAL_ENTRY);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: {
                    char serial[kSerialReadSize];
                    GetDlgItemTextA(dialog, IDC_SERIAL_ENTRY, serial, kSerialReadSize);
                    acceptRecoveryDialog(serial, selectedLocalAddress(dialog));
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

INT_PTR CALLBACK warningProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            setTitle(dialog, warningDialogTitle);
            SetDlgItemTextA(dialog, IDC_WARNING_TEXT, kWarningText);
            // Cancel is also the default button: Enter declines.
            return focusAndCentre(dialog, IDCANCEL);
        case WM_COMMAND: return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK addressProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            fillLocalAddressList(dialog);
            setTitle(dialog, addressDialogTitle);
            SetDlgItemTextA(dialog, IDC_TEXT, kAddressIntroText);
            SetDlgItemTextA(dialog, IDC_HELP_TEXT, addressHelpText());
            setImageVersionLine(dialog, IDC_VERSION_LINE);
            SendDlgItemMessageA(dialog, IDC_IPADDRESS, IPM_CLEARADDRESS, 0, 0);
            return focusAndCentre(dialog, IDC_IPADDRESS);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                char typed[kAddressReadSize];
                GetDlgItemTextA(dialog, IDC_IPADDRESS, typed, kAddressReadSize);
                if (acceptAddressDialog(typed, selectedLocalAddress(dialog))) {
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

INT_PTR CALLBACK passwordProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextA(dialog, IDC_TEXT, kPasswordText);
            SetDlgItemTextA(dialog, IDC_USER, defaultUserName());
            return focusAndCentre(dialog, IDC_PASSWORD);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                char userName[kCredentialReadSize];
                char password[kCredentialReadSize];
                GetDlgItemTextA(dialog, IDC_USER, userName, kCredentialReadSize);
                GetDlgItemTextA(dialog, IDC_PASSWORD, password, kCredentialReadSize);
                acceptPasswordDialog(userName, password);
            }
            return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK confirmProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            setTitle(dialog, confirmDialogTitle);
            char text[512];
            confirmDialogText(text, sizeof text);
            SetDlgItemTextA(dialog, IDC_TEXT, text);
            const DeviceFacts& facts = gContext.deviceFacts;
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

INT_PTR successDialog(HWND dialog, UINT message, WPARAM wParam, Dialog which) {
    switch (message) {
        case WM_INITDIALOG: {
            setTitle(dialog, successDialogTitle);
            SetDlgItemTextA(dialog, IDC_TEXT, kSuccessText);
            SetDlgItemTextA(dialog, IDC_SOFTWARE_VALUE, gContext.deviceFacts.softwareVersion);
            // The address line is the dialog's only static and has no id.
            HWND line = FindWindowExA(dialog, nullptr, "Static", nullptr);
            if (line) SetWindowTextA(line, successWebAddress(which));
            CenterOnScreen(dialog);
            return TRUE;
        }
        case WM_COMMAND: return endOnOkOrCancel(dialog, wParam);
    }
    return FALSE;
}

INT_PTR CALLBACK successProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return successDialog(dialog, message, wParam, Dialog::Success);
}

INT_PTR CALLBACK successVariantProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return successDialog(dialog, message, wParam, Dialog::SuccessVariant);
}

struct DialogTemplate {
    int templateId;
    DLGPROC procedure;
};

DialogTemplate templateOf(Dialog dialog) {
    switch (dialog) {
        case Dialog::Welcome: return {IDD_WELCOME, welcomeProcedure};
        case Dialog::Recovery: return {IDD_RECOVERY, recoveryProcedure};
        case Dialog::Warning: return {IDD_WARNING, warningProcedure};
        case Dialog::Address: return {IDD_ADDRESS, addressProcedure};
        case Dialog::PhoneAddress:
            return {isOrbstage() ? IDD_STAGE_PHONE_ADDRESS : IDD_FLASH_PHONE_ADDRESS, addressProcedure};
        case Dialog::Password: return {IDD_PASSWORD, passwordProcedure};
        case Dialog::Confirm: return {IDD_CONFIRM, confirmProcedure};
        case Dialog::StagedConfirm: return {IDD_STAGE_CONFIRM, confirmProcedure};
        case Dialog::Success: return {IDD_SUCCESS, successProcedure};
        case Dialog::SuccessVariant: return {IDD_SUCCESS_VARIANT, successVariantProcedure};
    }
    return {0, nullptr};
}

}  // namespace

int win32ShowDialog(Dialog dialog) {
    DialogTemplate shown = templateOf(dialog);
    if (!shown.procedure) return 0;
    INT_PTR result = DialogBoxParamA(static_cast<HINSTANCE>(gContext.instance), MAKEINTRESOURCEA(shown.templateId),
                                     nullptr, shown.procedure, 0);
    // -1 (the dialog could not be made) is no acceptance.
    return result == 1 ? 1 : 0;
}
