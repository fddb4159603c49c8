// The live table: one row per running device, redrawn under the lines.
#include "apps/fleet/fleet_events.h"
#include "base/text.h"
#include "platform/platform_clock.h"

namespace {

const uint32_t kTableRefreshMs = 200;

class FleetTable : public FleetObserver {
public:
    explicit FleetTable(ProgramOutput& out) : out_(out) {}

    void observe(const FleetRun& fleet, const FleetEvent& event) override {
        if (event.kind == FleetEventKind::Started || event.kind == FleetEventKind::Ended) changed_ = true;
        if (event.kind == FleetEventKind::Finished) out_.block({});
        if (event.kind != FleetEventKind::Tick) return;
        const uint32_t now = clockMillis();
        if (!changed_ && now - drawnMs_ < kTableRefreshMs) return;
        drawnMs_ = now;
        changed_ = false;
        std::vector<std::string> rows;
        char row[512];
        unsigned waiting = 0;
        for (const FleetDevice& d : fleet.devices) {
            waiting += d.state == DeviceState::Waiting && !d.retryPending;
            if (d.state == DeviceState::Waiting && d.retryPending) {
                const int32_t left = static_cast<int32_t>(d.retryAtMs - now);
                formatText(row, sizeof row, "  %-15s  %-12s  attempt %u failed; again in %d s", d.address.c_str(),
                           shownText(d.serial).c_str(), d.attempts, left > 0 ? (left + 999) / 1000 : 0);
                rows.push_back(row);
            }
            if (d.state != DeviceState::Running) continue;
            const std::string attempt = d.attempts > 1 ? "  (attempt " + std::to_string(d.attempts) + ")" : "";
            formatText(row, sizeof row, "  %-15s  %-12s  %s%s%s", d.address.c_str(), shownText(d.serial).c_str(),
                       shownText(d.step).c_str(), d.canary ? "  (canary)" : "", attempt.c_str());
            rows.push_back(row);
        }
        // The queue, and its pace or its window when one holds it.
        if (waiting > 0) {
            formatText(row, sizeof row, "  %u waiting for their turn%s", waiting, fleet.held.c_str());
            rows.push_back(row);
        }
        out_.block(rows);
    }

private:
    ProgramOutput& out_;
    bool changed_ = true;
    uint32_t drawnMs_ = 0;
};

}  // namespace

std::unique_ptr<FleetObserver> makeFleetTable(ProgramOutput& out) { return std::make_unique<FleetTable>(out); }
