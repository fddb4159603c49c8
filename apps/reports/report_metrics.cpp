#include "apps/reports/report_metrics.h"

#include <cstdio>
#include <map>
#include <sstream>

namespace {

// Upper bounds of the upgrade-time histogram, in seconds: a restart alone
// takes one to five minutes.
const int kBuckets[] = {15, 30, 60, 120, 180, 240, 300, 450, 600, 900};

const char kLastSuccess[] = "orb_fleet_last_success_timestamp_seconds";

void family(std::string* out, const char* name, const char* type, const char* help) {
    *out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

// A label value: the program's name or an outcome's, never device text.
std::string label(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

std::string previousLastSuccess(const std::string& previous, const std::string& programLabel) {
    std::istringstream lines(previous);
    const std::string prefix = std::string(kLastSuccess) + "{" + programLabel + "} ";
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    return "";
}

}  // namespace

std::string metricsReport(const ReportRun& run, const std::vector<ReportDevice>& devices, const std::string& previous) {
    const std::string program = "program=\"" + label(run.program) + "\"";
    std::map<std::string, int> byOutcome;
    bool allWell = run.finished && !devices.empty();
    int counts[sizeof kBuckets / sizeof kBuckets[0]] = {};
    int upgraded = 0;
    double sum = 0;
    for (const ReportDevice& d : devices) {
        const std::string kind = reportClass(d);
        ++byOutcome[d.outcome.empty() ? kind : d.outcome];
        allWell = allWell && (kind == "upgraded" || kind == "current");
        if (kind != "upgraded") continue;
        const double taken = static_cast<double>(d.endMs - d.startMs) / 1000.0;
        ++upgraded;
        sum += taken;
        for (size_t i = 0; i < sizeof kBuckets / sizeof kBuckets[0]; ++i) counts[i] += taken <= kBuckets[i];
    }
    std::string out;
    char line[256];
    family(&out, "orb_fleet_devices", "gauge", "Devices of the last fleet run, by how each ended.");
    for (const auto& [outcome, count] : byOutcome) {
        std::snprintf(line, sizeof line, "orb_fleet_devices{%s,outcome=\"%s\"} %d\n", program.c_str(),
                      label(outcome).c_str(), count);
        out += line;
    }
    family(&out, "orb_fleet_run_duration_seconds", "gauge", "How long the last fleet run took.");
    std::snprintf(line, sizeof line, "orb_fleet_run_duration_seconds{%s} %.3f\n", program.c_str(),
                  static_cast<double>(run.elapsedMs) / 1000.0);
    out += line;
    family(&out, "orb_fleet_run_start_timestamp_seconds", "gauge", "When the last fleet run started, Unix time.");
    std::snprintf(line, sizeof line, "orb_fleet_run_start_timestamp_seconds{%s} %lld\n", program.c_str(),
                  static_cast<long long>(run.startTime));
    out += line;
    family(&out, "orb_fleet_run_end_timestamp_seconds", "gauge", "When the last fleet run ended, Unix time.");
    std::snprintf(line, sizeof line, "orb_fleet_run_end_timestamp_seconds{%s} %lld\n", program.c_str(),
                  static_cast<long long>(run.endTime));
    out += line;
    const std::string before = previousLastSuccess(previous, program);
    if (allWell || !before.empty()) {
        family(&out, kLastSuccess, "gauge",
               "When a fleet run last ended with every device upgraded or already current, Unix time.");
        out += std::string(kLastSuccess) + "{" + program + "} " +
               (allWell ? std::to_string(static_cast<long long>(run.endTime)) : before) + "\n";
    }
    family(&out, "orb_fleet_device_upgrade_duration_seconds", "histogram",
           "Time to upgrade one device in the last fleet run, from its start to its end.");
    for (size_t i = 0; i < sizeof kBuckets / sizeof kBuckets[0]; ++i) {
        std::snprintf(line, sizeof line, "orb_fleet_device_upgrade_duration_seconds_bucket{%s,le=\"%d\"} %d\n",
                      program.c_str(), kBuckets[i], counts[i]);
        out += line;
    }
    std::snprintf(line, sizeof line,
                  "orb_fleet_device_upgrade_duration_seconds_bucket{%s,le=\"+Inf\"} %d\n"
                  "orb_fleet_device_upgrade_duration_seconds_sum{%s} %.3f\n"
                  "orb_fleet_device_upgrade_duration_seconds_count{%s} %d\n",
                  program.c_str(), upgraded, program.c_str(), sum, program.c_str(), upgraded);
    out += line;
    return out;
}
