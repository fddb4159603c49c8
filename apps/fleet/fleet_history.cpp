// The history of a fleet: each device's end added to the history file as
// it is judged (a retried attempt is no end), so a parent killed at any
// moment leaves every finished device's record.
#include <algorithm>

#include "apps/fleet/fleet_events.h"
#include "apps/history/history_file.h"

namespace {

class FleetHistory : public FleetObserver {
public:
    FleetHistory(ProgramOutput& out, const std::string& path, const char* program)
        : out_(out), path_(path), program_(program) {}

    void observe(const FleetRun& fleet, const FleetEvent& e) override {
        if (e.kind == FleetEventKind::Ended && e.device && !fleet.check) add(*e.device);
        // Said again under the summary: the devices' results stand, the record is short.
        if (e.kind == FleetEventKind::Finished && lost_ > 0)
            out_.importantLine("history: %u of the devices' ends could not be added to %s", lost_, path_.c_str());
    }

private:
    void add(const FleetDevice& d) {
        HistoryRecord record = historyRecordNow(program_, kProgramVersion);
        record.device = d.address;
        record.serial = d.serial;
        record.mac = d.mac;
        record.product = d.product;
        record.before = d.before;
        record.after = d.after;
        record.imageFile = d.imageFile;
        record.imageSha256 = d.imageSha256;
        record.outcome = outcomeName(d.outcome);
        record.code = d.code;
        record.attempts = static_cast<int>(d.attempts);
        // Each phase's time over all attempts, in the order they first came.
        for (const FleetDevice::Phase& phase : d.phases) {
            auto it = std::find_if(record.phasesMs.begin(), record.phasesMs.end(),
                                   [&](const auto& named) { return named.first == phase.name; });
            if (it == record.phasesMs.end()) it = record.phasesMs.insert(record.phasesMs.end(), {phase.name, 0});
            it->second += static_cast<int64_t>(phase.endMs - phase.startMs);
        }
        record.phasesMs.push_back({"total", static_cast<int64_t>(d.endMs - d.startMs)});
        std::string why;
        if (appendHistory(path_, record, &why)) return;
        ++lost_;
        out_.importantLine("history: cannot add %s to %s: %s", d.address.c_str(), path_.c_str(), why.c_str());
    }

    ProgramOutput& out_;
    const std::string path_;
    const char* program_;
    unsigned lost_ = 0;
};

}  // namespace

std::unique_ptr<FleetObserver> makeFleetHistory(ProgramOutput& out, const std::string& path, const char* program) {
    return std::make_unique<FleetHistory>(out, path, program);
}
