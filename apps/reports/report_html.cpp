#include "apps/reports/report_html.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

std::string secondsText(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms < 10000 ? "%.1f s" : "%.0f s", static_cast<double>(ms) / 1000.0);
    return text;
}

const char kStyle[] = R"(<style>
body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#222}
h1{font-size:1.4em;margin:0 0 .5em}
dl.run{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:0 0 1em}
dl.run dt{color:#666}
dl.run dd{margin:0;font-family:ui-monospace,monospace}
.counts span{display:inline-block;padding:.2em .7em;margin:0 .4em .4em 0;border-radius:1em;color:#fff}
.upgraded{--c:#2e7d32}.current{--c:#607d8b}.failed{--c:#c62828}.not-started{--c:#9e9e9e}.running{--c:#1565c0}
.counts span{background:var(--c)}
svg text{font:12px ui-monospace,monospace;fill:#222}
svg .axis{stroke:#ddd}
rect.reading{fill:#90caf9}rect.waiting{fill:#ffe082}rect.transfer{fill:#1565c0}
rect.restart{fill:#ffb74d}rect.verification{fill:#81c784}rect.whole{fill:var(--c)}
rect.retry{opacity:.55}
g.failed rect{stroke:#c62828;stroke-width:1.5}
g.failed text.outcome{fill:#c62828;font-weight:bold}
table{border-collapse:collapse;margin-top:1em}
th,td{border:1px solid #ddd;padding:.2em .5em;text-align:left;font-family:ui-monospace,monospace;font-size:12px}
th{background:#f4f4f4;cursor:pointer}
tr.failed td{background:#fdecea}tr.upgraded td:first-child{border-left:4px solid #2e7d32}
.legend span{margin-right:1em}.legend i{display:inline-block;width:1em;height:.8em;margin-right:.3em}
</style>
)";

// Sorts a table by the column whose heading is clicked; the page reads the
// same without it.
const char kScript[] = R"(<script>
for (const th of document.querySelectorAll('#devices th')) th.onclick = () => {
  const body = th.closest('table').tBodies[0], i = th.cellIndex, up = th.dataset.up !== '1';
  th.dataset.up = up ? '1' : '0';
  [...body.rows].sort((a, b) => a.cells[i].textContent.localeCompare(b.cells[i].textContent, undefined,
    {numeric: true}) * (up ? 1 : -1)).forEach(r => body.appendChild(r));
};
</script>
)";

const char* const kPhases[] = {"reading", "waiting", "transfer", "restart", "verification"};

// Tick spacing for an axis of total ms: at most about ten ticks.
int64_t tickMs(int64_t total) {
    for (int64_t step : {1000, 2000, 5000, 10000, 15000, 30000, 60000, 120000, 300000, 600000, 1800000, 3600000})
        if (total / step <= 10) return step;
    return 7200000;
}

void timeline(std::string* out, const ReportRun& run, const std::vector<ReportDevice>& devices) {
    const int label = 260, width = 760, row = 20, top = 24;
    int64_t total = std::max<int64_t>(run.elapsedMs, 1000);
    for (const ReportDevice& d : devices) total = std::max(total, d.endMs);
    auto x = [&](int64_t ms) { return label + static_cast<double>(ms) * width / static_cast<double>(total); };
    const int height = top + row * static_cast<int>(devices.size()) + 8;
    char text[512];
    std::snprintf(text, sizeof text,
                  "<svg id=\"timeline\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" role=\"img\" "
                  "aria-label=\"each device from its start to its end\">\n",
                  label + width + 180, height, label + width + 180, height);
    *out += text;
    const int64_t step = tickMs(total);
    for (int64_t t = 0; t <= total; t += step) {
        std::snprintf(text, sizeof text,
                      "<line class=\"axis\" x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\"/><text x=\"%.1f\" y=\"14\">%s</text>\n",
                      x(t), top - 4, x(t), height, x(t) + 2, secondsText(t).c_str());
        *out += text;
    }
    int y = top;
    for (const ReportDevice& d : devices) {
        const char* kind = reportClass(d);
        *out += "<g class=\"bar " + std::string(kind) + "\" data-device=\"" + markupText(d.device) + "\" data-outcome=\"" +
                markupText(d.outcome.empty() ? kind : d.outcome) + "\">";
        std::snprintf(text, sizeof text, "<text x=\"0\" y=\"%d\">", y + 13);
        *out += text + markupText(d.device + (d.serial.empty() ? "" : " " + d.serial)) + "</text>";
        if (d.started) {
            const int64_t end = d.ended ? d.endMs : std::max(d.startMs, run.elapsedMs);
            auto rect = [&](int64_t from, int64_t to, const std::string& cls, const std::string& title) {
                std::snprintf(text, sizeof text, "<rect class=\"%s\" x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\">",
                              cls.c_str(), x(from), y + 2, std::max(1.0, x(to) - x(from)), row - 5);
                *out += text + std::string("<title>") + title + "</title></rect>";
            };
            if (d.phases.empty())
                rect(d.startMs, end, "whole", markupText(d.result) + ", " + secondsText(end - d.startMs));
            for (const ReportPhase& p : d.phases) {
                const bool known = std::find(std::begin(kPhases), std::end(kPhases), p.name) != std::end(kPhases);
                std::string title = markupText(p.name) + ", " + secondsText(p.endMs - p.startMs);
                if (d.attempts > 1) title += ", attempt " + std::to_string(p.attempt);
                rect(p.startMs, p.endMs, (known ? p.name : std::string("whole")) + (p.attempt < d.attempts ? " retry" : ""),
                     title);
            }
            std::string note = d.ended ? (d.code == 0 ? std::string(kind) : d.outcome.empty() ? "failed" : d.outcome)
                                       : "running";
            if (d.attempts > 1) note += " (" + std::to_string(d.attempts) + " attempts)";
            std::snprintf(text, sizeof text, "<text class=\"outcome\" x=\"%.1f\" y=\"%d\">", x(end) + 4, y + 13);
            *out += text + markupText(note) + "</text>";
        } else {
            std::snprintf(text, sizeof text, "<text class=\"outcome\" x=\"%d\" y=\"%d\">", label, y + 13);
            *out += text + markupText(d.result) + "</text>";
        }
        *out += "</g>\n";
        y += row;
    }
    *out += "</svg>\n<p class=\"legend\">";
    const char* colours[] = {"#90caf9", "#ffe082", "#1565c0", "#ffb74d", "#81c784"};
    for (size_t i = 0; i < sizeof kPhases / sizeof kPhases[0]; ++i)
        *out += std::string("<span><i style=\"background:") + colours[i] + "\"></i>" + kPhases[i] + "</span>";
    *out += "<span>faded: an attempt that was retried</span></p>\n";
}

}  // namespace

std::string htmlReport(const ReportRun& run, const std::vector<ReportDevice>& devices) {
    std::map<std::string, int> counts;
    for (const ReportDevice& d : devices) ++counts[reportClass(d)];
    std::string title = markupText(run.program) + " " + markupText(run.command) + ": ";
    const char* order[] = {"upgraded", "current", "failed", "not-started", "running"};
    const char* words[] = {"upgraded", "already current", "failed", "not started", "running"};
    std::string countLine;
    for (size_t i = 0; i < 5; ++i) {
        if (!counts[order[i]] && i >= 3) continue;
        countLine += std::string("<span class=\"") + order[i] + "\">" + std::to_string(counts[order[i]]) + " " +
                     words[i] + "</span>";
        title += (i ? ", " : "") + std::to_string(counts[order[i]]) + " " + words[i];
    }
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    // Live: the browser reloads it; the final page stays still.
    if (!run.finished) out += "<meta http-equiv=\"refresh\" content=\"2\">\n";
    out += "<title>" + title + "</title>\n" + kStyle + "</head>\n<body>\n";
    out += "<h1>" + markupText(run.program) + " " + markupText(run.programVersion) + ": " + markupText(run.command) +
           (run.finished ? "" : " (running)") + "</h1>\n<dl class=\"run\">\n";
    auto item = [&](const std::string& name, const std::string& value) {
        out += "<dt>" + markupText(name) + "</dt><dd>" + markupText(value) + "</dd>\n";
    };
    item("operator", run.operatorName + (run.machine.empty() ? "" : " on " + run.machine));
    item("start", reportUtc(run.startTime));
    item("end", run.finished ? reportUtc(run.endTime) : "running, " + secondsText(run.elapsedMs) + " so far");
    for (const ReportImage& image : run.images)
        item("image " + image.model, image.version + " " + (image.file.empty() ? "(built in)" : image.file) +
                                         " sha256 " + image.sha256);
    for (const auto& [name, value] : run.settings) item(name, value);
    if (!run.canaryVerdict.empty()) item("canary verdict", run.canaryVerdict);
    if (!run.budgetVerdict.empty()) item("failure budget verdict", run.budgetVerdict);
    out += "</dl>\n<p class=\"counts\" id=\"summary\">" + countLine + "</p>\n<h2>Timeline</h2>\n";
    timeline(&out, run, devices);
    out += "<h2>Devices</h2>\n<table id=\"devices\">\n<thead><tr>";
    const char* columns[] = {"device", "image", "product", "serial", "mac", "result", "image_file",
                             "image_sha256", "before", "after", "start", "end", "seconds", "code"};
    for (const char* column : columns) out += std::string("<th>") + column + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (const ReportDevice& d : devices) {
        const char* kind = reportClass(d);
        out += std::string("<tr class=\"") + kind + "\" data-device=\"" + markupText(d.device) + "\" data-outcome=\"" +
               markupText(d.outcome.empty() ? kind : d.outcome) + "\">";
        for (const std::string* cell : {&d.device, &d.image, &d.product, &d.serial, &d.mac, &d.result, &d.imageFile,
                                        &d.imageSha256, &d.before, &d.after, &d.start, &d.end})
            out += "<td>" + markupText(*cell) + "</td>";
        out += "<td>" + std::to_string(d.seconds) + "</td><td>" + (d.code >= 0 ? std::to_string(d.code) : "") +
               "</td></tr>\n";
    }
    out += "</tbody>\n</table>\n";
    out += kScript;
    out += "</body>\n</html>\n";
    return out;
}
