#include "ui/progress.h"
#include "ui/wizard.h"

namespace {
const WizardFrontEnd* wizard = nullptr;
const ProgressFrontEnd* progress = nullptr;
}  // namespace

void useWizardFrontEnd(const WizardFrontEnd* frontEnd) { wizard = frontEnd; }
void useProgressFrontEnd(const ProgressFrontEnd* frontEnd) { progress = frontEnd; }

bool prepareFrontEnd(void* instance) { return !wizard->prepare || wizard->prepare(instance); }
int showDialog(Dialog dialog) { return wizard->showDialog(dialog); }

int ShowErrorBox(const char* text) {
    wizard->showErrorBox(text);
    return 1;  // its only button, OK
}

void showMessageBox(const char* text, const char* caption) { wizard->showMessageBox(text, caption); }

ProgressView* openProgress(ProgressKind kind, const char* title) { return progress->open(kind, title); }

void setProgressRange(ProgressView* view, unsigned maximum) {
    if (view) progress->setRange(view, maximum);
}

void setProgressPosition(ProgressView* view, unsigned position) {
    if (view) progress->setPosition(view, position);
}

void setProgressTitle(ProgressView* view, const char* title) {
    if (view) progress->setTitle(view, title);
}

void setProgressText(ProgressView* view, const char* text) {
    if (view) progress->setText(view, text);
}

void setProgressNote(ProgressView* view, const char* note) {
    if (view) progress->setNote(view, note);
}

bool progressCancelled(ProgressView* view) { return view && progress->poll(view); }

void closeProgress(ProgressView* view) {
    if (view) progress->close(view);
}
