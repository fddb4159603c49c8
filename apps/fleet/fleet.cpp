#include "apps/fleet/fleet.h"

#include <cstdio>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "apps/command_line/one_device.h"
#include "apps/fleet/fleet_device.h"
#include "apps/fleet/fleet_events.h"
#include "apps/fleet/night_rules.h"
#include "apps/fleet/rollout_gate.h"
#include "base/program_output.h"
#include "core/run_event.h"
#include "core/run_outcome.h"
#include "platform/platform_child.h"
#include "platform/platform_clock.h"

namespace {

std::time_t wallClock() { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); }

// The minute of the day on this PC's clock, as a window is given.
unsigned localMinute() {
    const std::time_t now = wallClock();
    const std::tm* local = std::localtime(&now);
    return local ? static_cast<unsigned>(local->tm_hour * 60 + local->tm_min) : 0;
}

// The device's result as the fleet passes it on: with its attempts.
void countAttempts(FleetDevice* device) {
    RunEvent result;
    if (!parseEventLine(device->resultLine, &result)) return;
    result.attempts = device->attempts;
    device->resultLine = eventLine(result);
}

std::string clockText(unsigned minute) {
    char text[8];
    std::snprintf(text, sizeof text, "%02u:%02u", minute / 60 % 24, minute % 60);
    return text;
}

// The device's child's command line: the fleet's own options with the
// device's target, credentials and the pinned copies, written by the same
// rows that parse it.
std::vector<std::string> childArguments(const ProgramProfile& profile, const std::string& program,
                                        const CliOptions& o, const PinnedImages& pinned, const FleetDevice& device) {
    CliOptions child = o;
    child.targets = {device.address};
    child.user = device.user;
    child.passwordFile = device.passwordFile;
    child.json = true;
    child.yes = o.command != CliCommand::Check;
    // The parent keeps the history of its devices.
    child.noHistory = true;
    // Each image by its name, served from the parent's checked copy.
    child.imagePins.clear();
    for (const std::string& image : o.images) child.imagePins.push_back(pinned.pinOf(image));
    if (!o.transitionImage.empty()) child.transitionImagePin = pinned.pinOf(o.transitionImage);
    std::vector<std::string> arguments = {program};
    for (std::string& word : commandLineOf(profile, child)) arguments.push_back(std::move(word));
    return arguments;
}

class Fleet {
public:
    Fleet(const ProgramProfile& profile, const CliOptions& options, const PinnedImages& pinned,
          std::vector<FleetDevice>& devices, bool one, Console& console)
        : profile_(profile),
          console_(console),
          o_(options),
          one_(one),
          pinned_(pinned),
          devices_(devices),
          check_(options.command == CliCommand::Check),
          out_(OutputMode{profile.programName, options.quiet, options.json, false}),
          canaryLeft_(check_ ? 0 : options.canary),
          jobs_(options.jobs),
          pacer_(options.maxPerMinute),
          view_{devices, check_, jobs_, canaryLeft_} {
        if (options.maxPerMinute > 0)
            view_.held = " (one every " + std::to_string((60 + options.maxPerMinute - 1) / options.maxPerMinute) + " s)";
        // A check changes nothing: it ignores the window.
        hasWindow_ = !check_ && parseWindow(options.window, &window_, &windowWhy_);
        // First: a device's record is kept before anything says it ended.
        if (!check_ && !options.noHistory && !options.history.empty())
            observers_.push_back(makeFleetHistory(out_, options.history, profile.programName));
        const bool table = console.errorIsTerminal() && !options.quiet;
        if (table) observers_.push_back(makeFleetTable(out_));
        observers_.push_back(makeFleetLines(out_, table));
        if (options.json) observers_.push_back(makeFleetJson(out_));
        for (const std::string& report : options.reports)
            observers_.push_back(reportKindOf(report) == ReportKind::Csv
                                     ? makeFleetReport(out_, report)
                                     : makeFleetDocument(out_, report, profile.programName, options));
    }

    RunOutcome run(const std::string& program);

private:
    void tell(const FleetEvent& event);
    void notice(const std::string& text, bool important);
    bool anyFailed() const;
    void handleInterrupts();
    void reapEnded();
    void startDevices(const std::string& program);
    bool start(const std::string& program, FleetDevice* device);
    void readOutput(FleetDevice* device);
    void takeLine(const std::string& line, FleetDevice* device);
    void appendLog(FleetDevice* device, const std::string& line);
    void finish(FleetDevice* device, int status);
    bool putBack(FleetDevice* device);
    bool retryLater(FleetDevice* device);
    bool windowLetsStart();
    void judge(const FleetDevice& device);
    void holdBack(NotStartedWhy why);
    unsigned running() const;

