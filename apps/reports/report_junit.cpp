#include "apps/reports/report_junit.h"

#include <cstdio>

namespace {

std::string seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(ms) / 1000.0);
    return text;
}

}  // namespace

std::string junitReport(const ReportRun& run, const std::vector<ReportDevice>& devices) {
    int failures = 0, skipped = 0;
    for (const ReportDevice& d : devices) {
        const std::string kind = reportClass(d);
        failures += kind == "failed";
        skipped += kind == "not-started" || kind == "running";
    }
    const std::string suite = markupText(run.program + " " + run.command);
    const std::string counts = " tests=\"" + std::to_string(devices.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"0\" skipped=\"" + std::to_string(skipped) +
                               "\" time=\"" + seconds(run.elapsedMs) + "\"";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites name=\"" + suite + "\"" + counts + ">\n";
    out += "  <testsuite name=\"" + suite + "\"" + counts + " timestamp=\"" +
           markupText(reportUtc(run.startTime).substr(0, 19)) + "\" hostname=\"" +
           markupText(run.machine.empty() ? "localhost" : run.machine) + "\">\n";
    out += "    <properties>\n";
    auto property = [&](const std::string& name, const std::string& value) {
        out += "      <property name=\"" + markupText(name) + "\" value=\"" + markupText(value) + "\"/>\n";
    };
    property("program", run.program + " " + run.programVersion);
    property("operator", run.operatorName);
    for (const ReportImage& image : run.images)
        property("image " + image.model, (image.file.empty() ? "built-in" : image.file) + " " + image.version +
                                             " sha256:" + image.sha256);
    for (const auto& [name, value] : run.settings) property(name, value);
    out += "    </properties>\n";
    for (const ReportDevice& d : devices) {
        const std::string kind = reportClass(d);
        out += "    <testcase classname=\"" + markupText(run.program) + "." + markupText(run.command) + "\" name=\"" +
               markupText(d.device + (d.serial.empty() ? "" : " " + d.serial)) + "\" time=\"" +
               seconds(d.started && d.endMs > d.startMs ? d.endMs - d.startMs : 0) + "\"";
        if (kind == "failed") {
            out += ">\n      <failure type=\"" + markupText(d.outcome.empty() ? "failed" : d.outcome) + "\" message=\"" +
                   markupText(d.result) + "\">" + markupText(d.message.empty() ? d.result : d.message) +
                   "</failure>\n    </testcase>\n";
        } else if (kind == "not-started" || kind == "running") {
            out += ">\n      <skipped message=\"" + markupText(d.result) + "\"/>\n    </testcase>\n";
        } else {
            out += "/>\n";
        }
    }
    out += "  </testsuite>\n</testsuites>\n";
    return out;
}
