#include "ui/terminal/terminal_front_end.h"

#include "ui/native_front_end.h"

namespace {
const WizardFrontEnd kTerminalWizard = {
    .prepare = nullptr,
    .showDialog = terminalShowDialog,
    .showErrorBox = terminalShowErrorBox,
    .showMessageBox = terminalShowMessageBox,
};

const ProgressFrontEnd kTerminalProgress = {
    .open = terminalOpenProgress,
    .setRange = terminalSetProgressRange,
    .setPosition = terminalSetProgressPosition,
    .setTitle = terminalSetProgressTitle,
    .setText = terminalSetProgressText,
    .setNote = terminalSetProgressNote,
    .poll = terminalPollProgress,
    .close = terminalCloseProgress,
};
}  // namespace

void useNativeFrontEnd() {
    useWizardFrontEnd(&kTerminalWizard);
    useProgressFrontEnd(&kTerminalProgress);
}
