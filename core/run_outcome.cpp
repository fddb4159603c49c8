#include "core/run_outcome.h"

#include <cstring>

namespace {

struct OutcomeRow {
    RunOutcome outcome;
    const char* name;
    const char* message;
    ExitStatus status;
};

using enum ExitStatus;

// In the order of the enumeration.
constexpr OutcomeRow kOutcomes[] = {
    {RunOutcome::Success, "success", nullptr, Done},
    {RunOutcome::AlreadyCurrent, "already-current", nullptr, Done},
    {RunOutcome::Declined, "declined", nullptr, Failed},
    {RunOutcome::UserAbort, "user-abort", "Upgrade Failed: User Abort", Cancelled},
    {RunOutcome::SearchCancelled, "search-cancelled", "Recovery Failed: Cannot find the specified device!", Cancelled},
    {RunOutcome::DeviceNotFound, "device-not-found", "Recovery Failed: Cannot find the specified device!", NotFound},
    {RunOutcome::SocketsUnavailable, "sockets-unavailable", "Upgrade Failed: Winsock init error", Failed},
    {RunOutcome::ImageDamaged, "image-damaged", "Upgrade Failed: Firmware image missing or damaged", ImageUnusable},
    {RunOutcome::HttpSocketFailed, "http-socket", "Upgrade Failed: Can't open HTTP socket", Failed},
    {RunOutcome::HttpBindFailed, "http-bind", "Upgrade Failed: Can't bind HTTP socket", Failed},
    {RunOutcome::HttpConnectFailed, "http-connect", "Upgrade Failed: Can't connect to ORB", NoResponse},
    {RunOutcome::NoResponse, "no-response", "Upgrade Failed: No Response From ORB", NoResponse},
    {RunOutcome::PasswordNeeded, "password-needed", "Upgrade Failed: ORB requires a password", Password},
    {RunOutcome::PasswordRefused, "password-refused", "Upgrade Failed: ORB refused the user name and password",
     Password},
    {RunOutcome::ListenerAllocationFailed, "listener-allocation", "Upgrade Failed: Can't malloc for TFTP listener",
     Failed},
    {RunOutcome::ListenerSocketFailed, "listener-socket", "Upgrade Failed: Can't create TFTP listener socket", Failed},
    {RunOutcome::ListenerBindFailed, "listener-bind", "Upgrade Failed: Can't bind TFTP listener socket", Failed},
    {RunOutcome::ListenerThreadFailed, "listener-thread", "Upgrade Failed: Can't start TFTP listener", Failed},
    {RunOutcome::GroupJoinFailed, "group-join", nullptr, Failed},
    {RunOutcome::SessionAllocationFailed, "session-allocation", "Upgrade Failed: Can't malloc for TFTP session",
     Failed},
    {RunOutcome::TftpTimeOut, "tftp-time-out", "Upgrade Failed: TFTP time out", TransferFailed},
    {RunOutcome::TftpDeviceError, "tftp-device-error", "Upgrade Failed: TFTP error from ORB", TransferFailed},
    {RunOutcome::FetchTimedOut, "fetch-timed-out", "Upgrade Failed: ORB did not request the firmware", TransferFailed},
    {RunOutcome::UploadIncomplete, "upload-incomplete", "Upgrade Failed: Firmware Upload Incomplete", TransferFailed},
    {RunOutcome::NotRespondingAfterUpload, "silent-after-upload",
     "Upgrade Failed: ORB not responding after firmware upload", AfterRestart},
    {RunOutcome::VersionMismatch, "version-mismatch", "Upgrade Failed: Version not matching", AfterRestart},
    {RunOutcome::ImageNotForModel, "image-not-for-model", "Upgrade Failed: The image is not for this model",
     ImageUnusable},
    {RunOutcome::NotRestarted, "not-restarted", "Upgrade Failed: ORB did not restart after firmware upload",
     AfterRestart},
    {RunOutcome::NoImageForModel, "no-image-for-model", "Upgrade Failed: No image for this model", ImageUnusable},
    {RunOutcome::OtherDevice, "other-device", "Upgrade Failed: Another device answers at the ORB's address",
     AfterRestart},
    {RunOutcome::HttpError, "http-error", "Upgrade Failed: The ORB answered with an HTTP error", Failed},
    {RunOutcome::UsageError, "usage", nullptr, Usage},
    {RunOutcome::FleetFailed, "fleet-failed", nullptr, FleetFailed},
    {RunOutcome::ReportUnwritable, "report-unwritable", nullptr, Failed},
    {RunOutcome::ChildLost, "lost", nullptr, Failed},
    {RunOutcome::ChildNotStarted, "not-started", "could not be started", Failed},
    {RunOutcome::ImageCopyFailed, "image-copy", nullptr, Failed},
    {RunOutcome::HistoryUnreadable, "history-unreadable", nullptr, Failed},
};

constexpr size_t kOutcomeCount = sizeof kOutcomes / sizeof kOutcomes[0];
constexpr bool rowsInOrder() {
    for (size_t i = 0; i < kOutcomeCount; ++i)
        if (static_cast<size_t>(kOutcomes[i].outcome) != i) return false;
    return true;
}
static_assert(static_cast<size_t>(RunOutcome::HistoryUnreadable) + 1 == kOutcomeCount, "one row per outcome");
static_assert(rowsInOrder(), "rows in the order of the enumeration");

const OutcomeRow& rowOf(RunOutcome outcome) { return kOutcomes[static_cast<size_t>(outcome)]; }

}  // namespace

const ExitStatusRow kExitStatuses[] = {
    {Done, "upgraded, or already current"},
    {Failed, "another failure"},
    {Usage, "usage"},
    {NoResponse, "no response"},
    {Password, "password needed or refused"},
    {NotFound, "device not found"},
    {TransferFailed, "TFTP transfer failed"},
    {AfterRestart, "device not restarted, silent, or another version or device after its restart"},
    {ImageUnusable, "image unusable"},
    {FleetFailed, "some devices of a fleet failed"},
    {Cancelled, "cancelled"},
};
const size_t kExitStatusCount = sizeof kExitStatuses / sizeof kExitStatuses[0];

const char* outcomeMessage(RunOutcome outcome) { return rowOf(outcome).message; }

const char* outcomeName(RunOutcome outcome) { return rowOf(outcome).name; }

ExitStatus outcomeStatus(RunOutcome outcome) { return rowOf(outcome).status; }

int exitCodeOf(RunOutcome outcome, ExitStyle style) {
    return exitCode(style == ExitStyle::Wizard ? Done : outcomeStatus(outcome));
}

bool outcomeNamed(const char* name, RunOutcome* outcome) {
    for (const OutcomeRow& row : kOutcomes) {
        if (std::strcmp(row.name, name) != 0) continue;
        *outcome = row.outcome;
        return true;
    }
    return false;
}

bool outcomeSucceeded(RunOutcome outcome) { return outcomeStatus(outcome) == Done; }

bool outcomeCancelled(RunOutcome outcome) { return outcomeStatus(outcome) == Cancelled; }
