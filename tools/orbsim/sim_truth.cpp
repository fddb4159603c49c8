#include "tools/orbsim/sim_truth.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "tools/orbsim/sim_log.h"

namespace {

std::string codePoints(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | byte >> 6);
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

}  // namespace

void notePage(SimTruth* truth, PageShown shown, const std::string& version) {
    if (shown == PageShown::Other) ++truth->otherPages;
    if (shown != PageShown::Own) return;
    ++truth->pagesSinceUp;
    if (truth->triggers == 0) ++truth->pagesBefore;
    std::vector<std::string>& after = truth->shownAfter;
    if (truth->triggers > 0 && std::find(after.begin(), after.end(), version) == after.end()) after.push_back(version);
}

std::string truthRecord(const SimOptions& o, const SimTruth& t, const std::string& versionNow, bool up) {
    using json = nlohmann::ordered_json;
    json options = json::array();
    for (const std::string& word : o.given) options.push_back(codePoints(word));
    json shown = json::array();
    for (const std::string& version : t.shownAfter) shown.push_back(codePoints(version));
    json downs = t.downsMs;
    if (t.down) {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t.downSince);
        downs.push_back(static_cast<unsigned>(ms.count()));
    }
    json takenOver = nullptr;
    if (t.takenOver) takenOver = json{{"serial", codePoints(o.impostorSerial)}, {"mac", o.impostorMac}};
    json record = {
        {"address", simDotted(o.address)},
        {"serial", codePoints(o.serialNumber)},
        {"mac", o.macAddress},
        {"product", codePoints(o.productName)},
        {"options", options},
        {"version_before", codePoints(o.softwareVersion)},
        {"version", codePoints(versionNow)},
        {"triggers", t.triggers},
        {"fetches", t.fetches},
        {"bytes", t.bytes},
        {"sha256", t.sha256},
        {"whole", t.whole},
        {"tftp_error", t.tftpError},
        {"restarts", downs.size()},
        {"downs_ms", downs},
        {"up", up},
        // Came back: one of its own pages with a version since its last down.
        {"back", !t.downsMs.empty() && !t.down && t.pagesSinceUp > 0},
        {"pages_before", t.pagesBefore},
        {"shown_after", shown},
        {"taken_over_by", takenOver},
        {"other_pages", t.otherPages},
        {"auth",
         {{"guarded", !o.user.empty() || o.always401},
          {"accepted", t.accepted},
          {"asked", t.asked},
          {"refused", t.refused},
          {"renewed", t.renewed},
          {"faulty", t.faulty}}},
    };
    return record.dump(-1, ' ', true) + "\n";
}

bool appendRecords(const std::string& path, const std::vector<std::string>& lines, std::string* why) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (const std::string& line : lines) {
        ssize_t wrote = write(fd, line.data(), line.size());
        if (wrote != static_cast<ssize_t>(line.size())) {
            *why = wrote < 0 ? std::strerror(errno) : "written short";
            ok = false;
            break;
        }
    }
    if (close(fd) != 0 && ok) {
        *why = std::strerror(errno);
        ok = false;
    }
    return ok;
}
