#include "apps/fleet/fleet.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "core/run_outcome.h"
#include "platform/platform_child.h"
#include "platform/platform_clock.h"
#include "platform/platform_console.h"
#include "platform/platform_socket.h"
#include "ui/cli/cli_output.h"
#include "ui/cli/run_event.h"

namespace {

// The listener takes the first free port from 69 to 168: at most that many
// runs at once from one local address.
const unsigned kMostJobs = 100;
const uint32_t kTableRefreshMs = 200;

enum class DeviceState { Waiting, Running, Done, NotStarted };

struct FleetDevice {
    std::string address;
    std::string user;
    std::string passwordFile;
    DeviceState state = DeviceState::Waiting;
    OrbChild* child = nullptr;
    std::string pending;  // output not yet a whole line
    std::string log;      // --log-dir: its messages and events
    std::string serial, model, before, after, step;
    unsigned percent = 0;
    int code = -1;
    std::string outcome, message;
    uint32_t startMs = 0, endMs = 0;
    bool resultSeen = false;
};

FleetDevice makeDevice(const std::string& address, const std::string& user, const std::string& passwordFile) {
    FleetDevice device;
    device.address = address;
    device.user = user;
    device.passwordFile = passwordFile;
    return device;
}

bool readable(const std::string& path) { return std::ifstream(path).good(); }

// ADDRESS [USER [PASSWORD-FILE]] per line; '#' starts a comment. Every bad
// line is reported, with its number, before anything starts.
bool readDevicesFile(const ProgramProfile& profile, const std::string& path, const CliOptions& o,
                     std::vector<FleetDevice>* devices) {
    std::ifstream file(path);
    if (!file) {
        std::fprintf(stderr, "%s: --devices: cannot read %s\n", profile.programName, path.c_str());
        return false;
    }
    bool good = true;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        if (fields.empty()) continue;
        auto bad = [&](const std::string& why) {
            std::fprintf(stderr, "%s: %s:%d: %s\n", profile.programName, path.c_str(), number, why.c_str());
            good = false;
        };
        uint32_t address = 0;
        if (fields.size() > 3)
            bad("more than ADDRESS [USER [PASSWORD-FILE]]");
        else if (!parseHostAddress(fields[0].c_str(), &address))
            bad("not the address of a host: '" + fields[0] + "'");
        else if (fields.size() == 3 && !readable(fields[2]))
            bad("cannot read the password file '" + fields[2] + "'");
        else
            devices->push_back(makeDevice(fields[0], fields.size() > 1 ? fields[1] : o.user,
                                          fields.size() > 2 ? fields[2] : o.passwordFile));
    }
    return good;
}

std::vector<std::string> childArguments(const std::string& program, const CliOptions& o, const FleetDevice& device) {
    std::vector<std::string> arguments = {program,     "upgrade",         device.address,
                                          "--json",    "--yes",           "--user",
                                          device.user, "--fetch-timeout", std::to_string(o.fetchTimeoutSeconds)};
    if (!device.passwordFile.empty()) arguments.insert(arguments.end(), {"--password-file", device.passwordFile});
    if (!o.local.empty()) arguments.insert(arguments.end(), {"--local", o.local});
    if (!o.image.empty()) arguments.insert(arguments.end(), {"--image", o.image});
    if (!o.transitionImage.empty()) arguments.insert(arguments.end(), {"--transition-image", o.transitionImage});
    arguments.insert(arguments.end(), {"--restart-wait", o.restartWait == RestartWait::Fixed ? "fixed" : "follow",
                                       "--restart-timeout", std::to_string(o.restartTimeoutSeconds)});
    if (o.force) arguments.push_back("--force");
    if (o.verbose) arguments.push_back("--verbose");
    return arguments;
}

std::string logPath(const CliOptions& o, const FleetDevice& device) {
    return o.logDir.empty() ? "" : o.logDir + "/" + device.address + ".log";
}

bool startDevice(const std::string& program, const CliOptions& o, FleetDevice* device) {
    std::vector<std::string> arguments = childArguments(program, o, *device);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    device->log = logPath(o, *device);
    device->child = childStart(argv.data(), device->log.empty() ? nullptr : device->log.c_str());
    device->startMs = clockMillis();
    device->state = DeviceState::Running;
    device->step = "starting";
    if (!device->child) {
        device->state = DeviceState::Done;
        device->code = 1;
        device->message = "could not be started";
    }
    return device->child != nullptr;
}

