// The fleet's one event stream: what the parent saw happen, in order, and
// the outputs that observe it (the live table, the plain lines, the JSON
// events, the CSV report). A new output is one new observer.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "apps/fleet/fleet_device.h"
#include "base/program_output.h"
#include "core/run_event.h"

// What an observer may read of the fleet when an event comes.
struct FleetRun {
    const std::vector<FleetDevice>& devices;
    bool check = false;
    unsigned jobs = 0;    // at most this many at once
    unsigned canary = 0;  // the first this many alone
    std::string held{};   // what holds the queue besides the slots: " (one every 10 s)", " (window opens at 22:00)"
    // At Finished: the CPU time and peak memory of the runs.
    double parentCpuSeconds = 0;
    ChildUsage usage{0.0, 0};
};

enum class FleetEventKind {
    Began,     // before any device starts
    Started,   // device: its child started
    Child,     // device: one event of its child (event, line as it came); not its result
    PutBack,   // device: back in the queue (text: why)
    Ended,     // device: its run ended and was judged (line: its result event)
    Notice,    // the parent's own words on the rollout (text; important: said even when quiet)
    Tick,      // a pass of the parent's loop, after devices ended and started
    Finished,  // every device ended or will not start: the summary
};

struct FleetEvent {
    explicit FleetEvent(FleetEventKind kind_, const FleetDevice* device_ = nullptr, std::string line_ = {},
                        const RunEvent* event_ = nullptr, bool important_ = false)
        : kind(kind_), device(device_), event(event_), line(std::move(line_)), important(important_) {}
    FleetEventKind kind;
    const FleetDevice* device;
    const RunEvent* event;
    std::string line;  // Child and Ended: the child's event line; PutBack and Notice: the text
    bool important;
};

class FleetObserver {
public:
    virtual ~FleetObserver() = default;
    virtual void observe(const FleetRun& fleet, const FleetEvent& event) = 0;
    // What it keeps could not be written when last tried (the report).
    virtual bool failed() const { return false; }
};

// One row per running device, redrawn in place (a terminal, not quiet).
std::unique_ptr<FleetObserver> makeFleetTable(ProgramOutput& out);
// The plain lines: each step of each device when no table is drawn (the
// transfer once a quarter), the ends, the parent's notices and the summary.
std::unique_ptr<FleetObserver> makeFleetLines(ProgramOutput& out, bool tableShown);
// --json: the children's events as they came, each result once judged, the summary.
std::unique_ptr<FleetObserver> makeFleetJson(ProgramOutput& out);
// The history: each device's end added to the file as it is judged.
std::unique_ptr<FleetObserver> makeFleetHistory(ProgramOutput& out, const std::string& path, const char* program);
// A --report's format, by its file's extension: .html/.htm, .xml, .prom, else CSV.
enum class ReportKind { Csv, Html, Junit, Metrics };
ReportKind reportKindOf(const std::string& path);
// --report FILE.html (rewritten at most every 2 s while the run goes, the
// browser told to reload it), FILE.xml (JUnit) or FILE.prom (metrics),
// written whole at the end.
std::unique_ptr<FleetObserver> makeFleetDocument(ProgramOutput& out, const std::string& path, const char* program,
                                                 const CliOptions& options);
// --report: the CSV file rewritten whole whenever a device's state changed.
std::unique_ptr<FleetObserver> makeFleetReport(ProgramOutput& out, const std::string& path);
