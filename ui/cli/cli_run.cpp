#include "ui/cli/cli_run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/debug_trace.h"
#include "base/file_kind.h"
#include "base/firmware_image.h"
#include "base/text.h"
#include "core/device_check.h"
#include "core/questions.h"
#include "core/start_up.h"
#include "net/recovery/recovery_discovery.h"
#include "platform/local_addresses.h"
#include "platform/platform_console.h"
#include "platform/platform_socket.h"
#include "ui/cli/cli_options.h"

namespace {

int listAddresses(const ProgramProfile& profile) {
    if (socketStartup(profile.socketVersionMajor, profile.socketVersionMinor) != 0)
        return exitCodeOf(RunOutcome::SocketsUnavailable);
    char host[128];
    uint32_t addresses[kMaxLocalAddresses];
    listLocalAddresses(host, sizeof host, addresses);
    for (uint32_t a : addresses)
        if (a) std::printf("%s\n", dottedAddress(a).c_str());
    return exitCodeOf(RunOutcome::Success);
}

int printVersion(const ProgramProfile& profile) {
    FirmwareImage image = loadFirmwareImage(profile.imageResourceId);
    std::printf("%s 1.0.0, built-in image %s\n", profile.programName, image.data ? imageVersion(image) : "(none)");
    return exitCodeOf(RunOutcome::Success);
}

// An --image file, or in a fleet's child the parent's pinned copy of it.
void loadImageOption(Run& run, const std::string& path, const std::string& pin, FirmwareImage* image) {
    char error[1024];
    std::string sha256, copy;
    const bool loaded = splitImagePin(pin, &sha256, &copy)
                            ? mapFirmwareImageCopy(copy.c_str(), path.c_str(), sha256.c_str(), image, error, sizeof error)
                            : loadFirmwareImageFile(path.c_str(), image, error, sizeof error);
    if (!loaded) run.stop(RunOutcome::ImageDamaged, error);
}

// Each image the run may serve, as the start event and check describe it.
struct ImageEntry {
    const FirmwareImage* image;
    std::string file;  // "" for a built-in image
    const char* role;  // "image" or "transition"
};

RunEvent imageEvent(const Run& run, const ImageEntry& entry) {
    char model[64];
    modelNameOf(run.profile(), entry.image->header, model, sizeof model, nullptr);
    RunEvent e;
    e.role = entry.role;
    e.imageFile = entry.file;
    e.model = model;
    e.image = imageVersion(*entry.image);
    e.size = entry.image->size;
    e.imageSha256 = entry.image->sha256;
    return e;
}

void imageFinding(Run& run, CliFrontEnd& frontEnd, const ImageEntry& entry) {
    const RunEvent e = imageEvent(run, entry);
    const std::string text = std::string(std::strcmp(entry.role, "image") == 0 ? "image: " : "transition image: ") +
                             (entry.file.empty() ? "built in" : shownText(entry.file)) + ", " + *e.image + " for " +
                             *e.model + ", " + std::to_string(*e.size) + " bytes, SHA-256 " + *e.imageSha256;
    frontEnd.finding(run, Finding::Ok, text.c_str());
}

}  // namespace

bool chooseLocalAddress(const ProgramProfile& profile, const std::string& typed, uint32_t toward, uint32_t* chosen,
                        std::string* why) {
    uint32_t addresses[kMaxLocalAddresses] = {};
    char host[128];
    if (socketStartup(profile.socketVersionMajor, profile.socketVersionMinor) == 0)
        listLocalAddresses(host, sizeof host, addresses);
    if (!typed.empty()) {
        uint32_t wanted = 0;
        parseHostAddress(typed.c_str(), &wanted);
        for (int i = 0; i < kMaxLocalAddresses && addresses[i]; ++i) {
            if (addresses[i] == wanted) {
                *chosen = wanted;
                *why = "given with --local";
                return true;
            }
        }
        return false;
    }
    if (localAddressToward(toward, chosen)) {
        *why = "the address this PC's routes use toward " + dottedAddress(toward);
        return true;
    }
    *chosen = addresses[0];
    *why = addresses[0] ? "the first of this PC's addresses: no route toward " + dottedAddress(toward)
                        : "any: this PC lists no address";
    return true;
}

bool fileOrNothing(const std::string& path, std::string* why) {
    const char* what = notRegularFile(path.c_str());
    if (what) *why = path + " is " + what + ", not a file";
    return !what;
}

bool readPasswordFile(const std::string& path, std::string* password, std::string* why) {
    if (!fileOrNothing(path, why)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *why = "cannot read " + path;
        return false;
    }
    std::getline(file, *password);
    skipByteOrderMark(password);
    if (!password->empty() && password->back() == '\r') password->pop_back();
    return credentialFits(*password, why);
}

void skipByteOrderMark(std::string* line) {
    if (line->compare(0, 3, "\xEF\xBB\xBF") == 0) line->erase(0, 3);
}

bool credentialFits(const std::string& text, std::string* why) {
    if (text.size() > kCredentialCharacters) {
        *why = "longer than the " + std::to_string(kCredentialCharacters) + " characters a device takes";
        return false;
    }
    // A user name goes raw into the Authorization line, which is then never
    // written, and the device would seem to refuse; no device field takes one.
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            *why = "holds a control character";
            return false;
        }
    }
    return true;
}

int usageError(const ProgramProfile& profile, const std::string& message) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", profile.programName, message.c_str(), profile.programName);
    return exitCodeOf(RunOutcome::UsageError);
}

