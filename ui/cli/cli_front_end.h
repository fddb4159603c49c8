// The command line as a front end: the run's questions answered from the
// options, waits that only watch for Ctrl+C, and the run's steps as lines,
// a live bar and JSON events.
#pragma once

#include <atomic>
#include <string>

#include "core/front_end.h"
#include "platform/platform_console.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/cli_output.h"

struct CliRequest {
    CliOptions options;
    std::string password;  // never printed
    bool havePassword = false;
    uint32_t localAddress = 0;  // this PC's address toward the device; 0: any
    std::string localWhy;       // how it was chosen, for check
    std::string device;         // how lines and events name the device
};

class CliFrontEnd : public FrontEnd {
public:
    CliFrontEnd(CliRequest& request, CliOutput& output, Console& console);

    bool chooseMode(const Run&, RunMode* mode) override;
    bool acceptWarning(const Run&) override { return true; }
    bool askAddress(const Run&, AddressAnswer* answer) override;
    bool askSerial(const Run&, SerialAnswer* answer) override;
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

private:
    void transferBar(const RunStep& step);
    // The image the device got or would get (with several, once chosen).
    void imageFields(const Run& run, RunEvent* e) const;

    CliRequest& request_;
    CliOutput& out_;
    Console& console_;
    // How events name the device, in every event alike: the target as given
    // (a recovery's lines add the address once it is known; its events do not).
    std::string eventName_;
    int passwordsGiven_ = 0;
    uint32_t transferStartMs_ = 0;
    uint32_t lastProgressMs_ = 0;
    uint32_t lastRestartSecond_ = 0xFFFFFFFF;
};

// The credentials for the device: the password given, else one typed at a
// hidden prompt on a terminal; false when there is none to give.
bool supplyCredentials(CliRequest& request, Console& console, CredentialsAnswer* answer);
