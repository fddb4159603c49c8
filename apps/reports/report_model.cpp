#include "apps/reports/report_model.h"

#include <cstdio>

std::string markupText(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
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