bool runInformationCommand(const ProgramProfile& profile, const CliOptions& options, int* code) {
    switch (options.command) {
        case CliCommand::Help:
            std::fputs(commandLineHelp(profile).c_str(), stdout);
            *code = exitCodeOf(RunOutcome::Success);
            return true;
        case CliCommand::Version: *code = printVersion(profile); return true;
        case CliCommand::ListAddresses: *code = listAddresses(profile); return true;
        default: return false;
    }
}

bool prepareRequest(const ProgramProfile&, const Console& console, CliRequest* request, std::string* error) {
    const CliOptions& o = request->options;
    std::vector<std::pair<const char*, std::string>> files = {{"--devices", o.devicesFile}};
    // A pinned image is served from the parent's copy: its file may have changed since.
    if (o.transitionImagePin.empty()) files.push_back({"--transition-image", o.transitionImage});
    if (o.imagePins.empty())
        for (const std::string& image : o.images) files.push_back({"--image", image});
    std::string why;
    for (const auto& [option, path] : files) {
        if (!fileOrNothing(path, &why)) {
            *error = std::string(option) + ": " + why;
            return false;
        }
    }
    if (!credentialFits(o.user, &why)) {
        *error = "--user: " + why;
        return false;
    }
    if (!o.passwordFile.empty() && !readPasswordFile(o.passwordFile, &request->password, &why)) {
        *error = "--password-file: " + why;
        return false;
    }
    request->havePassword = !o.passwordFile.empty();
    if (!request->havePassword) {
        if (const char* fromEnvironment = std::getenv("ORB_PASSWORD")) {
            request->password = fromEnvironment;
            request->havePassword = true;
            if (!credentialFits(request->password, &why)) {
                *error = "ORB_PASSWORD: " + why;
                return false;
            }
        }
    }
    const bool confirms = o.command == CliCommand::Upgrade || o.command == CliCommand::Recover;
    if (confirms && !o.yes && (isFleet(o) || !console.inputIsTerminal())) {
        *error = "no terminal to confirm the upgrade on: give --yes";
        return false;
    }
    return true;
}

int runOneDevice(const ProgramProfile& profile, Console& console, CliRequest& request, void (*flow)(Run&),
                 Stage initialStage) {
    const CliOptions& o = request.options;
    request.device = o.targets[0];
    uint32_t toward = kRecoveryGroup;
    if (o.command != CliCommand::Recover) parseHostAddress(o.targets[0].c_str(), &toward);
    if (!chooseLocalAddress(profile, o.local, toward, &request.localAddress, &request.localWhy))
        return usageError(profile, "--local: " + o.local + " is not an address of this PC (see --list-addresses)");

    CliOutput out(CliOutputMode{profile.programName, o.quiet, o.json, console.errorIsTerminal(), &console});
    setTraceOn(o.verbose);
    RunOptions options;
    options.fetchTimeoutMs = o.fetchTimeoutSeconds * 1000;
    options.skipCurrent = !o.force;
    options.checkModel = true;
    options.restartWait = o.restartWait;
    options.restartTimeoutMs = o.restartTimeoutSeconds * 1000;
    options.silentConnectAfterUpload = true;
    options.phoneMustChange = true;
    options.verifyDeviceAfterUpload = true;
    options.nameHttpErrors = true;
    options.unusableChallengeIsAnswer = true;
    options.localHttpPort = 0;
    CliFrontEnd frontEnd(request, out, console);
    console.catchInterrupts(InterruptCatching::Always);
    Run run(profile, frontEnd, options);
    run.context().stage.store(initialStage);
    return runUntilStopped(run, [&](Run& r) {
        startUp(r);
        UpgradeContext& c = r.context();
        std::vector<FirmwareImage> given(o.images.size());
        for (size_t i = 0; i < o.images.size(); ++i)
            loadImageOption(r, o.images[i], i < o.imagePins.size() ? o.imagePins[i] : "", &given[i]);
        if (given.empty()) {
            computeImageDigest(&c.image);
        } else {
            // One image is the run's; of several, the device's facts choose.
            c.image = given[0];
            lookupModel(r, c.image.header);
            if (given.size() > 1) c.imageChoices = given;
        }
        if (!o.transitionImage.empty()) {
            loadImageOption(r, o.transitionImage, o.transitionImagePin, &c.transitionImage);
            c.stage.store(Stage::Transition);
        } else {
            computeImageDigest(&c.transitionImage);
        }
        std::vector<ImageEntry> entries;
        for (size_t i = 0; i < given.size(); ++i) entries.push_back({&given[i], o.images[i], "image"});
        if (given.empty()) entries.push_back({&c.image, "", "image"});
        if (c.transitionImage.data) entries.push_back({&c.transitionImage, o.transitionImage, "transition"});
        RunEvent start = frontEnd.event("start");
        start.program = profile.programName;
        start.model = c.modelName;
        start.image = imageVersion(c.image);
        start.size = c.image.size;
        start.imageSha256 = c.image.sha256;
        for (const ImageEntry& entry : entries) start.images.push_back(imageEvent(r, entry));
        out.event(start);
        if (o.command == CliCommand::Check) {
            // Check stands in for the address dialog, without a file name drawn.
            copyText(c.targetText, sizeof c.targetText, o.targets[0].c_str());
            parseHostAddress(o.targets[0].c_str(), &c.targetAddress);
            c.localAddress = request.localAddress;
            for (const ImageEntry& entry : entries) imageFinding(r, frontEnd, entry);
            const std::string chosen = "local address: " + dottedAddress(c.localAddress) + ", " + request.localWhy;
            frontEnd.finding(r, Finding::Ok, chosen.c_str());
            r.stop(checkDevice(r));
        }
        flow(r);
    });
}
