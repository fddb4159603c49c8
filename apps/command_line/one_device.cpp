#include "apps/command_line/one_device.h"

#include "apps/command_line/history_command.h"

#include <cstdio>
#include <cstring>

#include "base/debug_trace.h"
#include "base/firmware_image.h"
#include "base/text.h"
#include "core/device_check.h"
#include "core/questions.h"
#include "core/start_up.h"
#include "net/address_utils.h"
#include "platform/local_addresses.h"
#include "platform/platform_console.h"
#include "platform/platform_socket.h"
#include "ui/cli/cli_front_end.h"

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
    std::printf("%s %s, built-in image %s\n", profile.programName, kProgramVersion, image.data ? imageVersion(image) : "(none)");
    return exitCodeOf(RunOutcome::Success);
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

int runOneDevice(const ProgramProfile& profile, Console& console, const CliOptions& o, const RunRequest& request,
                 void (*flow)(Run&), Stage initialStage, const std::string& history) {
    ProgramOutput out(OutputMode{profile.programName, o.quiet, o.json, console.errorIsTerminal(), &console});
    setTraceOn(o.verbose);
    CliFrontEnd frontEnd(request, out, console);
    console.catchInterrupts(InterruptCatching::Always);
    Run run(profile, frontEnd, request);
    run.context().stage.store(initialStage);
    const int code = runUntilStopped(run, [&](Run& r) {
        startUp(r);
        UpgradeContext& c = r.context();
        if (!request.imageError.empty()) r.stop(RunOutcome::ImageDamaged, request.imageError.c_str());
        const std::vector<RequestImage>& given = request.images;
        if (given.empty()) {
            computeImageDigest(&c.image);
        } else {
            // One image is the run's; of several, the device's facts choose.
            c.image = given[0].image;
            lookupModel(r, c.image.header);
            if (given.size() > 1)
                for (const RequestImage& image : given) c.imageChoices.push_back(image.image);
        }
        if (request.transitionImage) {
            c.transitionImage = request.transitionImage->image;
            c.stage.store(Stage::Transition);
        } else {
            computeImageDigest(&c.transitionImage);
        }
        std::vector<ImageEntry> entries;
        for (const RequestImage& image : given) entries.push_back({&image.image, image.file, "image"});
        if (given.empty()) entries.push_back({&c.image, "", "image"});
        if (c.transitionImage.data)
            entries.push_back({&c.transitionImage, request.transitionImage ? request.transitionImage->file : "",
                               "transition"});
        RunEvent start = frontEnd.event("start");
        start.program = profile.programName;
        start.model = c.modelName;
        start.image = imageVersion(c.image);
        start.size = c.image.size;
        start.imageSha256 = c.image.sha256;
        for (const ImageEntry& entry : entries) start.images.push_back(imageEvent(r, entry));
        frontEnd.send(start);
        if (request.check) {
            // Check stands in for the address dialog, without a file name drawn.
            copyText(c.targetText, sizeof c.targetText, request.device.c_str());
            c.targetAddress = request.target;
            c.localAddress = request.localAddress;
            for (const ImageEntry& entry : entries) imageFinding(r, frontEnd, entry);
            const std::string chosen = "local address: " + dottedAddress(c.localAddress) + ", " + request.localWhy;
            frontEnd.finding(r, Finding::Ok, chosen.c_str());
            r.stop(checkDevice(r));
        }
        flow(r);
    });
    recordRun(profile, history, run, request, code);
    return code;
}
