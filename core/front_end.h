// What a run asks of the one front end it talks to, in the run's own words:
// questions that return their answers, the steps of the run (each with the
// view it concerns), "cancelled?", and the end. Every slot has a harmless
// default, so a front end implements only what it shows. Slots may be
// called from the main thread and from the TFTP listener's thread; a view
// belongs to the thread that opened it.
#pragma once

#include <cstdint>

#include "core/run_context.h"
#include "core/run_outcome.h"

class Run;

// A window (or its stand-in) that a front end shows while the run waits on
// the network. Opaque to the run.
struct View;

enum class ViewKind {
    Connecting,      // a request to the device, or the recovery search
    AwaitFetch,      // for the device's read request, with the explanation
    AwaitNextFetch,  // for the target image's read request after a transition image
    Upload,          // the transfer, then the wait for the restart
};

enum class StepKind {
    StatusRead,     // reading the status page of address
    Tick,           // a view's wait goes on: done ticks so far
    Facts,          // the device's facts are in the context
    Trigger,        // the trigger went out; status is the device's HTTP answer (0: none)
    Waiting,        // for the read request of text on port
    WaitTick,       // the wait for the read request: done ms; status: the trigger's answer so far
    TransferStart,  // address:port fetches total bytes (blockCount blocks)
    Transfer,       // done of total bytes acknowledged; block awaited of blockCount
    TransferDone,   // all total bytes acknowledged
    RestartWait,    // done of total ticks (of tickMs) of the wait for the restart
    RestartFollow,  // the restart followed: phase, done ms of at most total ms
    VersionRead,    // the device reports text after its restart
};

// Where a followed restart stands.
enum class RestartPhase {
    GoingDown,       // the device still answers on its old version, or not polled yet
    ComingBack,      // it was seen down
    ReadingVersion,  // it answers again
};

struct RunStep {
    StepKind kind;
    uint32_t address = 0;
    uint16_t port = 0;
    int status = 0;
    uint32_t done = 0;
    uint32_t total = 0;
    uint32_t block = 0;
    uint32_t blockCount = 0;
    uint32_t tickMs = 0;
    RestartPhase phase = RestartPhase::GoingDown;
    const char* text = nullptr;
};

// What check found, one line each.
enum class Finding { Ok, Warning, Problem };

// Answers, as typed; the run takes them (parses, cuts, draws the file name).
struct AddressAnswer {
    char typed[32] = {};
    int localIndex = 0;         // into localAddresses; -1: none listed
    uint32_t localAddress = 0;  // not 0: this address rather than an entry of the list
};
struct SerialAnswer {
    char serial[32] = {};
    int localIndex = 0;
    uint32_t localAddress = 0;
};
struct CredentialsAnswer {
    char userName[128] = {};
    char password[128] = {};
    // When none are given: what ends the run.
    RunOutcome refusal = RunOutcome::UserAbort;
};

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Questions: true with the answer, false when declined (or closed).
    virtual bool chooseMode(const Run&, RunMode*) { return false; }
    virtual bool acceptWarning(const Run&) { return false; }
    virtual bool askAddress(const Run&, AddressAnswer*) { return false; }
    virtual bool askSerial(const Run&, SerialAnswer*) { return false; }
    virtual bool askCredentials(const Run&, CredentialsAnswer*) { return false; }
    virtual bool confirmUpgrade(const Run&) { return false; }
    virtual void showSuccess(const Run&) {}
    // A plain message box (socket set-up errors), captioned.
    virtual void showMessage(const Run&, const char* /*text*/, const char* /*caption*/) {}

    // Waits on the network: a view per wait, the steps, Cancel.
    virtual View* openView(const Run&, ViewKind) { return nullptr; }
    virtual void step(const Run&, View*, const RunStep&) {}
    virtual bool cancelled(const Run&, View*) { return false; }
    virtual void closeView(const Run&, View*) {}

    virtual void finding(const Run&, Finding, const char* /*text*/) {}

    // The end, once, on the thread that met it and before its views close:
    // the message (null for none) is shown.
    virtual void end(const Run&, RunOutcome /*outcome*/, const char* /*message*/) {}
    // Whose exit status the run's outcome becomes (the table's, or the wizard's 0).
    virtual ExitStyle exitStyle() const { return ExitStyle::CommandLine; }
};
