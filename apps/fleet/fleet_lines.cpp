// The plain lines of a fleet on standard error.
#include <cstring>

#include "apps/fleet/fleet_events.h"
#include "base/text.h"

namespace {

class FleetLines : public FleetObserver {
public:
    FleetLines(ProgramOutput& out, bool tableShown) : out_(out), tableShown_(tableShown) {}

    void observe(const FleetRun& fleet, const FleetEvent& e) override {
        switch (e.kind) {
            case FleetEventKind::Began: {
                const unsigned count = static_cast<unsigned>(fleet.devices.size());
                out_.line("%s %u device%s, at most %u at once%s", fleet.check ? "checking" : "upgrading", count,
                          count == 1 ? "" : "s", fleet.jobs < count ? fleet.jobs : count,
                          fleet.canary > 0 ? (", the first " + std::to_string(fleet.canary) + " alone").c_str() : "");
                break;
            }
            case FleetEventKind::Child: step(fleet, *e.device, *e.event); break;
            case FleetEventKind::PutBack: out_.line("%s: %s", e.device->address.c_str(), e.line.c_str()); break;
            case FleetEventKind::Ended: {
                const std::string words = shownText(resultWords(*e.device, fleet.check));
                if (deviceSucceeded(*e.device, fleet.check))
                    out_.line("%s: %s", e.device->address.c_str(), words.c_str());
                else
                    out_.importantLine("%s: %s", e.device->address.c_str(), words.c_str());
                break;
            }
            case FleetEventKind::Notice:
                if (e.important)
                    out_.importantLine("%s", e.line.c_str());
                else
                    out_.line("%s", e.line.c_str());
                break;
            case FleetEventKind::Finished: summary(fleet); break;
            case FleetEventKind::Started:
            case FleetEventKind::Tick: break;
        }
    }

private:
    // Without a live table: one line per step, the transfer once a quarter.
    void step(const FleetRun& fleet, const FleetDevice& d, const RunEvent& e) {
        if (tableShown_ || fleet.check || e.event == "restart-progress" || e.event == "finding") return;
        if (e.event == "progress") {
            const unsigned quarter = d.percent / 25;
            unsigned& shown = quarters_[d.address];
            if (quarter <= shown) return;
            shown = quarter;
            out_.line("%s: sending %u%%", d.address.c_str(), quarter * 25);
            return;
        }
        out_.line("%s: %s", d.address.c_str(), shownText(d.step).c_str());
    }

    // The table of every device (quiet: only when something went wrong),
    // the counts and the CPU time.
    void summary(const FleetRun& fleet) {
        const FleetTally t = tallyOf(fleet.devices, fleet.check);
        const bool shown = !out_.mode().quiet || t.failed + t.notStarted > 0;
        char text[1024];
        auto row = [&] {
            if (shown) out_.importantLine("%s", text);
        };
        if (fleet.check) {
            formatText(text, sizeof text, "%-15s  %-12s  %-12s  %-14s  %-9s  %-9s  %s", "ADDRESS", "SERIAL", "MAC",
                       "PRODUCT", "SOFTWARE", "IMAGE", "VERDICT");
            row();
            for (const FleetDevice& d : fleet.devices) {
                formatText(text, sizeof text, "%-15s  %-12s  %-12s  %-14s  %-9s  %-9s  %s", d.address.c_str(),
                           shownText(d.serial).c_str(), shownText(d.mac).c_str(), shownText(d.product).c_str(),
                           shownText(d.before).c_str(), shownText(d.image).c_str(),
                           shownText(resultWords(d, true)).c_str());
                row();
            }
            formatText(text, sizeof text, "%d would upgrade, %d already current, %d with a problem", t.succeeded,
                       t.current, t.failed);
        } else {
            formatText(text, sizeof text, "%-15s  %-12s  %-14s  %-9s  %-9s  %-6s  %s", "ADDRESS", "SERIAL", "MODEL",
                       "BEFORE", "AFTER", "TIME", "RESULT");
            row();
            for (const FleetDevice& d : fleet.devices) {
                const std::string time = std::to_string(secondsTaken(d)) + " s";
                formatText(text, sizeof text, "%-15s  %-12s  %-14s  %-9s  %-9s  %-6s  %s", d.address.c_str(),
                           shownText(d.serial).c_str(), shownText(d.product).c_str(), shownText(d.before).c_str(),
                           d.after.empty() ? "-" : shownText(d.after).c_str(), time.c_str(),
                           shownText(resultWords(d, false)).c_str());
                row();
            }
            formatText(text, sizeof text, "%d upgraded, %d already current, %d failed", t.succeeded, t.current,
                       t.failed);
        }
        if (t.notStarted > 0) {
            const size_t used = std::strlen(text);
            formatText(text + used, sizeof text - used, ", %d not %s", t.notStarted, fleet.check ? "checked" : "started");
        }
        row();
        out_.line("CPU: %.2f s here, %.2f s in the devices' runs; at most %.1f MB for one run", fleet.parentCpuSeconds,
                  fleet.usage.cpuSeconds, fleet.usage.peakBytes / 1e6);
    }

    ProgramOutput& out_;
    const bool tableShown_;
    std::map<std::string, unsigned> quarters_;  // of each device's transfer, last shown
};

}  // namespace

std::unique_ptr<FleetObserver> makeFleetLines(ProgramOutput& out, bool tableShown) {
    return std::make_unique<FleetLines>(out, tableShown);
}
