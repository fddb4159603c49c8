#include "core/run_outcome.h"

namespace {

struct OutcomeRow {
    RunOutcome outcome;
    const char* name;
    const char* message;
};

// In the order of the enumeration.
const OutcomeRow kOutcomes[] = {
    {RunOutcome::Success, "success", nullptr},
    {RunOutcome::AlreadyCurrent, "already-current", nullptr},
    {RunOutcome::Declined, "declined", nullptr},
    {RunOutcome::UserAbort, "user-abort", "Upgrade Failed: User Abort"},
    {RunOutcome::SearchCancelled, "search-cancelled", "Recovery Failed: Cannot find the specified device!"},
    {RunOutcome::DeviceNotFound, "device-not-found", "Recovery Failed: Cannot find the specified device!"},
    {RunOutcome::SocketsUnavailable, "sockets-unavailable", "Upgrade Failed: Winsock init error"},
    {RunOutcome::ImageDamaged, "image-damaged", "Upgrade Failed: Firmware image missing or damaged"},
    {RunOutcome::HttpSocketFailed, "http-socket", "Upgrade Failed: Can't open HTTP socket"},
    {RunOutcome::HttpBindFailed, "http-bind", "Upgrade Failed: Can't bind HTTP socket"},
    {RunOutcome::HttpConnectFailed, "http-connect", "Upgrade Failed: Can't connect to ORB"},
    {RunOutcome::NoResponse, "no-response", "Upgrade Failed: No Response From ORB"},
    {RunOutcome::PasswordNeeded, "password-needed", "Upgrade Failed: ORB requires a password"},
    {RunOutcome::PasswordRefused, "password-refused", "Upgrade Failed: ORB refused the user name and password"},
    {RunOutcome::ListenerAllocationFailed, "listener-allocation", "Upgrade Failed: Can't malloc for TFTP listener"},
    {RunOutcome::ListenerSocketFailed, "listener-socket", "Upgrade Failed: Can't create TFTP listener socket"},
    {RunOutcome::ListenerBindFailed, "listener-bind", "Upgrade Failed: Can't bind TFTP listener socket"},
    {RunOutcome::ListenerThreadFailed, "listener-thread", "Upgrade Failed: Can't start TFTP listener"},
    {RunOutcome::GroupJoinFailed, "group-join", nullptr},
    {RunOutcome::SessionAllocationFailed, "session-allocation", "Upgrade Failed: Can't malloc for TFTP session"},
    {RunOutcome::TftpTimeOut, "tftp-time-out", "Upgrade Failed: TFTP time out"},
    {RunOutcome::TftpDeviceError, "tftp-device-error", "Upgrade Failed: TFTP error from ORB"},
    {RunOutcome::FetchTimedOut, "fetch-timed-out", "Upgrade Failed: ORB did not request the firmware"},
    {RunOutcome::UploadIncomplete, "upload-incomplete", "Upgrade Failed: Firmware Upload Incomplete"},
    {RunOutcome::NotRespondingAfterUpload, "silent-after-upload",
     "Upgrade Failed: ORB not responding after firmware upload"},
    {RunOutcome::VersionMismatch, "version-mismatch", "Upgrade Failed: Version not matching"},
};

const OutcomeRow& rowOf(RunOutcome outcome) {
    for (const OutcomeRow& row : kOutcomes)
        if (row.outcome == outcome) return row;
    return kOutcomes[0];
}

}  // namespace

const char* outcomeMessage(RunOutcome outcome) { return rowOf(outcome).message; }

const char* outcomeName(RunOutcome outcome) { return rowOf(outcome).name; }
