#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "apps/fleet/fleet_device.h"
#include "base/text.h"
#include "core/run_outcome.h"
#include "platform/platform_file.h"
#include "apps/command_line/cli_options.h"
#include "apps/command_line/command_request.h"
#include "apps/command_line/one_device.h"
#include "net/address_utils.h"

namespace {

// A device as listed: where, and how it was spelt there.
struct Listing {
    std::string where;  // "FILE:LINE: ", or "" for an argument
    std::string text;
};

void complain(const ProgramProfile& profile, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", profile.programName, text.c_str());
}

void addDevice(uint32_t address, const std::string& user, const std::string& passwordFile,
               std::vector<FleetDevice>* devices) {
    FleetDevice device;
    device.address = dottedAddress(address);
    device.user = user;
    device.passwordFile = passwordFile;
    devices->push_back(device);
}

// ADDRESS [USER [PASSWORD-FILE]] per line; '#' starts a comment. Every bad
// line is reported, with its number.
bool readDevicesFile(const ProgramProfile& profile, const CliOptions& o, std::vector<FleetDevice>* devices,
                     std::vector<Listing>* listings) {
    const std::string& path = o.devicesFile;
    std::ifstream file(path);
    if (!file) {
        complain(profile, "--devices: cannot read " + path);
        return false;
    }
    bool good = true;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (number == 1) skipByteOrderMark(&line);
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        if (fields.empty()) continue;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        uint32_t address = 0;
        std::string password, why;
        if (fields.size() > 3)
            why = "more than ADDRESS [USER [PASSWORD-FILE]]";
        else if (!parseHostAddress(fields[0].c_str(), &address))
            why = "not the address of a host: '" + fields[0] + "'";
        else if (fields.size() == 3 && !readPasswordFile(fields[2], &password, &why))
            why = "the password file: " + why;
        else if (fields.size() > 1 && !credentialFits(fields[1], &why))
            why = "the user name: " + why;
        if (!why.empty()) {
            complain(profile, where + why);
            good = false;
            continue;
        }
        addDevice(address, fields.size() > 1 ? fields[1] : o.user, fields.size() > 2 ? fields[2] : o.passwordFile,
                  devices);
        listings->push_back({where, fields[0]});
    }
    return good;
}

// Compared as addresses: 127.0.0.2 and 127.000.0.02 are one device.
bool noDuplicates(const ProgramProfile& profile, const std::vector<FleetDevice>& devices,
                  const std::vector<Listing>& listings) {
    bool good = true;
    std::map<std::string, size_t> first;
    for (size_t i = 0; i < devices.size(); ++i) {
        auto [at, added] = first.emplace(devices[i].address, i);
        if (added) continue;
        const Listing& earlier = listings[at->second];
        const std::string place = earlier.where.empty() ? "" : " (" + earlier.where.substr(0, earlier.where.size() - 2) + ")";
        complain(profile, listings[i].where + listings[i].text + ": listed already as " + earlier.text + place);
        good = false;
    }
    return good;
}

bool logsWritable(const ProgramProfile& profile, const std::string& folder, std::vector<FleetDevice>* devices) {
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(folder, error);
    std::string why;
    if (!std::filesystem::exists(status))
        why = folder + " does not exist";
    else if (!std::filesystem::is_directory(status))
        why = folder + " is not a folder";
    for (size_t i = 0; why.empty() && i < devices->size(); ++i) {
        FleetDevice& device = (*devices)[i];
        device.log = folder + "/" + device.address + ".log";
        char reason[256];
        if (!childLogOpenable(device.log.c_str(), reason, sizeof reason))
            why = "cannot write " + device.log + ": " + reason;
    }
    if (why.empty()) return true;
    usageError(profile, "--log-dir: " + why);
    return false;
}

// The report never takes the place of a file the run reads or logs to,
// however either is named: they are compared as files. Whether it can be
// written is found by writing it, as the run starts.
bool reportSafe(const ProgramProfile& profile, const CliOptions& o, const std::string& path,
                const std::vector<FleetDevice>& devices) {
    std::string why;
    if (fileIsLink(path.c_str())) {
        why = path + " is a symbolic link";
    } else if (fileOrNothing(path, &why)) {
        // What each file is to the run, and the file.
        std::vector<std::pair<std::string, std::string>> given = {{"--devices " + o.devicesFile, o.devicesFile},
                                                                  {"--password-file " + o.passwordFile, o.passwordFile}};
        for (const std::string& image : o.images) given.push_back({"--image " + image, image});
        // Two reports in one file would each destroy the other.
        for (const std::string& other : o.reports) {
            if (&other == &path) continue;
            if (other == path) why = path + " is given twice";
            given.push_back({"--report " + other, other});
        }
        given.push_back({"--transition-image " + o.transitionImage, o.transitionImage});
        for (const FleetDevice& d : devices) {
            given.push_back({"the password file of " + d.address + " (" + d.passwordFile + ")", d.passwordFile});
            given.push_back({"the log of " + d.address + " (" + d.log + ")", d.log});
        }
        for (const auto& [what, file] : given) {
            if (!why.empty()) break;
            if (file.empty() || !sameFile(path.c_str(), file.c_str())) continue;
            why = path + " is the same file as " + what;
            break;
        }
    }
    if (why.empty()) return true;
    usageError(profile, "--report: " + why);
    return false;
}

}  // namespace

bool planFleet(const ProgramProfile& profile, const CliOptions& o, std::vector<FleetDevice>* devices,
               int* exitStatus) {
    *exitStatus = exitCodeOf(RunOutcome::UsageError);
    std::vector<Listing> listings;
    for (size_t i = 0; i < o.targets.size(); ++i) {
        addDevice(o.addresses[i], o.user, o.passwordFile, devices);
        listings.push_back({"", o.targets[i]});
    }
    if (!o.devicesFile.empty() && !readDevicesFile(profile, o, devices, &listings)) return false;
    if (!noDuplicates(profile, *devices, listings)) return false;
    if (devices->empty()) {
        complain(profile, "--devices: no devices in " + o.devicesFile);
        return false;
    }
    // What every child would find alike is found once, here.
    uint32_t local = 0;
    std::string why;
    if (!o.local.empty() && !chooseLocalAddress(profile, o.local, 0, &local, &why)) {
        usageError(profile, "--local: " + o.local + " is not an address of this PC (see --list-addresses)");
        return false;
    }
    if (!o.logDir.empty() && !logsWritable(profile, o.logDir, devices)) return false;
    for (const std::string& report : o.reports)
        if (!reportSafe(profile, o, report, *devices)) return false;
    return true;
}
