// What ended a run, and what a program that ends with it exits with. Each
// failure the programs report has its own entry; its name, its message and
// its exit status stand once, in the table behind these functions.
#pragma once

#include <cstddef>

enum class RunOutcome {
    Success,             // the device took the image and answered after its restart
    AlreadyCurrent,      // command line: the device already runs the image's version
    Declined,            // a dialog before the confirmation was declined: no message
    UserAbort,           // Cancel, or the confirmation or password dialog declined
    SearchCancelled,     // Cancel while the recovery search (or its window) was up
    DeviceNotFound,      // the recovery search found nothing
    SocketsUnavailable,  // the socket library would not start
    ImageDamaged,        // the embedded image is missing or unreadable
    HttpSocketFailed,
    HttpBindFailed,
    HttpConnectFailed,
    NoResponse,       // the status page could not be read
    PasswordNeeded,   // command line: the device asks for a password and none was given
    PasswordRefused,  // command line: the device refused the password given
    ListenerAllocationFailed,
    ListenerSocketFailed,
    ListenerBindFailed,
    ListenerThreadFailed,
    GroupJoinFailed,  // reported by its own box: no error box
    SessionAllocationFailed,
    TftpTimeOut,
    TftpDeviceError,  // the device sent a TFTP ERROR; the message carries its code and text
    FetchTimedOut,    // no read request came within the run's limit
    UploadIncomplete,
    NotRespondingAfterUpload,  // went down after the upload and did not come back (or no status read answered)
    VersionMismatch,
    ImageNotForModel,  // command line: the image's model is not the device's product
    NotRestarted,  // command line: answered on its old version until the limit, never down
    NoImageForModel,   // command line: of several images, none is for the device's product
    OtherDevice,       // command line: after the upload another device answers at the address
    HttpError,         // command line: the status read was answered with an HTTP error (not a 401)
    // Ends of the application around the runs, which no run meets.
    UsageError,        // the command line was not understood
    FleetFailed,       // some devices of a fleet did not end upgraded or current
    ReportUnwritable,  // the fleet's --report could not be written
    ChildLost,         // a fleet's child ended without a result
    ChildNotStarted,   // a fleet's child could not be started
    ImageCopyFailed,   // a fleet's private copy of an image could not be kept
    HistoryUnreadable,  // the history command could not read the history file
};

// The exit statuses of the command line, the same in both programs and
// builds (the wizard always exits with 0).
enum class ExitStatus : int {
    Done = 0,
    Failed = 1,
    Usage = 2,
    NoResponse = 3,
    Password = 4,
    NotFound = 5,
    TransferFailed = 6,
    AfterRestart = 7,
    ImageUnusable = 8,
    FleetFailed = 9,
    Cancelled = 130,
};

struct ExitStatusRow {
    ExitStatus status;
    const char* meaning;  // as the help text and the documentation say it
};
extern const ExitStatusRow kExitStatuses[];
extern const size_t kExitStatusCount;

inline int exitCode(ExitStatus status) { return static_cast<int>(status); }

// Who the process's status is for: the wizard always ends with 0, the
// command line by the table.
enum class ExitStyle { Wizard, CommandLine };

// The error box text, or null for outcomes that show none.
const char* outcomeMessage(RunOutcome outcome);
// A short name for logs and machine-readable output ("tftp-time-out").
const char* outcomeName(RunOutcome outcome);
// The command line's exit status for the outcome.
ExitStatus outcomeStatus(RunOutcome outcome);
// The process's exit code for the outcome: the one mapping of a result to
// an exit status.
int exitCodeOf(RunOutcome outcome, ExitStyle style = ExitStyle::CommandLine);
// An outcome read back by its name (a fleet's child's result); false for none.
bool outcomeNamed(const char* name, RunOutcome* outcome);
// Ended upgraded or already current (exit status 0).
bool outcomeSucceeded(RunOutcome outcome);
// Cancelled by the user (exit status 130): proves nothing about the image.
bool outcomeCancelled(RunOutcome outcome);
