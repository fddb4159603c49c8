// Drives the terminal front end for the tests: sets up a run from its
// command line, opens the dialogs and windows named there in turn, and
// prints the run's fields after each dialog.
//
//   terminal_driver flash|stage [--local a,b,..] [--phone] [--stage n]
//       [--mode n] [--model name] [--target text] [--facts] [--seed n]
//       actions...
//   actions: dialog <id> | titles <id> <title>... -- | wait <id>
//            | box <text> | end <id>
// Dialogs and windows are named by their template ids.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/program_profile.h"
#include "core/random.h"
#include "core/request_runner.h"
#include "core/run_end.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/address_utils.h"
#include "platform/platform_clock.h"
#include "platform/platform_process.h"
#include "ui/native_front_end.h"
#include "ui/progress.h"
#include "ui/wizard.h"

namespace {
const unsigned kLongWaitMs = 30000;

std::string dotted(uint32_t a) {
    char text[16];
    formatText(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

void printRun() {
    char name[128];
    gContext.firmwareFileName.copyTo(name, sizeof name);
    std::printf(
        "mode=%d\ntargetText=%s\ntargetAddress=%s\nlocalAddress=%s\nfirmwareFileName=%s\n"
        "recoverySerial=%s\nuserName=%s\npassword=%s\n",
        static_cast<int>(gContext.mode), gContext.targetText, dotted(gContext.targetAddress).c_str(),
        dotted(gContext.localAddress).c_str(), name, gContext.recoverySerial, gContext.digest.userName,
        gContext.digest.password);
    std::fflush(stdout);
}

void setLocalAddresses(const char* list) {
    char copy[256];
    copyText(copy, sizeof copy, list);
    int count = 0;
    for (char* piece = std::strtok(copy, ","); piece && count < 8; piece = std::strtok(nullptr, ","))
        parseDottedQuad(piece, &gContext.localAddresses[count++]);
    gContext.localAddress = gContext.localAddresses[0];
}

void fillFacts() {
    DeviceFacts& facts = gContext.deviceFacts;
    copyText(facts.serialNumber, sizeof facts.serialNumber, "SN0042");
    copyText(facts.macAddress, sizeof facts.macAddress, "021A2B3C4D5E");
    copyText(facts.softwareVersion, sizeof facts.softwareVersion, "3.1.4");
    copyText(facts.hardwareVersion, sizeof facts.hardwareVersion, "HW2");
    copyText(facts.productName, sizeof facts.productName, "ORB-A020");
}

Dialog dialogOf(int id) {
    switch (id) {
        case 141: return Dialog::Welcome;
        case 142: return Dialog::Recovery;
        case 139: return Dialog::Warning;
        case 168:
        case 305: return Dialog::PhoneAddress;
        case 104: return Dialog::Password;
        case 103: return Dialog::Confirm;
        case 304: return Dialog::StagedConfirm;
        case 111: return Dialog::Success;
        case 113: return Dialog::SuccessVariant;
        default: return Dialog::Address;
    }
}

ProgressKind kindOf(int id) {
    return id == 110 ? ProgressKind::Upload : id == 114 ? ProgressKind::Waiting : ProgressKind::Connecting;
}

// As a driver does: the window is polled until Cancel, which ends the run.
void waitInWindow(int id) {
    char title[64];
    connectingTitle(title, sizeof title);
    ProgressView* view = openProgress(kindOf(id), id == 105 ? title : nullptr);
    setProgressRange(view, 1000);
    for (unsigned i = 0; i < kLongWaitMs; ++i) {
        setProgressPosition(view, i % 1000);
        if (progressCancelled(view)) {
            closeProgress(view);
            if (id == 105) cancelConnecting();
            endRun(RunOutcome::UserAbort);
        }
        sleepMillis(1);
    }
    closeProgress(view);
    std::printf("window %d not cancelled\n", id);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    gProgram = std::strcmp(argv[1], "stage") == 0 ? &kOrbstageProfile : &kOrbflashProfile;
    useNativeFrontEnd();
    resetUpgradeContext();
    gContext.mode = RunMode::Upgrade;
    copyText(gContext.modelName, sizeof gContext.modelName, "ORB-A020");
    seedRandom(1);
    int i = 2;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        std::string option = argv[i];
        if (option == "--phone") {
            gContext.isPhone = true;
            continue;
        }
        if (option == "--facts") {
            fillFacts();
            continue;
        }
        if (i + 1 >= argc) return 2;
        const char* value = argv[++i];
        if (option == "--local")
            setLocalAddresses(value);
        else if (option == "--stage")
            gContext.stage.store(static_cast<Stage>(std::atoi(value)));
        else if (option == "--mode")
            gContext.mode = static_cast<RunMode>(std::atoi(value));
        else if (option == "--model")
            copyText(gContext.modelName, sizeof gContext.modelName, value);
        else if (option == "--target")
            copyText(gContext.targetText, sizeof gContext.targetText, value);
        else if (option == "--seed")
            seedRandom(static_cast<unsigned>(std::atoi(value)));
        else
            return 2;
    }
    while (i < argc) {
        std::string action = argv[i++];
        if (action == "dialog" && i < argc) {
            int id = std::atoi(argv[i++]);
            int result = showDialog(dialogOf(id));
            std::printf("dialog %d result %d\n", id, result);
            printRun();
        } else if (action == "titles" && i < argc) {
            int id = std::atoi(argv[i++]);
            ProgressView* view = openProgress(kindOf(id));
            for (unsigned step = 0; i < argc && std::strcmp(argv[i], "--") != 0; ++i, ++step) {
                setProgressTitle(view, argv[i]);
                setProgressPosition(view, step);
                progressCancelled(view);
            }
            if (i < argc) ++i;
            closeProgress(view);
            std::printf("window %d done\n", id);
        } else if (action == "wait" && i < argc) {
            waitInWindow(std::atoi(argv[i++]));
        } else if (action == "end" && i < argc) {
            // The process ends with a window up, as the listener ends a run.
            ProgressView* view = openProgress(kindOf(std::atoi(argv[i++])));
            progressCancelled(view);
            endProcess(0);
        } else if (action == "box" && i < argc) {
            ShowErrorBox(argv[i++]);
            std::printf("box done\n");
        } else {
            std::fprintf(stderr, "unknown action %s\n", action.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}
