#include <cstring>
#include <sstream>

#include "apps/fleet/fleet_events.h"
#include "apps/reports/report_model.h"
#include "base/byte_text.h"
#include "base/text.h"
#include "core/device_check.h"
#include "platform/platform_file.h"

namespace {

// Ended, with an exit status; at the summary every device that started has.
bool ran(const FleetDevice& d) { return d.state == DeviceState::Done; }



// Device bytes as the JSON carries them (each byte the code point of its
// value, in UTF-8), quoted; a cell a spreadsheet would take for a formula
// starts with an apostrophe.
std::string csvText(const std::string& bytes) {
    std::string text;
    if (!bytes.empty() && std::strchr("=+-@\t\r", bytes[0])) text = "'";
    for (char c : bytesAsUtf8(bytes)) text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return "\"" + text + "\"";
}

// --report: rewritten whole whenever a device's state changed, so that a run
// killed at any moment leaves a report true of its last change, and visibly
// unfinished, never the previous run's.
class FleetReport : public FleetObserver {
public:
    FleetReport(ProgramOutput& out, const std::string& path) : out_(out), path_(path) {}

    void observe(const FleetRun& fleet, const FleetEvent& e) override {
        switch (e.kind) {
            // The previous report goes before anything starts, or nothing starts;
            // one that cannot be written at the end fails the run.
            case FleetEventKind::Began:
            case FleetEventKind::Finished:
                if (!record(fleet)) out_.importantLine("--report: cannot write %s: %s", path_.c_str(), why_.c_str());
                break;
            case FleetEventKind::Tick: {
                bool same = recorded_.size() == fleet.devices.size();
                for (size_t i = 0; same && i < recorded_.size(); ++i) same = recorded_[i] == fleet.devices[i].state;
                if (same || record(fleet) || said_) return;
                // Said once during the run.
                said_ = true;
                out_.importantLine("--report: cannot write %s: %s", path_.c_str(), why_.c_str());
                break;
            }
            default: break;
        }
    }
    bool failed() const override { return failed_; }

private:
    bool record(const FleetRun& fleet) {
        recorded_.clear();
        for (const FleetDevice& d : fleet.devices) recorded_.push_back(d.state);
        failed_ = !writeReport(path_, fleet.devices, fleet.check, &why_);
        return !failed_;
    }

    ProgramOutput& out_;
    const std::string path_;
    std::vector<DeviceState> recorded_;  // the states the report last written shows
    std::string why_;
    bool failed_ = false;
    bool said_ = false;
};

}  // namespace

int64_t secondsTaken(const FleetDevice& d) { return d.endMs > d.startMs ? (d.endMs - d.startMs + 500) / 1000 : 0; }

RunEvent resultOf(const FleetDevice& d, bool check) {
    RunEvent r;
    r.device = d.address;
    r.serial = d.serial;
    r.mac = d.mac;
    r.product = d.product;
    r.before = d.before;
    r.after = d.after;
    r.image = d.image;
    r.imageFile = d.imageFile;
    r.imageSha256 = d.imageSha256;
    r.result = resultWords(d, check);
    if (ran(d)) r.code = d.code;
    r.start = reportUtc(d.startTime);
    r.end = reportUtc(d.endTime);
    r.seconds = secondsTaken(d);
    r.attempts = d.attempts;
    return r;
}

FleetTally tallyOf(const std::vector<FleetDevice>& devices, bool check) {
    FleetTally t;
    for (const FleetDevice& d : devices) {
        if (!ran(d))
            ++t.notStarted;
        else if (!deviceSucceeded(d, check))
            ++t.failed;
        else if (d.outcome == RunOutcome::AlreadyCurrent || verdictCurrent(d.verdict))
            ++t.current;
        else
            ++t.succeeded;
    }
    return t;
}

std::unique_ptr<FleetObserver> makeFleetReport(ProgramOutput& out, const std::string& path) {
    return std::make_unique<FleetReport>(out, path);
}

bool deviceSucceeded(const FleetDevice& d, bool check) {
    if (d.state != DeviceState::Done || !d.resultSeen) return false;
    if (check) return verdictClear(d.verdict);
    return outcomeSucceeded(d.outcome);
}

bool failedAfterImage(const FleetDevice& d) {
    return d.state == DeviceState::Done && d.imageReached && !outcomeSucceeded(d.outcome) &&
           !outcomeCancelled(d.outcome);
}

std::string resultWords(const FleetDevice& d, bool check) {
    // Only a report written during the run holds these: a killed run leaves them.
    if (d.state == DeviceState::Waiting) return "waiting (run not finished)";
    if (d.state == DeviceState::Running) return "running (run not finished)";
    if (d.state == DeviceState::NotStarted) {
        switch (d.why) {
            case NotStartedWhy::Stopped: return "not started (stopped)";
            case NotStartedWhy::CanaryFailed: return "not started (canary failed)";
            case NotStartedWhy::BudgetSpent: return "not started (failure budget spent)";
            case NotStartedWhy::WindowClosed: return "not started (window closed)";
        }
    }
    if (check && d.resultSeen && !d.verdict.empty()) return d.verdict;
    if (d.outcome == RunOutcome::AlreadyCurrent) return "already current";
    if (outcomeSucceeded(d.outcome)) return "upgraded";
    std::string why = !d.message.empty() ? d.message : outcomeName(d.outcome);
    return why + " (exit " + std::to_string(d.code) + ")";
}

bool writeReport(const std::string& path, const std::vector<FleetDevice>& devices, bool check, std::string* why) {
    std::ostringstream file;
    file << "device,serial,mac,product,before,after,image,image_file,result,code,start,end,seconds,image_sha256,"
            "attempts\r\n";
    for (const FleetDevice& d : devices) {
        RunEvent r = resultOf(d, check);
        file << csvText(r.device) << ',' << csvText(*r.serial) << ',' << csvText(*r.mac) << ','
             << csvText(*r.product) << ',' << csvText(*r.before) << ',' << csvText(*r.after) << ','
             << csvText(*r.image) << ',' << csvText(*r.imageFile) << ',' << csvText(*r.result) << ','
             << (r.code ? std::to_string(*r.code) : "") << ',' << csvText(*r.start) << ',' << csvText(*r.end)
             << ',' << *r.seconds << ',' << csvText(*r.imageSha256) << ',' << *r.attempts << "\r\n";
    }
    const std::string text = file.str();
    char reason[256];
    if (fileReplace(path.c_str(), text.data(), text.size(), reason, sizeof reason)) return true;
    *why = reason;
    return false;
}
