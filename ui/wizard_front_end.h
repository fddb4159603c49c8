// The wizard as a front end: each question is a dialog, each wait a
// progress window whose titles, notes and bar this composes from the run's
// steps, and the end an error box. The exit code is always 0. Once the
// windows report the person gone (closed), every dialog is declined and
// every wait cancelled, showing nothing, so the run ends as it stands.
#pragma once

#include "core/front_end.h"
#include "ui/wizard.h"

class WizardFrontEnd : public FrontEnd {
public:
    explicit WizardFrontEnd(WizardWindows& windows) : windows_(windows) {}

    bool chooseMode(const Run& run, RunMode* mode) override;
    bool acceptWarning(const Run& run) override;
    bool askAddress(const Run& run, AddressAnswer* answer) override;
    bool askSerial(const Run& run, SerialAnswer* answer) override;
    bool askCredentials(const Run& run, CredentialsAnswer* answer) override;
    bool confirmUpgrade(const Run& run) override;
    void showSuccess(const Run& run) override;
    void showMessage(const Run&, const char* text, const char* caption) override;

    View* openView(const Run& run, ViewKind kind) override;
    void step(const Run& run, View* view, const RunStep& step) override;
    bool cancelled(const Run&, View* view) override;
    void closeView(const Run&, View* view) override;

    void end(const Run&, RunOutcome, const char* message) override;
    ExitStyle exitStyle() const override { return ExitStyle::Wizard; }

private:
    int show(const Run& run, Dialog dialog, DialogAnswers* answers);

    WizardWindows& windows_;
};
