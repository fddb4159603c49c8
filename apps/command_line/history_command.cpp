#include "apps/command_line/history_command.h"

#include <cstdio>

#include "apps/history/history_file.h"
#include "apps/history/history_query.h"
#include "net/address_utils.h"

namespace {

std::string historyPathOf(const CliOptions& o) { return o.history.empty() ? defaultHistoryPath() : o.history; }

}  // namespace

bool prepareHistory(const CliOptions& o, std::string* path, std::string* error) {
    path->clear();
    const bool changes = o.command == CliCommand::Upgrade || o.command == CliCommand::Recover;
    if (!changes || o.noHistory) return true;
    const std::string file = historyPathOf(o);
    if (file.empty()) {
        *error = "history: the system names no state folder for it: give --history FILE or --no-history";
        return false;
    }
    std::string why;
    if (!historyWritable(file, o.history.empty(), &why)) {
        *error = "history: cannot write " + file + ": " + why + " (--no-history keeps none)";
        return false;
    }
    *path = file;
    return true;
}

void recordRun(const ProgramProfile& profile, const std::string& path, const Run& run, const RunRequest& request,
               int code) {
    if (path.empty()) return;
    const UpgradeContext& c = run.context();
    const DeviceFacts facts = c.deviceFacts.get();
    HistoryRecord record = historyRecordNow(profile.programName, kProgramVersion);
    record.device = c.targetAddress ? dottedAddress(c.targetAddress) : request.device;
    record.serial = facts.serialNumber[0] ? facts.serialNumber : request.serial;
    record.mac = facts.macAddress;
    record.product = facts.productName;
    record.before = facts.softwareVersion;
    char after[sizeof facts.softwareVersion];
    c.versionAfter.copyTo(after, sizeof after);
    record.after = after;
    for (const RequestImage& image : request.images)
        if (std::string(image.image.sha256) == c.image.sha256) record.imageFile = image.file;
    record.imageSha256 = c.image.sha256;
    record.outcome = outcomeName(run.outcome());
    record.code = code;
    record.attempts = 1;
    std::string why;
    if (!appendHistory(path, record, &why))
        std::fprintf(stderr, "%s: history: cannot write %s: %s\n", profile.programName, path.c_str(), why.c_str());
}

int runHistoryCommand(const ProgramProfile& profile, const CliOptions& o) {
    const std::string path = historyPathOf(o);
    HistoryRead read;
    std::string why;
    if (path.empty() || !readHistory(path, &read, &why)) {
        std::fprintf(stderr, "%s: history: cannot read %s: %s\n", profile.programName,
                     path.empty() ? "(no state folder)" : path.c_str(), why.c_str());
        return exitCodeOf(RunOutcome::HistoryUnreadable);
    }
    for (int line : read.damagedLines)
        std::fprintf(stderr, "%s: history: %s line %d: %s, skipped\n", profile.programName, path.c_str(), line,
                     read.lastLineCut && line == read.damagedLines.back() ? "cut short" : "not a record");
    const std::vector<HistoryRecord> chosen = selectHistory(read.records, HistoryQuery{o.targets, o.since});
    std::fputs((o.json ? historyJson(chosen) : historyTable(chosen)).c_str(), stdout);
    return exitCodeOf(RunOutcome::Success);
}
