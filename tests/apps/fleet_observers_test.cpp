#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "apps/fleet/fleet_events.h"

namespace {

// A device as its child's recorded events left it, and what every output
// must say of it.
struct Recorded {
    const char* address;
    std::vector<std::string> events;  // its child's lines, the result last
    int lostStatus;                   // no result: the child's exit status; -1: none lost
    bool started;
    const char* words;  // the result in words
    const char* code;   // its exit status as the outputs give it ("": never ran)
};

const Recorded kStream[] = {
    {"127.0.0.2",
     {R"({"event":"facts","device":"127.0.0.2","serial":"S2","mac":"M2","product":"ORBQ4x4","software":"7.0.0"})",
      R"({"event":"transfer","device":"127.0.0.2","from":"127.0.0.2:1024","total":100})",
      R"({"event":"result","device":"127.0.0.2","code":0,"outcome":"success","message":null,"version":"7.5.3","bytes_sent":100})"},
     -1, true, "upgraded", "0"},
    {"127.0.0.3",
     {R"({"event":"result","device":"127.0.0.3","code":0,"outcome":"already-current","message":"already on 7.5.3"})"},
     -1, true, "already current", "0"},
    {"127.0.0.4",
     {R"({"event":"result","device":"127.0.0.4","code":4,"outcome":"password-refused","message":"Upgrade Failed: refused"})"},
     -1, true, "Upgrade Failed: refused (exit 4)", "4"},
    // The outcome judges, never the number: one the table does not know is a lost run.
    {"127.0.0.5", {R"({"event":"result","device":"127.0.0.5","code":0,"outcome":"bogus","message":null})"}, -1, true,
     "lost (exit 1)", "1"},
    {"127.0.0.6", {R"({"event":"transfer","device":"127.0.0.6","total":100})"}, 9, true,
     "ended without a result (status 9) (exit 9)", "9"},
    {"127.0.0.7", {}, -1, false, "not started (canary failed)", ""},
};

std::string readAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
    return text;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

// The lines' summary table, the CSV report and the JSON summary, all fed the
// one recorded stream, say the same of every device.
TEST(FleetObservers, ARecordedStreamGivesTheSameTableCsvAndJson) {
    std::vector<FleetDevice> devices;
    for (const Recorded& r : kStream) {
        FleetDevice d;
        d.address = r.address;
        devices.push_back(d);
    }
    std::FILE* lines = std::tmpfile();
    std::FILE* events = std::tmpfile();
    ASSERT_TRUE(lines && events);
    const std::string report = (std::filesystem::temp_directory_path() / "fleet_observers_test.csv").string();
    ProgramOutput out(OutputMode{"orbflash", false, true, false, nullptr, lines, events});
    std::vector<std::unique_ptr<FleetObserver>> observers;
    observers.push_back(makeFleetLines(out, false));
    observers.push_back(makeFleetJson(out));
    observers.push_back(makeFleetReport(out, report));
    FleetRun fleet{devices, false, 8, 0};
    auto tell = [&](const FleetEvent& e) {
        for (const auto& observer : observers) observer->observe(fleet, e);
    };

    tell(FleetEvent(FleetEventKind::Began));
    for (size_t i = 0; i < devices.size(); ++i) {
        FleetDevice& d = devices[i];
        if (!kStream[i].started) {
            d.state = DeviceState::NotStarted;
            d.why = NotStartedWhy::CanaryFailed;
            continue;
        }
        d.state = DeviceState::Running;
        tell(FleetEvent(FleetEventKind::Started, &d));
        for (const std::string& line : kStream[i].events) {
            RunEvent e;
            ASSERT_TRUE(parseEventLine(line, &e)) << line;
            takeChildEvent(&d, e, line);
            if (e.event != "result") tell(FleetEvent(FleetEventKind::Child, &d, line, &e));
        }
        d.state = DeviceState::Done;
        if (kStream[i].lostStatus >= 0) takeLostChild(&d, kStream[i].lostStatus);
        tell(FleetEvent(FleetEventKind::Ended, &d, d.resultLine));
        tell(FleetEvent(FleetEventKind::Tick));
    }
    tell(FleetEvent(FleetEventKind::Finished));
    for (const auto& observer : observers) EXPECT_FALSE(observer->failed());

    const std::vector<std::string> table = linesOf(readAll(lines));
    std::ifstream csvFile(report, std::ios::binary);
    const std::vector<std::string> csv = linesOf(std::string(std::istreambuf_iterator<char>(csvFile), {}));
    RunEvent summary;
    int results = 0;
    for (const std::string& line : linesOf(readAll(events))) {
        RunEvent e;
        ASSERT_TRUE(parseEventLine(line, &e)) << line;
        results += e.event == "result";
        if (e.event == "summary") summary = e;
    }
    EXPECT_EQ(results, 5);  // each run's result once, the lost one's made by the parent
    ASSERT_EQ(summary.results.size(), std::size(kStream));
    ASSERT_EQ(csv.size(), std::size(kStream) + 1);
    EXPECT_EQ(summary.upgraded, 1);
    EXPECT_EQ(summary.current, 1);
    EXPECT_EQ(summary.failed, 3);
    EXPECT_EQ(summary.notStarted, 1);
    for (size_t i = 0; i < std::size(kStream); ++i) {
        const Recorded& r = kStream[i];
        const std::string address = r.address;
        bool inTable = false;
        for (const std::string& row : table)
            inTable = inTable || (row.find(address + " ") != std::string::npos &&
                                  row.size() > std::strlen(r.words) &&
                                  row.compare(row.size() - std::strlen(r.words), std::string::npos, r.words) == 0);
        EXPECT_TRUE(inTable) << address << ": " << r.words;
        EXPECT_EQ(csv[i + 1].rfind("\"" + address + "\",", 0), 0u) << csv[i + 1];
        EXPECT_NE(csv[i + 1].find(",\"" + std::string(r.words) + "\"," + r.code + ","), std::string::npos)
            << csv[i + 1];
        EXPECT_EQ(summary.results[i].device, address);
        EXPECT_EQ(summary.results[i].result.value_or(""), r.words);
        EXPECT_EQ(summary.results[i].code ? std::to_string(*summary.results[i].code) : "", r.code);
    }
    std::fclose(lines);
    std::fclose(events);
    std::filesystem::remove(report);
}
