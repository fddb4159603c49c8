// Writes the three reports of one mixed fleet (an upgrade, a refused
// password, a device silent after its upload, a retried device, one not
// started, a hostile product name) for check_reports.py.
#include <cstdio>
#include <fstream>
#include <string>

#include "apps/reports/report_html.h"
#include "apps/reports/report_junit.h"
#include "apps/reports/report_metrics.h"

namespace {

ReportDevice device(const char* address, const char* serial, const char* product, const char* outcome, int code,
                    int64_t startMs, int64_t endMs, const char* result) {
    ReportDevice d;
    d.device = address;
    d.serial = serial;
    d.product = product;
    d.outcome = outcome;
    d.code = code;
    d.result = result;
    d.started = code >= 0;
    d.ended = code >= 0;
    d.attempts = d.started ? 1 : 0;
    d.startMs = startMs;
    d.endMs = endMs;
    d.seconds = (endMs - startMs) / 1000;
    if (code == 0 && std::string(outcome) == "success") {
        const char* names[] = {"reading", "waiting", "transfer", "restart", "verification"};
        const int64_t ends[] = {startMs + 800, startMs + 2000, startMs + 9000, endMs - 1000, endMs};
        int64_t from = startMs;
        for (int i = 0; i < 5; ++i) {
            d.phases.push_back({names[i], from, ends[i], 1});
            from = ends[i];
        }
    }
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string base = argv[1];
    ReportRun run;
    run.program = "orbflash";
    run.programVersion = "1.0.0";
    run.command = "upgrade";
    run.operatorName = "night-shift";
    run.machine = "controller";
    run.images.push_back({"", "ORBQ4x4", "7.5.3", std::string(64, 'a')});
    run.startTime = 1796800000;
    run.endTime = run.startTime + 95;
    run.elapsedMs = 95000;
    run.settings = {{"jobs", "2"}, {"canary", "1"}, {"max failures", "2"}};
    run.canaryVerdict = "127.0.0.2 upgraded";
    run.budgetVerdict = "1 of 2 spent";
    run.finished = true;
    std::vector<ReportDevice> devices = {
        device("127.0.0.2", "ORB0012345", "ORBQ4x4", "success", 0, 0, 40000, "upgraded"),
        device("127.0.0.3", "ORB0012346", "<script>document.title='pwned'</script>", "password-refused", 4, 40000,
               41000, "Upgrade Failed: ORB refused the user name and password (exit 4)"),
        device("127.0.0.4", "ORB0012347", "\"><img src=x onerror=\"document.title='pwned'\">", "silent-after-upload",
               7, 40000, 90000, "Upgrade Failed: ORB not responding after firmware upload (exit 7)"),
        device("127.0.0.5", "ORB0012348", "ORBQ4x4", "success", 0, 50000, 95000, "upgraded"),
        device("127.0.0.6", "", "", "", -1, 0, 0, "not started (failure budget spent)"),
    };
    // The retried device: two attempts that found no answer, then its upgrade.
    ReportDevice& retried = devices[3];
    retried.attempts = 3;
    retried.startMs = 41000;
    retried.seconds = 54;
    for (ReportPhase& phase : retried.phases) phase.attempt = 3;
    retried.phases.insert(retried.phases.begin(), {{"reading", 41000, 44000, 1}, {"reading", 47000, 50000, 2}});
    std::ofstream(base + ".html", std::ios::binary) << htmlReport(run, devices);
    std::ofstream(base + ".xml", std::ios::binary) << junitReport(run, devices);
    std::ofstream(base + ".prom", std::ios::binary) << metricsReport(run, devices, "");
    return 0;
}
