#include "apps/fleet/fleet.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/fleet/fleet_device.h"
#include "apps/fleet/rollout_gate.h"
#include "base/text.h"
#include "core/run_outcome.h"
#include "platform/platform_child.h"
#include "platform/platform_clock.h"
#include "ui/cli/cli_output.h"
#include "ui/cli/run_event.h"

namespace {

const uint32_t kTableRefreshMs = 200;

std::time_t wallClock() { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); }

std::vector<std::string> childArguments(const std::string& program, const CliOptions& o, const PinnedImages& pinned,
                                        const FleetDevice& device) {
    const bool check = o.command == CliCommand::Check;
    std::vector<std::string> arguments = {program,     check ? "check" : "upgrade", device.address,
                                          "--json",    "--user",                   device.user,
                                          "--fetch-timeout", std::to_string(o.fetchTimeoutSeconds)};
    if (!check) arguments.push_back("--yes");
    if (!device.passwordFile.empty()) arguments.insert(arguments.end(), {"--password-file", device.passwordFile});
    if (!o.local.empty()) arguments.insert(arguments.end(), {"--local", o.local});
    // Each image by its name, served from the parent's checked copy.
    for (const std::string& image : o.images)
        arguments.insert(arguments.end(), {"--image=" + image, "--image-pin=" + pinned.pinOf(image)});
    if (!o.transitionImage.empty())
        arguments.insert(arguments.end(), {"--transition-image=" + o.transitionImage,
                                           "--transition-image-pin=" + pinned.pinOf(o.transitionImage)});
    arguments.insert(arguments.end(), {"--restart-wait", o.restartWait == RestartWait::Fixed ? "fixed" : "follow",
                                       "--restart-timeout", std::to_string(o.restartTimeoutSeconds)});
    if (o.force) arguments.push_back("--force");
    if (o.verbose) arguments.push_back("--verbose");
    return arguments;
}

std::string stepOf(const RunEvent& e, FleetDevice* device) {
    const std::string& event = e.event;
    if (event == "status-read") return device->before.empty() ? "reading status" : "reading version";
    if (event == "finding") return "checking";
    if (event == "facts") return "found";
    if (event == "trigger") return "triggered";
    if (event == "waiting") return "waiting for fetch";
    if (event == "transfer") return "sending";
    if (event == "progress") {
        int64_t total = e.total.value_or(0);
        device->percent = total > 0 ? static_cast<unsigned>(e.bytes.value_or(0) * 100 / total) : 0;
        return "sending " + std::to_string(device->percent) + "%";
    }
    // A followed restart: its phase and the seconds so far; a fixed wait: the seconds left.
    if ((event == "restart" || event == "restart-progress") && e.phase) {
        const std::string& phase = *e.phase;
        const char* words = phase == "going-down"    ? "going down"
                            : phase == "coming-back" ? "coming back"
                                                     : "reading version";
        return std::string("restart: ") + words + " " + std::to_string(e.elapsed.value_or(0)) + " s";
    }
    if (event == "restart") return "restart " + std::to_string(e.seconds.value_or(0)) + " s";
    if (event == "restart-progress") return "restart " + std::to_string(e.left.value_or(0)) + " s";
    if (event == "version") return "version read";
    return device->step;
}

// The parent's own lines in the device's log, through the handle its child
// got; a log that cannot be written is said once.
void appendLog(CliOutput& out, FleetDevice* device, const std::string& line) {
    if (device->log.empty() || device->logFailed) return;
    std::string text = line + "\n";
    if (childLogAppend(device->child, text.data(), text.size())) return;
    device->logFailed = true;
    out.importantLine("cannot write log %s", device->log.c_str());
}

class Fleet {
public:
    Fleet(const ProgramProfile& profile, const CliOptions& options, const PinnedImages& pinned,
          std::vector<FleetDevice>& devices, bool one, Console& console)
        : console_(console),
          o_(options),
          one_(one),
          pinned_(pinned),
          devices_(devices),
          check_(options.command == CliCommand::Check),
          table_(console.errorIsTerminal() && !options.quiet),
          out_(CliOutputMode{profile.programName, options.quiet, options.json, false}),
          canaryLeft_(check_ ? 0 : options.canary),
          jobs_(options.jobs) {}

    RunOutcome run(const std::string& program);

private:
    void handleInterrupts();
    bool reapEnded();
    void startDevices(const std::string& program);
    bool start(const std::string& program, FleetDevice* device);
    void readOutput(FleetDevice* device);
    void takeEvent(const std::string& line, FleetDevice* device);
    void finish(FleetDevice* device, int status);
    bool putBack(FleetDevice* device);
    void judge(const FleetDevice& device);
    void holdBack(NotStartedWhy why);
    unsigned running() const;
    void clearTable();
    void drawTable(bool force);
    bool record(std::string* why);
    void recordChanges();

