// The reports for people and tools: the live HTML page, JUnit XML and
// Prometheus metrics, made from the fleet's devices as records
// (apps/reports) and replaced whole, never cut.
#include <chrono>
#include <fstream>
#include <sstream>

#include "apps/fleet/fleet_events.h"
#include "apps/fleet/night_rules.h"
#include "apps/reports/report_html.h"
#include "apps/reports/report_junit.h"
#include "apps/reports/report_metrics.h"
#include "platform/platform_clock.h"
#include "platform/platform_file.h"
#include "platform/platform_user.h"

namespace {

// The live page at most this often while the run goes.
const uint32_t kLiveEveryMs = 2000;

ReportKind kindOfPath(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension == "html" || extension == "htm") return ReportKind::Html;
    if (extension == "xml") return ReportKind::Junit;
    if (extension == "prom") return ReportKind::Metrics;
    return ReportKind::Csv;
}

class FleetDocument : public FleetObserver {
public:
    FleetDocument(ProgramOutput& out, const std::string& path, ReportKind kind, const char* program,
                  const CliOptions& options)
        : out_(out), path_(path), kind_(kind) {
        run_.program = program;
        run_.programVersion = kProgramVersion;
        run_.command = options.command == CliCommand::Check ? "check" : "upgrade";
        run_.operatorName = userName();
        run_.machine = machineName();
        run_.settings = {{"jobs", std::to_string(options.jobs)},
                         {"canary", std::to_string(options.canary)},
                         {"max failures", std::to_string(options.maxFailures)}};
        if (options.retries > 0)
            run_.settings.push_back({"retries", std::to_string(options.retries) + ", first after " +
                                                    std::to_string(options.retryDelaySeconds) + " s"});
        if (!options.window.empty()) run_.settings.push_back({"window", options.window});
        if (options.maxPerMinute > 0)
            run_.settings.push_back({"pace", std::to_string(options.maxPerMinute) + " a minute"});
    }

    void observe(const FleetRun& fleet, const FleetEvent& e) override {
        switch (e.kind) {
            case FleetEventKind::Began:
                startMs_ = clockMillis();
                run_.startTime = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
                if (kind_ == ReportKind::Metrics) readPrevious();
                if (kind_ == ReportKind::Html) write(fleet, false);
                break;
            case FleetEventKind::Tick:
                if (kind_ == ReportKind::Html && clockMillis() - writtenMs_ >= kLiveEveryMs) write(fleet, false);
                break;
            case FleetEventKind::Finished:
                run_.endTime = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
                if (!write(fleet, true)) out_.importantLine("--report: cannot write %s: %s", path_.c_str(), why_.c_str());
                break;
            default: break;
        }
    }
    bool failed() const override { return failed_; }

private:
    void readPrevious() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        previous_ = text.str();
    }

    ReportDevice deviceOf(const FleetRun& fleet, const FleetDevice& d) const {
        const RunEvent row = resultOf(d, fleet.check);
        ReportDevice r;
        r.device = d.address;
        r.image = row.image.value_or("");
        r.product = d.product;
        r.serial = d.serial;
        r.mac = d.mac;
        r.result = row.result.value_or("");
        r.imageFile = d.imageFile;
        r.imageSha256 = d.imageSha256;
        r.before = d.before;
        r.after = d.after;
        r.start = row.start.value_or("");
        r.end = row.end.value_or("");
        r.seconds = row.seconds.value_or(0);
        r.started = d.attempts > 0 || d.state == DeviceState::Running || d.state == DeviceState::Done;
        r.ended = d.state == DeviceState::Done;
        r.code = r.ended ? d.code : -1;
        if (r.ended) r.outcome = fleet.check && !d.verdict.empty() ? d.verdict : outcomeName(d.outcome);
        if (r.ended && deviceSucceeded(d, fleet.check) && !fleet.check && d.outcome != RunOutcome::AlreadyCurrent)
            r.outcome = "success";
        r.message = d.message;
        r.attempts = static_cast<int>(d.attempts);
        r.startMs = r.started ? static_cast<int32_t>(d.startMs - startMs_) : 0;
        r.endMs = r.ended ? static_cast<int32_t>(d.endMs - startMs_) : static_cast<int32_t>(clockMillis() - startMs_);
        for (const FleetDevice::Phase& p : d.phases)
            r.phases.push_back({p.name, static_cast<int32_t>(p.startMs - startMs_),
                                static_cast<int32_t>(p.endMs - startMs_), static_cast<int>(p.attempt)});
        return r;
    }

    bool write(const FleetRun& fleet, bool finished) {
        writtenMs_ = clockMillis();
        run_.finished = finished;
        run_.elapsedMs = static_cast<int32_t>(writtenMs_ - startMs_);
        std::vector<ReportDevice> devices;
        run_.images.clear();
        for (const FleetDevice& d : fleet.devices) {
            devices.push_back(deviceOf(fleet, d));
            bool known = d.imageSha256.empty();
            for (const ReportImage& image : run_.images) known = known || image.sha256 == d.imageSha256;
            if (!known) run_.images.push_back({d.imageFile, d.product, d.image, d.imageSha256});
        }
        const std::string text = kind_ == ReportKind::Html    ? htmlReport(run_, devices)
                                 : kind_ == ReportKind::Junit ? junitReport(run_, devices)
                                                              : metricsReport(run_, devices, previous_);
        char reason[256];
        failed_ = !fileReplace(path_.c_str(), text.data(), text.size(), reason, sizeof reason);
        if (failed_) why_ = reason;
        return !failed_;
    }

    ProgramOutput& out_;
    const std::string path_;
    const ReportKind kind_;
    ReportRun run_;
    std::string previous_;
    uint32_t startMs_ = 0, writtenMs_ = 0;
    std::string why_;
    bool failed_ = false;
};

}  // namespace

ReportKind reportKindOf(const std::string& path) { return kindOfPath(path); }

std::unique_ptr<FleetObserver> makeFleetDocument(ProgramOutput& out, const std::string& path, const char* program,
                                                 const CliOptions& options) {
    return std::make_unique<FleetDocument>(out, path, kindOfPath(path), program, options);
}