std::string stepOf(const RunEvent& e, FleetDevice* device) {
    const std::string& event = e.event;
    if (event == "status-read") return device->before.empty() ? "reading status" : "reading version";
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

// One event of a child: the device's row, its log, and the parent's output.
void takeEvent(CliOutput& out, const std::string& line, FleetDevice* device, bool table) {
    RunEvent e;
    if (!parseEventLine(line, &e)) return;
    out.eventLine(line);
    // The child writes its messages to the same file, also appending.
    if (!device->log.empty()) std::ofstream(device->log, std::ios::app) << line << '\n';
    if (e.event == "facts") {
        device->serial = e.serial.value_or("");
        device->model = e.product.value_or("");
        device->before = e.software.value_or("");
    } else if (e.event == "result") {
        device->resultSeen = true;
        device->code = static_cast<int>(e.code.value_or(1));
        device->outcome = e.outcome.value_or("");
        device->message = e.message.value_or("");
        device->after = e.version.value_or("");
    }
    std::string previous = device->step;
    device->step = stepOf(e, device);
    // Without a live table: one line per event (progress only in quarters).
    if (table || e.event == "result" || e.event == "restart-progress") return;
    if (e.event == "progress" && device->percent % 25 != 0 && device->percent != 100) return;
    if (e.event == "progress" && device->step == previous) return;
    out.line("%s: %s", device->address.c_str(), shownText(device->step).c_str());
}

void readOutput(CliOutput& out, FleetDevice* device, bool table) {
    char buffer[4096];
    for (int got; (got = childRead(device->child, buffer, sizeof buffer)) > 0;) {
        device->pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = device->pending.find('\n')) != std::string::npos;) {
            std::string line = device->pending.substr(0, end);
            device->pending.erase(0, end + 1);
            takeEvent(out, line, device, table);
        }
    }
}

std::string resultWords(const FleetDevice& d) {
    if (d.state == DeviceState::NotStarted) return "not started (stopped)";
    if (d.code == 0 && d.outcome == "already-current") return "already current";
    if (d.code == 0) return "upgraded";
    std::string why = !d.message.empty() ? d.message : !d.outcome.empty() ? d.outcome : "failed";
    return why + " (exit " + std::to_string(d.code) + ")";
}

void finishDevice(CliOutput& out, FleetDevice* device, int status, ChildUsage* usage, bool table) {
    readOutput(out, device, table);
    childRelease(device->child, usage);
    device->child = nullptr;
    device->state = DeviceState::Done;
    device->endMs = clockMillis();
    if (!device->resultSeen) {
        // Crashed or killed: that device's failure, not the fleet's.
        device->code = status == 0 ? 1 : status;
        device->message = "ended without a result (status " + std::to_string(status) + ")";
        RunEvent lost;
        lost.event = "result";
        lost.device = device->address;
        lost.code = device->code;
        lost.outcome = "lost";
        lost.message = device->message;
        lost.version = "";
        out.event(lost);
    }
    out.line("%s: %s", device->address.c_str(), shownText(resultWords(*device)).c_str());
}

// The live table: one row per running device, redrawn in place.
class LiveTable {
public:
    void clear() {
        for (int i = 0; i < rows_; ++i) std::fputs("\x1b[1A\x1b[2K", stderr);
        rows_ = 0;
    }
    void draw(const std::vector<FleetDevice>& devices, bool force) {
        uint32_t now = clockMillis();
        if (!force && now - lastMs_ < kTableRefreshMs) return;
        lastMs_ = now;
        clear();
        for (const FleetDevice& d : devices) {
            if (d.state != DeviceState::Running) continue;
            std::fprintf(stderr, "  %-15s  %-12s  %s\n", d.address.c_str(), shownText(d.serial.c_str()).c_str(),
                         shownText(d.step.c_str()).c_str());
            ++rows_;
        }
        std::fflush(stderr);
    }

private:
    int rows_ = 0;
    uint32_t lastMs_ = 0;
};

void printSummary(CliOutput& out, const std::vector<FleetDevice>& devices) {
    out.line("%-15s  %-12s  %-14s  %-9s  %-9s  %-6s  %s", "ADDRESS", "SERIAL", "MODEL", "BEFORE", "AFTER", "TIME",
            "RESULT");
    for (const FleetDevice& d : devices) {
        double seconds = d.endMs > d.startMs ? (d.endMs - d.startMs) / 1000.0 : 0.0;
        char time[16];
        formatText(time, sizeof time, "%.0f s", seconds);
        out.line("%-15s  %-12s  %-14s  %-9s  %-9s  %-6s  %s", d.address.c_str(), shownText(d.serial.c_str()).c_str(),
                shownText(d.model.c_str()).c_str(), shownText(d.before.c_str()).c_str(),
                d.code == 0 ? shownText(d.after.c_str()).c_str() : "-", time,
                shownText(resultWords(d).c_str()).c_str());
    }
}

}  // namespace

