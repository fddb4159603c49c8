#include "ui/win32/win32_front_end.h"

#include "ui/native_front_end.h"

namespace {
const WizardFrontEnd kWin32Wizard = {
    .prepare = win32Prepare,
    .showDialog = win32ShowDialog,
    .showErrorBox = win32ShowErrorBox,
    .showMessageBox = win32ShowMessageBox,
};

const ProgressFrontEnd kWin32Progress = {
    .open = win32OpenProgress,
    .setRange = win32SetProgressRange,
    .setPosition = win32SetProgressPosition,
    .setTitle = win32SetProgressTitle,
    .setText = win32SetProgressText,
    .setNote = win32SetProgressNote,
    .poll = win32PollProgress,
    .close = win32CloseProgress,
};
}  // namespace

void useNativeFrontEnd() {
    useWizardFrontEnd(&kWin32Wizard);
    useProgressFrontEnd(&kWin32Progress);
}