    Console& console_;
    const CliOptions& o_;
    const bool one_;  // one device given as an argument: Ctrl+C cancels it at once
    const PinnedImages& pinned_;
    std::vector<FleetDevice>& devices_;
    const bool check_;
    const bool table_;
    CliOutput out_;
    ChildUsage usage_{0.0, 0};
    int interrupts_ = 0;
    unsigned canaryLeft_;  // upgrades the canaries still owe before the rest start
    bool canaryFailed_ = false;
    unsigned failures_ = 0;  // after an image reached the device
    unsigned jobs_;          // lowered when TFTP ports run short
    int tableRows_ = 0;
    uint32_t tableMs_ = 0;
    std::vector<DeviceState> recorded_;  // the states the report last written shows
    bool recordFailed_ = false;          // said once during the run
};

unsigned Fleet::running() const {
    unsigned count = 0;
    for (const FleetDevice& d : devices_) count += d.state == DeviceState::Running;
    return count;
}

void Fleet::holdBack(NotStartedWhy why) {
    for (FleetDevice& d : devices_) {
        if (d.state != DeviceState::Waiting) continue;
        d.state = DeviceState::NotStarted;
        d.why = why;
    }
}

void Fleet::handleInterrupts() {
    int seen = console_.interruptCount();
    if (seen == interrupts_) return;
    const bool first = interrupts_ == 0;
    interrupts_ = seen;
    clearTable();
    if (first && seen == 1 && !one_) {
        out_.importantLine("stopping: no more devices start; Ctrl+C again cancels the running ones");
    } else {
        // A second Ctrl+C, SIGTERM or SIGHUP.
        out_.importantLine("cancelling the running devices");
        for (FleetDevice& d : devices_)
            if (d.state == DeviceState::Running) childInterrupt(d.child);
    }
    holdBack(NotStartedWhy::Stopped);
}

// Every child that ended is judged before any slot is used again, so its
// failure is counted before the next device starts.
bool Fleet::reapEnded() {
    bool changed = false;
    for (FleetDevice& d : devices_) {
        int status = 0;
        if (d.state != DeviceState::Running || !childEnded(d.child, &status)) continue;
        clearTable();
        finish(&d, status);
        changed = true;
    }
    return changed;
}

void Fleet::startDevices(const std::string& program) {
    if (canaryFailed_) holdBack(NotStartedWhy::CanaryFailed);
    if (failures_ >= o_.maxFailures && !check_) holdBack(NotStartedWhy::BudgetSpent);
    unsigned room = devicesMayStart(
        RolloutCounts{jobs_, running(), canaryLeft_, canaryFailed_, failures_, check_ ? 0 : o_.maxFailures});
    for (FleetDevice& d : devices_) {
        if (room == 0) break;
        if (d.state != DeviceState::Waiting) continue;
        d.canary = canaryLeft_ > 0;
        if (start(program, &d)) --room;
    }
}

bool Fleet::start(const std::string& program, FleetDevice* device) {
    std::vector<std::string> arguments = childArguments(program, o_, pinned_, *device);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    device->child = childStart(argv.data(), device->log.empty() ? nullptr : device->log.c_str());
    device->startMs = clockMillis();
    device->startTime = wallClock();
    device->state = DeviceState::Running;
    device->step = "starting";
    if (device->child) return true;
    device->state = DeviceState::Done;
    device->endMs = device->startMs;
    device->endTime = device->startTime;
    device->outcome = RunOutcome::ChildNotStarted;
    device->code = exitCodeOf(device->outcome);
    device->message = outcomeMessage(device->outcome);
    clearTable();
    out_.importantLine("%s: %s", device->address.c_str(), device->message.c_str());
    return false;
}

// One event of a child: the device's row, its log, and the parent's output.
void Fleet::takeEvent(const std::string& line, FleetDevice* device) {
    RunEvent e;
    if (!parseEventLine(line, &e)) return;
    appendLog(out_, device, line);
    if (e.event == "result") {
        // Passed on once judged: a run put back in the queue did not end.
        device->resultLine = line;
        device->resultSeen = true;
        // Judged by its outcome, through the table; a name it does not know is a lost run.
        if (!outcomeNamed(e.outcome.value_or("").c_str(), &device->outcome)) device->outcome = RunOutcome::ChildLost;
        device->code = exitCodeOf(device->outcome);
        device->imageReached = e.bytesSent.value_or(0) > 0;
        device->message = e.message.value_or("");
        device->after = e.version.value_or("");
        device->verdict = e.verdict.value_or("");
        device->image = e.image.value_or("");
        device->imageFile = e.imageFile.value_or("");
        device->imageSha256 = e.imageSha256.value_or("");
        return;
    }
    out_.eventLine(line);
    if (e.event == "facts") {
        device->serial = e.serial.value_or("");
        device->mac = e.mac.value_or("");
        device->product = e.product.value_or("");
        device->before = e.software.value_or("");
    } else if (e.event == "transfer") {
        device->transferStarted = true;
    }
    device->step = stepOf(e, device);
    // Without a live table: one line per step, the transfer once a quarter.
    if (table_ || check_ || e.event == "restart-progress" || e.event == "finding") return;
    if (e.event == "progress") {
        unsigned quarter = device->percent / 25;
        if (quarter <= device->quarter) return;
        device->quarter = quarter;
        out_.line("%s: sending %u%%", device->address.c_str(), quarter * 25);
        return;
    }
    out_.line("%s: %s", device->address.c_str(), shownText(device->step).c_str());
}

