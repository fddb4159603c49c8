// Drives the terminal front end for the tests: sets up a run from its
// command line, opens the dialogs and windows named there in turn, and
// prints the run's fields after each dialog.
//
//   terminal_driver flash|stage [--local a,b,..] [--phone] [--stage n]
//       [--mode n] [--model name] [--target text] [--facts] [--seed n]
//       actions...
//   actions: dialog <id> | titles <id> <title>... -- | wait <id>
//            | box <text> | end <id> | idle
// Dialogs and windows are named by their template ids; idle waits with
// nothing on screen until Ctrl+C.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "apps/profiles/program_profiles.h"
#include "base/random.h"
#include "base/text.h"
#include "core/questions.h"
#include "core/run.h"
#include "net/address_utils.h"
#include "platform/platform_clock.h"
#include "ui/native_front_end.h"

namespace {
const unsigned kLongWaitMs = 30000;

std::string dotted(uint32_t a) {
    char text[16];
    formatText(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

void printRun(const Run& run) {
    const UpgradeContext& c = run.context();
    const DigestChallenge digest = c.digest.get();
    char name[128];
    c.firmwareFileName.copyTo(name, sizeof name);
    std::printf(
        "mode=%d\ntargetText=%s\ntargetAddress=%s\nlocalAddress=%s\nfirmwareFileName=%s\n"
        "recoverySerial=%s\nuserName=%s\npassword=%s\n",
        static_cast<int>(c.mode), c.targetText, dotted(c.targetAddress).c_str(), dotted(c.localAddress).c_str(), name,
        c.recoverySerial, digest.userName, digest.password);
    std::fflush(stdout);
}

void setLocalAddresses(UpgradeContext& c, const char* list) {
    char copy[256];
    copyText(copy, sizeof copy, list);
    int count = 0;
    for (char* piece = std::strtok(copy, ","); piece && count < 8; piece = std::strtok(nullptr, ","))
        parseDottedQuad(piece, &c.localAddresses[count++]);
    c.localAddress = c.localAddresses[0];
}

void fillFacts(UpgradeContext& c) {
    DeviceFacts facts{};
    copyText(facts.serialNumber, sizeof facts.serialNumber, "SN0042");
    copyText(facts.macAddress, sizeof facts.macAddress, "021A2B3C4D5E");
    copyText(facts.softwareVersion, sizeof facts.softwareVersion, "3.1.4");
    copyText(facts.hardwareVersion, sizeof facts.hardwareVersion, "HW2");
    copyText(facts.productName, sizeof facts.productName, "ORB-A020");
    c.deviceFacts.set(facts);
}

// A dialog as the run asks it; 1 when accepted.
int ask(Run& run, WizardWindows& windows, int id) {
    UpgradeContext& c = run.context();
    switch (id) {
        case 141: return askMode(run);
        case 142: return askSerial(run);
        case 139: return askWarning(run);
        case 104: {
            CredentialsAnswer answer;
            if (!run.frontEnd().askCredentials(run, &answer)) return 0;
            takeCredentials(run, answer);
            return 1;
        }
        case 103:
        case 304: return askConfirmation(run);
        case 111:
        case 113: {
            DialogAnswers answers;
            return windows.showDialog(run, id == 113 ? Dialog::SuccessVariant : Dialog::Success, &answers);
        }
        default:
            c.isPhone = c.isPhone || id == 168 || id == 305;
            return askAddress(run);
    }
}

ProgressKind kindOf(int id) {
    return id == 110 ? ProgressKind::Upload : id == 114 ? ProgressKind::Waiting : ProgressKind::Connecting;
}

ViewKind viewOf(int id) { return id == 110 ? ViewKind::Upload : id == 114 ? ViewKind::AwaitFetch : ViewKind::Connecting; }

// As the run does: the view is polled until Cancel, which ends the run.
void waitInView(Run& run, int id) {
    OpenView view(run, viewOf(id));
    for (unsigned i = 0; i < kLongWaitMs; ++i) {
        view.step(RunStep{.kind = StepKind::Tick, .done = i});
        if (view.cancelled()) {
            view.close();
            bool search = run.profile().kind == ProgramKind::Flash && run.context().mode == RunMode::Recovery;
            run.stop(id == 105 && search ? RunOutcome::SearchCancelled : RunOutcome::UserAbort);
        }
        sleepMillis(1);
    }
    std::printf("window %d not cancelled\n", id);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const ProgramProfile& profile = std::strcmp(argv[1], "stage") == 0 ? kOrbstageProfile : kOrbflashProfile;
    // As the entry does: the console outlives the windows and the run.
    Console console;
    std::unique_ptr<WizardWindows> windows = makeNativeWindows(nullptr, profile, console);
    WizardFrontEnd frontEnd(*windows);
    Run run(profile, frontEnd);
    UpgradeContext& c = run.context();
    c.mode = RunMode::Upgrade;
    copyText(c.modelName, sizeof c.modelName, "ORB-A020");
    seedRandom(1);
    int i = 2;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        std::string option = argv[i];
        if (option == "--phone") {
            c.isPhone = true;
            continue;
        }
        if (option == "--facts") {
            fillFacts(c);
            continue;
        }
        if (i + 1 >= argc) return 2;
        const char* value = argv[++i];
        if (option == "--local")
            setLocalAddresses(c, value);
        else if (option == "--stage")
            c.stage.store(static_cast<Stage>(std::atoi(value)));
        else if (option == "--mode")
            c.mode = static_cast<RunMode>(std::atoi(value));
        else if (option == "--model")
            copyText(c.modelName, sizeof c.modelName, value);
        else if (option == "--target")
            copyText(c.targetText, sizeof c.targetText, value);
        else if (option == "--seed")
            seedRandom(static_cast<unsigned>(std::atoi(value)));
        else
            return 2;
    }
    return runUntilStopped(run, [&](Run& r) {
        while (i < argc) {
            std::string action = argv[i++];
            if (action == "dialog" && i < argc) {
                int id = std::atoi(argv[i++]);
                int result = ask(r, *windows, id);
                std::printf("dialog %d result %d\n", id, result);
                printRun(r);
            } else if (action == "titles" && i < argc) {
                int id = std::atoi(argv[i++]);
                ProgressView* view = windows->open(kindOf(id), nullptr);
                for (unsigned step = 0; i < argc && std::strcmp(argv[i], "--") != 0; ++i, ++step) {
                    windows->setTitle(view, argv[i]);
                    windows->setPosition(view, step);
                    windows->poll(view);
                }
                if (i < argc) ++i;
                windows->close(view);
                std::printf("window %d done\n", id);
            } else if (action == "wait" && i < argc) {
                waitInView(r, std::atoi(argv[i++]));
            } else if (action == "end" && i < argc) {
                // The run ends with a window up, as a run may end.
                ProgressView* view = windows->open(kindOf(std::atoi(argv[i++])), nullptr);
                windows->poll(view);
                r.stop(RunOutcome::Success);
            } else if (action == "idle") {
                std::printf("idle\n");
                std::fflush(stdout);
                for (unsigned waited = 0; !windows->closed() && waited < kLongWaitMs; ++waited) sleepMillis(1);
            } else if (action == "box" && i < argc) {
                windows->showErrorBox(argv[i++]);
                std::printf("box done\n");
            } else {
                std::fprintf(stderr, "unknown action %s\n", action.c_str());
                std::exit(2);
            }
            std::fflush(stdout);
        }
        r.stop(RunOutcome::Success);
    });
}
