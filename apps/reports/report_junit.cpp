#include "apps/reports/report_junit.h"

#include <cstdio>

namespace {

// Device bytes as XML text: each byte the code point of its value, the five
// markup characters escaped, and the control bytes XML 1.0 cannot hold at
// all written as \xNN.
std::string xmlText(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                } else if (c < 0x80) {
                    out += static_cast<char>(c);
                } else {
                    out += static_cast<char>(0xC0 | (c >> 6));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                }
        }
    }
    return out;
}

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
    const std::string suite = xmlText(run.program + " " + run.command);
    const std::string counts = " tests=\"" + std::to_string(devices.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"0\" skipped=\"" + std::to_string(skipped) +
                               "\" time=\"" + seconds(run.elapsedMs) + "\"";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites name=\"" + suite + "\"" + counts + ">\n";
    out += "  <testsuite name=\"" + suite + "\"" + counts + " timestamp=\"" +
           xmlText(reportUtc(run.startTime).substr(0, 19)) + "\" hostname=\"" +
           xmlText(run.machine.empty() ? "localhost" : run.machine) + "\">\n";
    out += "    <properties>\n";
    auto property = [&](const std::string& name, const std::string& value) {
        out += "      <property name=\"" + xmlText(name) + "\" value=\"" + xmlText(value) + "\"/>\n";
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
        out += "    <testcase classname=\"" + xmlText(run.program) + "." + xmlText(run.command) + "\" name=\"" +
               xmlText(d.device + (d.serial.empty() ? "" : " " + d.serial)) + "\" time=\"" +
               seconds(d.started && d.endMs > d.startMs ? d.endMs - d.startMs : 0) + "\"";
        if (kind == "failed") {
            out += ">\n      <failure type=\"" + xmlText(d.outcome.empty() ? "failed" : d.outcome) + "\" message=\"" +
                   xmlText(d.result) + "\">" + xmlText(d.message.empty() ? d.result : d.message) +
                   "</failure>\n    </testcase>\n";
        } else if (kind == "not-started" || kind == "running") {
            out += ">\n      <skipped message=\"" + xmlText(d.result) + "\"/>\n    </testcase>\n";
        } else {
            out += "/>\n";
        }
    }
    out += "  </testsuite>\n</testsuites>\n";
    return out;
}
