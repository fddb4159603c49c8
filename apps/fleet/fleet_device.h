// The fleet's parts: its devices as the parent follows them, the list
// checked before anything starts, and what it reports at the end.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "core/program_profile.h"
#include "core/run_outcome.h"
#include "platform/platform_child.h"
#include "apps/command_line/cli_options.h"
#include "core/run_event.h"
#include "core/run_request.h"

enum class DeviceState { Waiting, Running, Done, NotStarted };
enum class NotStartedWhy { Stopped, CanaryFailed, BudgetSpent, WindowClosed };

struct FleetDevice {
    std::string address;  // as a dotted quad, whatever its spelling where it was listed
    std::string user;
    std::string passwordFile;
    DeviceState state = DeviceState::Waiting;
    NotStartedWhy why = NotStartedWhy::Stopped;
    OrbChild* child = nullptr;
    std::string pending;     // output not yet a whole line
    std::string resultLine;  // its result event, passed on once the parent has judged it
    std::string log;         // --log-dir: its messages and events
    bool logFailed = false;
    bool canary = false;
    // From its events.
    std::string serial, mac, product, before, after, image, imageFile, imageSha256, verdict, step;
    unsigned percent = 0;
    bool transferStarted = false;  // the device asked for the image (its transfer event)
    // Bytes of the image went out to it (its result's bytes_sent; without a
    // result, its transfer event): what the canary and the budget count.
    bool imageReached = false;
    bool resultSeen = false;
    // Its result read back into the outcome type; code is its exit status
    // (a lost child's own status).
    RunOutcome outcome = RunOutcome::ChildLost;
    int code = -1;
    std::string message;
    uint32_t startMs = 0, endMs = 0;  // from its first attempt's start to its last one's end
    std::time_t startTime = 0, endTime = 0;
    // Retries: the runs started (a retry is another), and a device waiting
    // for another one keeps its last result until then.
    unsigned attempts = 0;
    // Its phases as the parent saw its events come, every attempt's.
    struct Phase {
        std::string name;  // reading, waiting, transfer, restart, verification
        uint32_t startMs, endMs;
        unsigned attempt;
    };
    std::vector<Phase> phases;
    bool retryPending = false;
    uint32_t retryAtMs = 0;  // not before then
};

// The phase an event of its child shows, at nowMs (the parent's clock).
void notePhase(FleetDevice* device, const RunEvent& event, uint32_t nowMs);

// The per-run fields cleared before another attempt starts; what its
// status page said stays until read again.
void clearAttempt(FleetDevice* device);

// One event of the device's child taken into its row (its result too, kept
// to be passed on once judged).
void takeChildEvent(FleetDevice* device, const RunEvent& event, const std::string& line);
// Its child ended without a result, with this exit status: that device's
// failure, not the fleet's.
void takeLostChild(FleetDevice* device, int status);

// Upgraded or already current; for check, would upgrade or already current.
bool deviceSucceeded(const FleetDevice& device, bool check);
// A failure once bytes of the image had gone out to the device: what the
// budget counts, and what stops the rollout at a canary.
bool failedAfterImage(const FleetDevice& device);
// The device's result in words, as the summary and the report give it.
std::string resultWords(const FleetDevice& device, bool check);

// The devices from the arguments and --devices, each checked, and what the
// whole fleet shares (--local, --log-dir, --report; the images follow in
// pinImages), all before any child starts: false with the exit status
// after reporting every mistake.
bool planFleet(const ProgramProfile& profile, const CliOptions& options, std::vector<FleetDevice>* devices,
               int* exitStatus);

// The images of a fleet, read and checked once by the parent: a private
// copy of each (a folder only this user can enter, the file read-only),
// served by every child once it found the copy's SHA-256 unchanged; the
// folder goes when the fleet ends.
struct PinnedImages {
    std::string folder;
    std::map<std::string, std::string> pins;  // --image or --transition-image as given: "SHA256:COPY"
    ~PinnedImages();
    const std::string& pinOf(const std::string& path) const;
};
// False with the exit status after saying why (8 for an unusable image).
bool pinImages(const ProgramProfile& profile, RunRequest& request, PinnedImages* pinned, int* exitStatus);

// The fields of a device's row, for the summary event and the report alike.
RunEvent resultOf(const FleetDevice& device, bool check);
// Whole seconds from its start to its end.
int64_t secondsTaken(const FleetDevice& device);
struct FleetTally {
    int succeeded = 0, current = 0, failed = 0, notStarted = 0;
};
FleetTally tallyOf(const std::vector<FleetDevice>& devices, bool check);
// --report: one CSV row per device (RFC 4180), replacing the file whole or
// not at all; false with the system's reason when it cannot be written.
// Written during the run too: devices not yet ended say so.
bool writeReport(const std::string& path, const std::vector<FleetDevice>& devices, bool check, std::string* why);
