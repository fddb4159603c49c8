// --json of a fleet: the children's events on standard output, each
// result once the parent has judged it, and the summary.
#include "apps/fleet/fleet_events.h"

namespace {

class FleetJson : public FleetObserver {
public:
    explicit FleetJson(ProgramOutput& out) : out_(out) {}

    void observe(const FleetRun& fleet, const FleetEvent& e) override {
        switch (e.kind) {
            case FleetEventKind::Child:
            case FleetEventKind::Ended: out_.eventLine(e.line); break;
            case FleetEventKind::PutBack: {
                RunEvent note;
                note.event = "note";
                note.device = e.device->address;
                note.text = e.line;
                out_.eventLine(eventLine(note));
                break;
            }
            case FleetEventKind::Finished: out_.eventLine(eventLine(summary(fleet))); break;
            default: break;
        }
    }

private:
    static RunEvent summary(const FleetRun& fleet) {
        const FleetTally t = tallyOf(fleet.devices, fleet.check);
        RunEvent summary;
        summary.event = "summary";
        for (const FleetDevice& d : fleet.devices) summary.results.push_back(resultOf(d, fleet.check));
        summary.devices = static_cast<int64_t>(fleet.devices.size());
        (fleet.check ? summary.wouldUpgrade : summary.upgraded) = t.succeeded;
        summary.current = t.current;
        summary.failed = t.failed;
        summary.notStarted = t.notStarted;
        summary.cpuParentMs = static_cast<int64_t>(fleet.parentCpuSeconds * 1000 + 0.5);
        summary.cpuChildrenMs = static_cast<int64_t>(fleet.usage.cpuSeconds * 1000 + 0.5);
        summary.peakBytesChild = static_cast<int64_t>(fleet.usage.peakBytes);
        return summary;
    }

    ProgramOutput& out_;
};

}  // namespace

std::unique_ptr<FleetObserver> makeFleetJson(ProgramOutput& out) { return std::make_unique<FleetJson>(out); }