    const ProgramProfile& profile_;
    Console& console_;
    const CliOptions& o_;
    const bool one_;  // one device given as an argument: Ctrl+C cancels it at once
    const PinnedImages& pinned_;
    std::vector<FleetDevice>& devices_;
    const bool check_;
    ProgramOutput out_;
    ChildUsage usage_{0.0, 0};
    int interrupts_ = 0;
    unsigned canaryLeft_;  // upgrades the canaries still owe before the rest start
    bool canaryFailed_ = false;
    unsigned failures_ = 0;  // after an image reached the device
    unsigned jobs_;          // lowered when TFTP ports run short
    StartPacer pacer_;
    MaintenanceWindow window_;
    std::string windowWhy_;
    bool hasWindow_ = false;
    bool windowSeenOpen_ = false;  // devices started in it: its closing ends the starts
    bool waitSaid_ = false;
    FleetRun view_;
    std::vector<std::unique_ptr<FleetObserver>> observers_;
};

void Fleet::tell(const FleetEvent& event) {
    for (const auto& observer : observers_) observer->observe(view_, event);
}

void Fleet::notice(const std::string& text, bool important) {
    tell(FleetEvent(FleetEventKind::Notice, nullptr, text, nullptr, important));
}

bool Fleet::anyFailed() const {
    return std::any_of(observers_.begin(), observers_.end(), [](const auto& o) { return o->failed(); });
}

unsigned Fleet::running() const {
    unsigned count = 0;
    for (const FleetDevice& d : devices_) count += d.state == DeviceState::Running;
    return count;
}

void Fleet::holdBack(NotStartedWhy why) {
    for (FleetDevice& d : devices_) {
        if (d.state != DeviceState::Waiting) continue;
        if (d.retryPending) {
            // No more attempts: its last one's result is its end.
            d.retryPending = false;
            d.state = DeviceState::Done;
            countAttempts(&d);
            tell(FleetEvent(FleetEventKind::Ended, &d, d.resultLine));
            judge(d);
            continue;
        }
        d.state = DeviceState::NotStarted;
        d.why = why;
    }
}

// Before the window opens the run waits; once it closed, no device starts.
bool Fleet::windowLetsStart() {
    if (!hasWindow_) return true;
    const unsigned minute = localMinute();
    if (windowOpen(window_, minute)) {
        if (!windowSeenOpen_ && o_.maxPerMinute == 0) view_.held.clear();
        windowSeenOpen_ = true;
        return true;
    }
    if (windowSeenOpen_) {
        bool left = false;
        for (const FleetDevice& d : devices_) left = left || d.state == DeviceState::Waiting;
        if (left) notice("window closed at " + clockText(window_.closeMinute) + ": no more devices start", true);
        holdBack(NotStartedWhy::WindowClosed);
        return false;
    }
    view_.held = " (window opens at " + clockText(window_.openMinute) + ")";
    if (!waitSaid_) {
        waitSaid_ = true;
        notice("waiting for the window " + o_.window + ": it opens at " + clockText(window_.openMinute) + ", in " +
                   std::to_string(minutesUntilOpen(window_, minute)) + " min (Ctrl+C stops)",
               true);
    }
    return false;
}

void Fleet::handleInterrupts() {
    int seen = console_.interruptCount();
    if (seen == interrupts_) return;
    const bool first = interrupts_ == 0;
    interrupts_ = seen;
    if (first && seen == 1 && !one_) {
        notice("stopping: no more devices start; Ctrl+C again cancels the running ones", true);
    } else {
        // A second Ctrl+C, SIGTERM or SIGHUP.
        notice("cancelling the running devices", true);
        for (FleetDevice& d : devices_)
            if (d.state == DeviceState::Running) childInterrupt(d.child);
    }
    holdBack(NotStartedWhy::Stopped);
}

// Every child that ended is judged before any slot is used again, so its
// failure is counted before the next device starts.
void Fleet::reapEnded() {
    for (FleetDevice& d : devices_) {
        int status = 0;
        if (d.state != DeviceState::Running || !childEnded(d.child, &status)) continue;
        finish(&d, status);
    }
}