int runFleet(const ProgramProfile& profile, const CliRequest& request) {
    const CliOptions& o = request.options;
    std::vector<FleetDevice> devices;
    for (const std::string& address : o.targets) devices.push_back(makeDevice(address, o.user, o.passwordFile));
    if (!o.devicesFile.empty() && !readDevicesFile(profile, o.devicesFile, o, &devices))
        return exitCode(ExitStatus::Usage);
    for (size_t i = 0; i < devices.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (devices[i].address == devices[j].address) {
                std::fprintf(stderr, "%s: %s is listed twice\n", profile.programName, devices[i].address.c_str());
                return exitCode(ExitStatus::Usage);
            }
    if (devices.empty()) {
        std::fprintf(stderr, "%s: --devices: no devices in %s\n", profile.programName, o.devicesFile.c_str());
        return exitCode(ExitStatus::Usage);
    }
    char program[1024];
    if (!currentProgramPath(program, sizeof program)) return exitCode(ExitStatus::Failed);

    const bool table = consoleErrorIsTerminal() && !o.quiet;
    CliOutput out(CliOutputMode{profile.programName, o.quiet, o.json, false});
    unsigned jobs = o.jobs;
    if (jobs > kMostJobs) {
        out.line("--jobs: at most %u at once (the TFTP ports 69 to 168 of one local address)", kMostJobs);
        jobs = kMostJobs;
    }
    consoleCatchInterrupt();
    out.line("upgrading %u devices, at most %u at once", static_cast<unsigned>(devices.size()), jobs);

    LiveTable live;
    ChildUsage usage{0.0, 0};
    int interrupts = 0;
    for (;;) {
        int seen = consoleInterruptCount();
        if (seen != interrupts) {
            interrupts = seen;
            if (table) live.clear();
            if (interrupts == 1) {
                out.importantLine("stopping: no more devices start; Ctrl+C again cancels the running ones");
            } else {
                out.importantLine("cancelling the running devices");
                for (FleetDevice& d : devices)
                    if (d.state == DeviceState::Running) childInterrupt(d.child);
            }
        }
        unsigned running = 0;
        for (FleetDevice& d : devices) running += d.state == DeviceState::Running;
        for (FleetDevice& d : devices) {
            if (d.state != DeviceState::Waiting) continue;
            if (interrupts > 0) {
                d.state = DeviceState::NotStarted;
                d.code = exitCode(ExitStatus::Cancelled);
                continue;
            }
            if (running >= jobs) break;
            if (startDevice(program, o, &d)) ++running;
        }
        std::vector<OrbChild*> children;
        for (FleetDevice& d : devices)
            if (d.state == DeviceState::Running) children.push_back(d.child);
        if (children.empty()) break;
        childWaitForOutput(children.data(), static_cast<int>(children.size()), 100);
        bool changed = false;
        for (FleetDevice& d : devices) {
            if (d.state != DeviceState::Running) continue;
            int status = 0;
            if (childEnded(d.child, &status)) {
                if (table) live.clear();
                finishDevice(out, &d, status, &usage, table);
                changed = true;
            } else {
                readOutput(out, &d, table);
            }
        }
        if (table) live.draw(devices, changed);
    }
    if (table) live.clear();

    int upgraded = 0, current = 0, failed = 0;
    RunEvent summary;
    summary.event = "summary";
    for (const FleetDevice& d : devices) {
        if (d.code == 0 && d.outcome == "already-current")
            ++current;
        else if (d.code == 0)
            ++upgraded;
        else
            ++failed;
        RunEvent result;
        result.device = d.address;
        result.code = d.code;
        result.result = resultWords(d);
        summary.results.push_back(result);
    }
    printSummary(out, devices);
    double parentCpu = processCpuSeconds();
    out.line("%d upgraded, %d already current, %d failed", upgraded, current, failed);
    out.line("CPU: %.2f s here, %.2f s in the devices' runs; at most %.1f MB for one run", parentCpu, usage.cpuSeconds,
             usage.peakBytes / 1e6);
    summary.devices = static_cast<int64_t>(devices.size());
    summary.upgraded = upgraded;
    summary.current = current;
    summary.failed = failed;
    summary.cpuParentMs = static_cast<int64_t>(parentCpu * 1000 + 0.5);
    summary.cpuChildrenMs = static_cast<int64_t>(usage.cpuSeconds * 1000 + 0.5);
    summary.peakBytesChild = static_cast<int64_t>(usage.peakBytes);
    out.event(summary);
    return exitCode(failed == 0 ? ExitStatus::Done : ExitStatus::FleetFailed);
}
