#include "apps/reports/report_model.h"

const char* reportClass(const ReportDevice& d) {
    if (!d.started) return "not-started";
    if (!d.ended) return "running";
    if (d.code == 0) return d.outcome == "already-current" ? "current" : "upgraded";
    return "failed";
}

std::string reportUtc(std::time_t time) {
    if (time == 0) return "";
    char text[32];
    const std::tm* utc = std::gmtime(&time);
    if (!utc || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc) == 0) return "";
    return text;
}