void Fleet::readOutput(FleetDevice* device) {
    char buffer[4096];
    for (int got; (got = childRead(device->child, buffer, sizeof buffer)) > 0;) {
        device->pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = device->pending.find('\n')) != std::string::npos;) {
            std::string line = device->pending.substr(0, end);
            device->pending.erase(0, end + 1);
            takeEvent(line, device);
        }
    }
}

// No TFTP port was free for it while others ran: back in the queue, and
// no more at once than now, so a port held elsewhere cannot burn the queue.
bool Fleet::putBack(FleetDevice* device) {
    if (device->outcome != RunOutcome::ListenerBindFailed || device->transferStarted || interrupts_ > 0) return false;
    unsigned others = running();
    if (others == 0) return false;
    jobs_ = others;
    RunEvent note;
    note.event = "note";
    note.device = device->address;
    note.text = "no TFTP port free: back in the queue, at most " + std::to_string(jobs_) + " at once";
    out_.event(note);
    out_.line("%s: %s", device->address.c_str(), note.text->c_str());
    FleetDevice again;
    again.address = device->address;
    again.user = device->user;
    again.passwordFile = device->passwordFile;
    again.log = device->log;
    *device = again;
    return true;
}

void Fleet::finish(FleetDevice* device, int status) {
    readOutput(device);
    OrbChild* child = device->child;
    device->state = DeviceState::Done;
    device->endMs = clockMillis();
    device->endTime = wallClock();
    if (!device->resultSeen) {
        // Crashed or killed: that device's failure, not the fleet's.
        device->outcome = RunOutcome::ChildLost;
        device->code = status == exitCodeOf(RunOutcome::Success) ? exitCodeOf(device->outcome) : status;
        device->message = "ended without a result (status " + std::to_string(status) + ")";
        // Whether bytes went out after its read request is unknown: they may have.
        device->imageReached = device->transferStarted;
        RunEvent lost;
        lost.event = "result";
        lost.device = device->address;
        lost.code = device->code;
        lost.outcome = outcomeName(device->outcome);
        lost.message = device->message;
        lost.version = "";
        device->resultLine = eventLine(lost);
        appendLog(out_, device, device->resultLine);
    }
    const bool again = putBack(device);
    childRelease(child, &usage_);
    if (again) return;
    device->child = nullptr;
    out_.eventLine(device->resultLine);
    const std::string words = resultWords(*device, check_);
    if (deviceSucceeded(*device, check_))
        out_.line("%s: %s", device->address.c_str(), shownText(words).c_str());
    else
        out_.importantLine("%s: %s", device->address.c_str(), shownText(words).c_str());
    judge(*device);
}

// What the device's end means for the rest: a canary that took the image
// opens the way, one that failed with it closes it; failures with the
// image spend the budget. An end before any byte of it went out (its
// options refused, say) proves nothing.
void Fleet::judge(const FleetDevice& device) {
    if (check_) return;
    const bool afterImage = failedAfterImage(device);
    if (device.canary && canaryLeft_ > 0) {
        if (outcomeSucceeded(device.outcome) && device.imageReached && --canaryLeft_ == 0)
            out_.line("canary: %s took the image; the rest start", device.address.c_str());
        if (afterImage && !canaryFailed_) {
            canaryFailed_ = true;
            out_.importantLine("canary: %s failed with the image; no more devices start", device.address.c_str());
        }
    }
    if (afterImage && ++failures_ == o_.maxFailures && !canaryFailed_)
        out_.importantLine("failure budget spent (%u after the image reached the device); no more devices start",
                           failures_);
}

void Fleet::clearTable() {
    if (!table_) return;
    for (; tableRows_ > 0; --tableRows_) std::fputs("\x1b[1A\x1b[2K", stderr);
}

