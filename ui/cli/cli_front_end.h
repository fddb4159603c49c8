// The command line as a front end: what the run's request leaves open asked
// at the terminal (the password, the confirmation), waits that only watch
// for Ctrl+C, and the run's steps as lines, a live bar and JSON events.
#pragma once

#include <atomic>
#include <string>

#include "core/front_end.h"
#include "platform/platform_console.h"
#include "core/run_request.h"
#include "base/program_output.h"
#include "core/run_event.h"

class CliFrontEnd : public FrontEnd {
public:
    CliFrontEnd(const RunRequest& request, ProgramOutput& output, Console& console);

    bool askCredentials(const Run&, CredentialsAnswer* answer) override;
    bool confirmUpgrade(const Run& run) override;
    void showMessage(const Run&, const char* text, const char* caption) override;

    View* openView(const Run&, ViewKind kind) override;
    void step(const Run& run, View* view, const RunStep& step) override;
    bool cancelled(const Run&, View*) override;
    void closeView(const Run&, View* view) override;

    void finding(const Run&, Finding finding, const char* text) override;
    void end(const Run& run, RunOutcome outcome, const char* message) override;

    // An event naming this run's device.
    RunEvent event(const char* name) const;
    // An event written out (with --json).
    void send(const RunEvent& e);

private:
    void transferBar(const RunStep& step);
    // The image the device got or would get (with several, once chosen).
    void imageFields(const Run& run, RunEvent* e) const;

    const RunRequest& request_;
    ProgramOutput& out_;
    Console& console_;
    // How events name the device, in every event alike: the target as given;
    // how lines name it (a recovery's add the address once it is known).
    std::string eventName_, device_;
    uint32_t transferStartMs_ = 0;
    uint32_t lastProgressMs_ = 0;
    uint32_t lastRestartSecond_ = 0xFFFFFFFF;
};
