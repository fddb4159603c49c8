// What the wizard's two native front ends implement (the Win32 dialogs and
// windows, the terminal's prompts and status lines): dialogs by template,
// the error box, plain message boxes and the progress windows. The wizard
// front end turns a run's questions and steps into these.
#pragma once

#include "core/run_context.h"

class Run;

enum class Dialog {
    Welcome,         // orbflash: upgrade or recovery
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

// What an accepted dialog's fields held.
struct DialogAnswers {
    RunMode mode = RunMode::Upgrade;
    char typed[32] = {};  // the address, or the serial
    int localIndex = 0;   // the local address picked; -1: the list is empty
    char userName[128] = {};
    char password[128] = {};
};

enum class ProgressKind {
    Connecting,  // a request to the device, or the recovery search
    Upload,      // the transfer, then the wait for the restart
    Waiting,     // for the device's read request
};

// A window of the thread that opened it.
struct ProgressView;

class WizardWindows {
public:
    virtual ~WizardWindows() = default;
    // Program-wide preparations before start-up; false ends the program silently.
    virtual bool prepare() { return true; }
    // The person left with nothing on screen to act on it (the terminal:
    // Ctrl+C between windows): the run ends as it stands, showing nothing more.
    virtual bool closed() const { return false; }
    // Modal; 1 accepted (answers filled), 0 declined.
    virtual int showDialog(const Run& run, Dialog dialog, DialogAnswers* answers) = 0;
    // The error box, captioned kErrorBoxCaption.
    virtual void showErrorBox(const char* text) = 0;
    // A plain OK box without owner.
    virtual void showMessageBox(const char* text, const char* caption) = 0;

    // title: null keeps the window's own. May return null; the calls below
    // are then not made.
    virtual ProgressView* open(ProgressKind kind, const char* title) = 0;
    virtual void setRange(ProgressView* view, unsigned maximum) = 0;
    virtual void setPosition(ProgressView* view, unsigned position) = 0;
    virtual void setTitle(ProgressView* view, const char* title) = 0;
    virtual void setText(ProgressView* view, const char* text) = 0;
    // A short remark on what went wrong so far; the wait goes on.
    virtual void setNote(ProgressView* view, const char* note) = 0;
    // Delivers what is pending for the window; true once Cancel (or the
    // close box, or Ctrl+C) was pressed.
    virtual bool poll(ProgressView* view) = 0;
    virtual void close(ProgressView* view) = 0;
};