// One row per running device, redrawn in place.
void Fleet::drawTable(bool force) {
    if (!table_) return;
    uint32_t now = clockMillis();
    if (!force && now - tableMs_ < kTableRefreshMs) return;
    tableMs_ = now;
    clearTable();
    for (const FleetDevice& d : devices_) {
        if (d.state != DeviceState::Running) continue;
        std::fprintf(stderr, "  %-15s  %-12s  %s%s\n", d.address.c_str(), shownText(d.serial).c_str(),
                     shownText(d.step).c_str(), d.canary ? "  (canary)" : "");
        ++tableRows_;
    }
    std::fflush(stderr);
}

// --report, written whole from the devices' states now.
bool Fleet::record(std::string* why) {
    recorded_.clear();
    for (const FleetDevice& d : devices_) recorded_.push_back(d.state);
    return writeReport(o_.report, devices_, check_, why);
}

// Rewritten whenever a device starts or ends (or will not start), so a run
// killed at any moment leaves a report true of its last change, and
// visibly unfinished, never the previous run's.
void Fleet::recordChanges() {
    if (o_.report.empty()) return;
    bool same = recorded_.size() == devices_.size();
    for (size_t i = 0; same && i < devices_.size(); ++i) same = recorded_[i] == devices_[i].state;
    std::string why;
    if (same || record(&why) || recordFailed_) return;
    recordFailed_ = true;
    clearTable();
    out_.importantLine("--report: cannot write %s: %s", o_.report.c_str(), why.c_str());
}

RunOutcome Fleet::run(const std::string& program) {
    console_.catchInterrupts(InterruptCatching::Always);
    std::string why;
    // The previous report goes before anything starts, or nothing starts.
    if (!o_.report.empty() && !record(&why)) {
        out_.importantLine("--report: cannot write %s: %s", o_.report.c_str(), why.c_str());
        return RunOutcome::ReportUnwritable;
    }
    const unsigned count = static_cast<unsigned>(devices_.size());
    out_.line("%s %u device%s, at most %u at once%s", check_ ? "checking" : "upgrading", count, count == 1 ? "" : "s",
              std::min(jobs_, count),
              canaryLeft_ > 0 ? (", the first " + std::to_string(canaryLeft_) + " alone").c_str() : "");
    for (;;) {
        handleInterrupts();
        const bool changed = reapEnded();
        // Children start from this thread, the one they are tied to.
        if (interrupts_ == 0) startDevices(program);
        recordChanges();
        std::vector<OrbChild*> children;
        for (FleetDevice& d : devices_)
            if (d.state == DeviceState::Running) children.push_back(d.child);
        if (children.empty()) {
            bool waiting = false;
            for (const FleetDevice& d : devices_) waiting = waiting || d.state == DeviceState::Waiting;
            if (!waiting) break;
            continue;
        }
        drawTable(changed);
        childWaitForOutput(children.data(), static_cast<int>(children.size()), 100);
        for (FleetDevice& d : devices_)
            if (d.state == DeviceState::Running) readOutput(&d);
    }
    clearTable();
    reportSummary(out_, devices_, check_, usage_);
    bool good = true;
    for (const FleetDevice& d : devices_) good = good && deviceSucceeded(d, check_);
    // Not a device's failure: the counts stand, and the run has failed.
    if (!o_.report.empty() && !record(&why)) {
        out_.importantLine("--report: cannot write %s: %s", o_.report.c_str(), why.c_str());
        return RunOutcome::ReportUnwritable;
    }
    return good ? RunOutcome::Success : RunOutcome::FleetFailed;
}

}  // namespace

int runFleet(const ProgramProfile& profile, const CliRequest& request, Console& console) {
    std::vector<FleetDevice> devices;
    int status = 0;
    if (!planFleet(profile, request.options, &devices, &status)) return status;
    PinnedImages pinned;
    if (!pinImages(profile, request.options, &pinned, &status)) return status;
    char program[1024];
    if (!currentProgramPath(program, sizeof program)) return exitCodeOf(RunOutcome::ChildNotStarted);
    // One device given as an argument (for its log or report): no canary or
    // budget around it (one device cannot spend two), and its own exit status.
    const bool one = request.options.devicesFile.empty() && request.options.targets.size() == 1;
    CliOptions options = request.options;
    if (one) {
        options.canary = 0;
        options.maxFailures = 2;
    }
    const RunOutcome end = Fleet(profile, options, pinned, devices, one, console).run(program);
    if (!one) return exitCodeOf(end);
    const FleetDevice& device = devices[0];
    // Stopped before it started.
    if (device.state != DeviceState::Done)
        return exitCodeOf(end == RunOutcome::FleetFailed ? RunOutcome::UserAbort : end);
    // A report that could not be written fails a run the device passed.
    return outcomeSucceeded(device.outcome) && end == RunOutcome::ReportUnwritable ? exitCodeOf(end) : device.code;
}
