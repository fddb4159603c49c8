// What ended a run. Each failure the programs report has its own entry,
// and the texts they show stand once, in the table behind outcomeMessage.
#pragma once

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
    NotRespondingAfterUpload,
    VersionMismatch,
};

// The error box text, or null for outcomes that show none.
const char* outcomeMessage(RunOutcome outcome);
// A short name for logs and machine-readable output ("tftp-time-out").
const char* outcomeName(RunOutcome outcome);
