#include <cstring>
#include <sstream>

#include "apps/fleet/fleet_device.h"
#include "base/text.h"
#include "platform/platform_file.h"
#include "ui/cli/cli_output.h"
#include "ui/cli/run_event.h"

namespace {

// UTC, ISO 8601, whole seconds; "" for a device that never started.
std::string utcTime(std::time_t time) {
    if (time == 0) return "";
    char text[32];
    const std::tm* utc = std::gmtime(&time);
    if (!utc || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc) == 0) return "";
    return text;
}

int64_t secondsTaken(const FleetDevice& d) { return d.endMs > d.startMs ? (d.endMs - d.startMs + 500) / 1000 : 0; }

// Ended, with an exit status; at the summary every device that started has.
bool ran(const FleetDevice& d) { return d.state == DeviceState::Done; }

// The fields of a device's row, for the summary event and the report alike.
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
    r.start = utcTime(d.startTime);
    r.end = utcTime(d.endTime);
    r.seconds = secondsTaken(d);
    return r;
}

// Device bytes as the JSON carries them (each byte the code point of its
// value, in UTF-8), quoted; a cell a spreadsheet would take for a formula
// starts with an apostrophe.
std::string csvText(const std::string& bytes) {
    std::string text;
    if (!bytes.empty() && std::strchr("=+-@\t\r", bytes[0])) text = "'";
    for (unsigned char c : bytes) {
        if (c == '"') {
            text += "\"\"";
        } else if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return "\"" + text + "\"";
}

}  // namespace

bool deviceSucceeded(const FleetDevice& d, bool check) {
    if (d.state != DeviceState::Done || !d.resultSeen) return false;
    if (check) return d.verdict == "would upgrade" || d.verdict == "already current";
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
        }
    }
    if (check && d.resultSeen && !d.verdict.empty()) return d.verdict;
    if (d.outcome == RunOutcome::AlreadyCurrent) return "already current";
    if (outcomeSucceeded(d.outcome)) return "upgraded";
    std::string why = !d.message.empty() ? d.message : outcomeName(d.outcome);
    return why + " (exit " + std::to_string(d.code) + ")";
}

void reportSummary(CliOutput& out, const std::vector<FleetDevice>& devices, bool check, const ChildUsage& usage) {
    int succeeded = 0, current = 0, failed = 0, notStarted = 0;
    RunEvent summary;
    summary.event = "summary";
    for (const FleetDevice& d : devices) {
        if (!ran(d))
            ++notStarted;
        else if (!deviceSucceeded(d, check))
            ++failed;
        else if (d.outcome == RunOutcome::AlreadyCurrent || d.verdict == "already current")
            ++current;
        else
            ++succeeded;
        summary.results.push_back(resultOf(d, check));
    }
    // Quiet, the table stays when something went wrong.
    const bool shown = !out.mode().quiet || failed + notStarted > 0;
    char text[1024];
    auto row = [&] {
        if (shown) out.importantLine("%s", text);
    };
    if (check) {
        formatText(text, sizeof text, "%-15s  %-12s  %-12s  %-14s  %-9s  %-9s  %s", "ADDRESS", "SERIAL", "MAC",
                   "PRODUCT", "SOFTWARE", "IMAGE", "VERDICT");
        row();
        for (const FleetDevice& d : devices) {
            formatText(text, sizeof text, "%-15s  %-12s  %-12s  %-14s  %-9s  %-9s  %s", d.address.c_str(),
                       shownText(d.serial).c_str(), shownText(d.mac).c_str(), shownText(d.product).c_str(),
                       shownText(d.before).c_str(), shownText(d.image).c_str(), shownText(resultWords(d, true)).c_str());
            row();
        }
        formatText(text, sizeof text, "%d would upgrade, %d already current, %d with a problem", succeeded, current,
                   failed);
    } else {
        formatText(text, sizeof text, "%-15s  %-12s  %-14s  %-9s  %-9s  %-6s  %s", "ADDRESS", "SERIAL", "MODEL",
                   "BEFORE", "AFTER", "TIME", "RESULT");
        row();
        for (const FleetDevice& d : devices) {
            std::string time = std::to_string(secondsTaken(d)) + " s";
            formatText(text, sizeof text, "%-15s  %-12s  %-14s  %-9s  %-9s  %-6s  %s", d.address.c_str(),
                       shownText(d.serial).c_str(), shownText(d.product).c_str(), shownText(d.before).c_str(),
                       d.after.empty() ? "-" : shownText(d.after).c_str(), time.c_str(),
                       shownText(resultWords(d, false)).c_str());
            row();
        }
        formatText(text, sizeof text, "%d upgraded, %d already current, %d failed", succeeded, current, failed);
    }
    if (notStarted > 0) {
        const size_t used = std::strlen(text);
        formatText(text + used, sizeof text - used, ", %d not %s", notStarted, check ? "checked" : "started");
    }
    row();
    double parentCpu = processCpuSeconds();
    out.line("CPU: %.2f s here, %.2f s in the devices' runs; at most %.1f MB for one run", parentCpu, usage.cpuSeconds,
             usage.peakBytes / 1e6);
    summary.devices = static_cast<int64_t>(devices.size());
    (check ? summary.wouldUpgrade : summary.upgraded) = succeeded;
    summary.current = current;
    summary.failed = failed;
    summary.notStarted = notStarted;
    summary.cpuParentMs = static_cast<int64_t>(parentCpu * 1000 + 0.5);
    summary.cpuChildrenMs = static_cast<int64_t>(usage.cpuSeconds * 1000 + 0.5);
    summary.peakBytesChild = static_cast<int64_t>(usage.peakBytes);
    out.event(summary);
}

bool writeReport(const std::string& path, const std::vector<FleetDevice>& devices, bool check, std::string* why) {
    std::ostringstream file;
    file << "device,serial,mac,product,before,after,image,image_file,result,code,start,end,seconds,image_sha256\r\n";
    for (const FleetDevice& d : devices) {
        RunEvent r = resultOf(d, check);
        file << csvText(r.device) << ',' << csvText(*r.serial) << ',' << csvText(*r.mac) << ','
             << csvText(*r.product) << ',' << csvText(*r.before) << ',' << csvText(*r.after) << ','
             << csvText(*r.image) << ',' << csvText(*r.imageFile) << ',' << csvText(*r.result) << ','
             << (r.code ? std::to_string(*r.code) : "") << ',' << csvText(*r.start) << ',' << csvText(*r.end)
             << ',' << *r.seconds << ',' << csvText(*r.imageSha256) << "\r\n";
    }
    const std::string text = file.str();
    char reason[256];
    if (fileReplace(path.c_str(), text.data(), text.size(), reason, sizeof reason)) return true;
    *why = reason;
    return false;
}