void Fleet::startDevices(const std::string& program) {
    if (canaryFailed_) holdBack(NotStartedWhy::CanaryFailed);
    if (failures_ >= o_.maxFailures && !check_) holdBack(NotStartedWhy::BudgetSpent);
    if (!windowLetsStart()) return;
    unsigned room = devicesMayStart(
        RolloutCounts{jobs_, running(), canaryLeft_, canaryFailed_, failures_, check_ ? 0 : o_.maxFailures});
    const uint32_t now = clockMillis();
    for (FleetDevice& d : devices_) {
        if (room == 0 || pacer_.waitMs(now) > 0) break;
        if (d.state != DeviceState::Waiting) continue;
        // Waiting for its retry, it holds no slot.
        if (d.retryPending && static_cast<int32_t>(now - d.retryAtMs) < 0) continue;
        d.canary = canaryLeft_ > 0;
        if (start(program, &d)) --room;
        pacer_.started(now);
    }
}

bool Fleet::start(const std::string& program, FleetDevice* device) {
    std::vector<std::string> arguments = childArguments(profile_, program, o_, pinned_, *device);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    clearAttempt(device);
    device->child = childStart(argv.data(), device->log.empty() ? nullptr : device->log.c_str());
    // From the first attempt's start: a retried device took all that time.
    if (device->attempts++ == 0) {
        device->startMs = clockMillis();
        device->startTime = wallClock();
    }
    device->state = DeviceState::Running;
    device->step = "starting";
    if (device->child) {
        tell(FleetEvent(FleetEventKind::Started, device));
        return true;
    }
    device->state = DeviceState::Done;
    device->endMs = device->startMs;
    device->endTime = device->startTime;
    device->outcome = RunOutcome::ChildNotStarted;
    device->code = exitCodeOf(device->outcome);
    device->message = outcomeMessage(device->outcome);
    notice(device->address + ": " + device->message, true);
    return false;
}

// The parent's own lines in the device's log, through the handle its child
// got; a log that cannot be written is said once.
void Fleet::appendLog(FleetDevice* device, const std::string& line) {
    if (device->log.empty() || device->logFailed) return;
    std::string text = line + "\n";
    if (childLogAppend(device->child, text.data(), text.size())) return;
    device->logFailed = true;
    notice("cannot write log " + device->log, true);
}

// One event of a child: the device's row, its log, and the stream.
void Fleet::takeLine(const std::string& line, FleetDevice* device) {
    RunEvent e;
    if (!parseEventLine(line, &e)) return;
    appendLog(device, line);
    takeChildEvent(device, e, line);
    notePhase(device, e, clockMillis());
    if (e.event == "result") return;
    tell(FleetEvent(FleetEventKind::Child, device, line, &e));
}

void Fleet::readOutput(FleetDevice* device) {
    char buffer[4096];
    for (int got; (got = childRead(device->child, buffer, sizeof buffer)) > 0;) {
        device->pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = device->pending.find('\n')) != std::string::npos;) {
            std::string line = device->pending.substr(0, end);
            device->pending.erase(0, end + 1);
            takeLine(line, device);
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
    view_.jobs = jobs_;
    FleetDevice again;
    again.address = device->address;
    again.user = device->user;
    again.passwordFile = device->passwordFile;
    again.log = device->log;
    // A run that found no port was no attempt.
    again.attempts = device->attempts - 1;
    again.startMs = device->startMs;
    again.startTime = device->startTime;
    *device = again;
    tell(FleetEvent(FleetEventKind::PutBack, device,
                    "no TFTP port free: back in the queue, at most " + std::to_string(jobs_) + " at once"));
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
        takeLostChild(device, status);
        appendLog(device, device->resultLine);
    }
    const bool again = putBack(device);
    childRelease(child, &usage_);
    if (again) return;
    device->child = nullptr;
    if (retryLater(device)) return;
    countAttempts(device);
    tell(FleetEvent(FleetEventKind::Ended, device, device->resultLine));
    judge(*device);
}

