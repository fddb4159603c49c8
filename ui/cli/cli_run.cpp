#include "ui/cli/cli_run.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/debug_trace.h"
#include "core/device_check.h"
#include "core/firmware_image.h"
#include "core/program_profile.h"
#include "core/run_end.h"
#include "core/run_options.h"
#include "core/start_up.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "platform/local_addresses.h"
#include "platform/platform_console.h"
#include "platform/platform_process.h"
#include "platform/platform_socket.h"
#include "ui/cli/cli_fleet.h"
#include "ui/cli/cli_front_end.h"
#include "ui/cli/cli_output.h"
#include "ui/dialog_logic.h"

namespace {

const int kUsageStatus = 2;

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", gProgram->programName, message.c_str(), gProgram->programName);
    return kUsageStatus;
}

[[noreturn]] void endWithUsageError(const std::string& message) { endProcess(usageError(message)); }

bool readPasswordFile(const std::string& path, std::string* password) {
    // A folder opens as a stream too, and would read as an empty password.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::getline(file, *password);
    if (!password->empty() && password->back() == '\r') password->pop_back();
    return true;
}

int listAddresses() {
    if (socketStartup(gProgram->socketVersionMajor, gProgram->socketVersionMinor) != 0) return 1;
    char host[128];
    uint32_t addresses[kMaxLocalAddresses];
    listLocalAddresses(host, sizeof host, addresses);
    for (uint32_t a : addresses)
        if (a) std::printf("%u.%u.%u.%u\n", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return 0;
}

int printVersion() {
    FirmwareImage image = loadFirmwareImage(gProgram->imageResourceId);
    std::printf("%s 1.0.0, built-in image %s\n", gProgram->programName, image.data ? imageVersion(image) : "(none)");
    return 0;
}

// The local address as an entry of the start-up list, as the dialogs take it.
int localIndexOf(const std::string& typed) {
    if (typed.empty()) return gContext.localAddresses[0] ? 0 : -1;
    uint32_t wanted = 0;
    parseHostAddress(typed.c_str(), &wanted);
    for (int i = 0; i < kMaxLocalAddresses && gContext.localAddresses[i]; ++i)
        if (gContext.localAddresses[i] == wanted) return i;
    endWithUsageError("--local: " + typed + " is not an address of this PC (see --list-addresses)");
}

void loadImageOption(const std::string& path, FirmwareImage* image) {
    char error[512];
    if (!loadFirmwareImageFile(path.c_str(), image, error, sizeof error)) endRun(RunOutcome::ImageDamaged, error);
}

CliRun* gRun = nullptr;

void reportFinding(void*, Finding finding, const char* text) {
    static const char* const kWords[] = {"ok", "warning", "problem"};
    const char* word = kWords[static_cast<int>(finding)];
    if (finding == Finding::Problem)
        cliImportantLine("%s: %s", word, text);
    else
        cliLine("%s: %s", word, text);
    cliJson("{\"event\":\"finding\",\"device\":" + jsonString(gRun->device.c_str()) + ",\"level\":\"" + word +
            "\",\"text\":" + jsonString(text) + "}");
}

bool giveCredentials(void*) { return supplyCredentials(gRun); }

[[noreturn]] void runCheck(CliRun* run) {
    gRun = run;
    acceptAddressDialog(run->options.targets[0].c_str(), run->localIndex);
    RunOutcome outcome = checkDevice(CheckHooks{nullptr, reportFinding, giveCredentials});
    int code = cliExitCode(outcome);
    cliJson("{\"event\":\"result\",\"device\":" + jsonString(run->device.c_str()) +
            ",\"code\":" + std::to_string(code) + ",\"outcome\":\"" + outcomeName(outcome) + "\"}");
    if (code == 0)
        cliLine("nothing stands in the way of an upgrade");
    else
        cliImportantLine("%s: %s", run->device.c_str(),
                         outcomeMessage(outcome) ? outcomeMessage(outcome) : outcomeName(outcome));
    endProcess(code);
}

}  // namespace

int runCommandLine(int argc, char** argv, ProgramFlow flow) {
    consoleAttach();
    static CliRun run;
    std::string error;
    if (!parseCommandLine(*gProgram, argc, argv, &run.options, &error)) return usageError(error);
    const CliOptions& o = run.options;
    switch (o.command) {
        case CliCommand::Help: std::fputs(commandLineHelp(*gProgram).c_str(), stdout); return 0;
        case CliCommand::Version: return printVersion();
        case CliCommand::ListAddresses: return listAddresses();
        default: break;
    }
    if (!o.passwordFile.empty() && !readPasswordFile(o.passwordFile, &run.password))
        return usageError("--password-file: cannot read " + o.passwordFile);
    run.havePassword = !o.passwordFile.empty();
    if (!run.havePassword) {
        if (const char* fromEnvironment = std::getenv("ORB_PASSWORD")) {
            run.password = fromEnvironment;
            run.havePassword = true;
        }
    }
    const bool fleet = isFleet(o);
    const bool confirms = o.command == CliCommand::Upgrade || o.command == CliCommand::Recover;
    if (confirms && !o.yes && (fleet || !consoleInputIsTerminal()))
        return usageError("no terminal to confirm the upgrade on: give --yes");
    if (fleet) return runFleet(run);

    run.device = o.targets[0];
    setCliOutputMode(CliOutputMode{gProgram->programName, o.quiet, o.json, consoleErrorIsTerminal()});
    setTraceOn(o.verbose);
    gRunOptions.fetchTimeoutMs = o.fetchTimeoutSeconds * 1000;
    gRunOptions.skipCurrent = !o.force;
    useCommandLineFrontEnd(&run);
    consoleCatchInterrupt();

    startUp();
    run.localIndex = localIndexOf(o.local);
    if (!o.image.empty()) {
        loadImageOption(o.image, &gContext.image);
        lookupModel(gContext.image.header);
    }
    if (!o.transitionImage.empty()) {
        loadImageOption(o.transitionImage, &gContext.transitionImage);
        gContext.stage.store(Stage::Transition);
    }
    cliJson("{\"event\":\"start\",\"device\":" + jsonString(run.device.c_str()) + ",\"program\":\"" +
            gProgram->programName + "\",\"model\":" + jsonString(gContext.modelName) + ",\"image\":" +
            jsonString(imageVersion(gContext.image)) + ",\"size\":" + std::to_string(gContext.image.size) + "}");
    if (o.command == CliCommand::Check) runCheck(&run);
    flow();
    return 0;
}