// A failure that passes on its own, before any byte of the image reached
// the device: another attempt later, while attempts are left.
bool Fleet::retryLater(FleetDevice* device) {
    if (device->attempts > o_.retries || interrupts_ > 0 || !retryable(device->outcome, device->imageReached ? 1 : 0))
        return false;
    const unsigned delay = retryDelaySeconds(o_.retryDelaySeconds, device->attempts);
    device->state = DeviceState::Waiting;
    device->retryPending = true;
    device->retryAtMs = clockMillis() + delay * 1000;
    tell(FleetEvent(FleetEventKind::PutBack, device,
                    "attempt " + std::to_string(device->attempts) + ": " + device->message + "; again in " +
                        std::to_string(delay) + " s (attempt " + std::to_string(device->attempts + 1) + " of " +
                        std::to_string(o_.retries + 1) + ")"));
    return true;
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
            notice("canary: " + device.address + " took the image; the rest start", false);
        if (afterImage && !canaryFailed_) {
            canaryFailed_ = true;
            notice("canary: " + device.address + " failed with the image; no more devices start", true);
        }
    }
    if (afterImage && ++failures_ == o_.maxFailures && !canaryFailed_)
        notice("failure budget spent (" + std::to_string(failures_) +
                   " after the image reached the device); no more devices start",
               true);
}

RunOutcome Fleet::run(const std::string& program) {
    console_.catchInterrupts(InterruptCatching::Always);
    tell(FleetEvent(FleetEventKind::Began));
    if (anyFailed()) return RunOutcome::ReportUnwritable;
    for (;;) {
        handleInterrupts();
        reapEnded();
        // Children start from this thread, the one they are tied to.
        if (interrupts_ == 0) startDevices(program);
        tell(FleetEvent(FleetEventKind::Tick));
        std::vector<OrbChild*> children;
        for (FleetDevice& d : devices_)
            if (d.state == DeviceState::Running) children.push_back(d.child);
        if (children.empty()) {
            bool waiting = false;
            for (const FleetDevice& d : devices_) waiting = waiting || d.state == DeviceState::Waiting;
            if (!waiting) break;
            // A retry's delay, the pace or the window: nothing to read meanwhile.
            sleepMillis(100);
            continue;
        }
        childWaitForOutput(children.data(), static_cast<int>(children.size()), 100);
        for (FleetDevice& d : devices_)
            if (d.state == DeviceState::Running) readOutput(&d);
    }
    view_.parentCpuSeconds = processCpuSeconds();
    view_.usage = usage_;
    tell(FleetEvent(FleetEventKind::Finished));
    // Not a device's failure: the counts stand, and the run has failed.
    if (anyFailed()) return RunOutcome::ReportUnwritable;
    bool good = true;
    for (const FleetDevice& d : devices_) good = good && deviceSucceeded(d, check_);
    return good ? RunOutcome::Success : RunOutcome::FleetFailed;
}

}  // namespace

int runFleet(const ProgramProfile& profile, const CliOptions& given, RunRequest& request, Console& console) {
    // A window that opens only after more than a night away is a mistake.
    MaintenanceWindow window;
    std::string why;
    if (given.command == CliCommand::Upgrade && parseWindow(given.window, &window, &why)) {
        const unsigned wait = minutesUntilOpen(window, localMinute());
        if (wait > kLongestWindowWaitMinutes)
            return usageError(profile, "--window " + given.window + ": it opens at " + clockText(window.openMinute) +
                                           ", in " + std::to_string(wait / 60) + " h " + std::to_string(wait % 60) +
                                           " min; a run waits for it at most 12 h");
    }
    std::vector<FleetDevice> devices;
    int status = 0;
    if (!planFleet(profile, given, &devices, &status)) return status;
    PinnedImages pinned;
    if (!pinImages(profile, request, &pinned, &status)) return status;
    char program[1024];
    if (!currentProgramPath(program, sizeof program)) return exitCodeOf(RunOutcome::ChildNotStarted);
    // One device given as an argument (for its log or report): no canary or
    // budget around it (one device cannot spend two), and its own exit status.
    const bool one = given.devicesFile.empty() && given.targets.size() == 1;
    CliOptions options = given;
    if (one) {
        options.canary = 0;
        options.maxFailures = 2;
    }
    const RunOutcome end = Fleet(profile, options, pinned, devices, one, console).run(program);
    if (!one) return exitCodeOf(end);
    const FleetDevice& device = devices[0];
    // Stopped before it started; or its window closed first, as in a fleet.
    if (device.state != DeviceState::Done && device.why == NotStartedWhy::WindowClosed) return exitCodeOf(end);
    if (device.state != DeviceState::Done)
        return exitCodeOf(end == RunOutcome::FleetFailed ? RunOutcome::UserAbort : end);
    // A report that could not be written fails a run the device passed.
    return outcomeSucceeded(device.outcome) && end == RunOutcome::ReportUnwritable ? exitCodeOf(end) : device.code;
}
