// Drives the terminal front end for the tests: sets up a run from its
// command line, opens the dialogs and windows named there in turn, and
// prints the run's fields after each dialog.
//
//   terminal_driver flash|stage [--local a,b,..] [--phone] [--stage n]
//       [--mode n] [--model name] [--target text] [--facts] [--seed n]
//       actions...
//   actions: dialog <id> | titles <id> <title>... -- | wait <id>
//            | search ok|cancel|wait | box <text> | end <id>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "core/program_profile.h"
#include "core/random.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "net/http/address_utils.h"
#include "platform/platform_clock.h"
#include "platform/platform_process.h"
#include "ui/front_end.h"

// Runs end from whichever thread fails or cancels, without joining the
// others; under ThreadSanitizer that is by design, not a leak.
extern "C" const char* __tsan_default_options() { return "report_thread_leaks=0"; }

namespace {
const unsigned kLongWaitMs = 30000;

std::thread::id mainThread;
std::atomic<int> ticks{0};
std::atomic<bool> tickOffModalThread{false};

std::string dotted(uint32_t a) {
    char text[16];
    formatText(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

void printRun() {
    std::printf("mode=%d\ntargetText=%s\ntargetAddress=%s\nlocalAddress=%s\nfirmwareFileName=%s\n"
                "recoverySerial=%s\nuserName=%s\npassword=%s\n",
                static_cast<int>(gContext.mode), gContext.targetText, dotted(gContext.targetAddress).c_str(),
                dotted(gContext.localAddress).c_str(), gContext.firmwareFileName, gContext.recoverySerial,
                gContext.digest.userName, gContext.digest.password);
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

void onTick(ProgressWindow* window) {
    if (std::this_thread::get_id() != mainThread) tickOffModalThread.store(true);
    setProgressPosition(window, static_cast<unsigned>(++ticks));
}

// A search that lets the timer tick a few times, then finds the device.
int searchThatFinds(ProgressWindow* window) {
    startProgressTimer(window, 1000, 20, onTick);
    for (unsigned waited = 0; ticks.load() < 3 && waited < kLongWaitMs; waited += 5) sleepMillis(5);
    stopProgressTimer(window, 1000);
    sendProgressCommand(window, kCommandOk);
    return 1;
}

int searchThatFails(ProgressWindow* window) {
    sendProgressCommand(window, kCommandCancel);
    return 1;
}

int searchThatWaits(ProgressWindow* window) {
    sleepMillis(kLongWaitMs);
    sendProgressCommand(window, kCommandOk);
    return 1;
}

void waitInWindow(int templateId) {
    ProgressWindow* window = openProgressWindow(templateId);
    setProgressRange(window, 1000);
    for (unsigned i = 0; i < kLongWaitMs; ++i) {
        setProgressPosition(window, i % 1000);
        pumpProgressMessages(window);
        sleepMillis(1);
    }
    destroyProgressWindow(window);
    std::printf("window %d not cancelled\n", templateId);
}
}  // namespace

int main(int argc, char** argv) {
    mainThread = std::this_thread::get_id();
    if (argc < 2) return 2;
    gProgram = std::strcmp(argv[1], "stage") == 0 ? &kOrbstageProfile : &kOrbflashProfile;
    resetUpgradeContext();
    gContext.mode = 1;
    copyText(gContext.modelName, sizeof gContext.modelName, "ORB-A020");
    seedRandom(1);
    int i = 2;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        std::string option = argv[i];
        if (option == "--phone") {
            gContext.isPhone = 1;
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
            gContext.stage.store(std::atoi(value));
        else if (option == "--mode")
            gContext.mode = std::atoi(value);
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
            int result = showDialog(id);
            std::printf("dialog %d result %d\n", id, result);
            printRun();
        } else if (action == "titles" && i < argc) {
            int id = std::atoi(argv[i++]);
            ProgressWindow* window = openProgressWindow(id);
            for (unsigned step = 0; i < argc && std::strcmp(argv[i], "--") != 0; ++i, ++step) {
                setProgressTitle(window, argv[i]);
                setProgressPosition(window, step);
                pumpProgressMessage(window);
            }
            if (i < argc) ++i;
            destroyProgressWindow(window);
            std::printf("window %d done\n", id);
        } else if (action == "wait" && i < argc) {
            waitInWindow(std::atoi(argv[i++]));
        } else if (action == "search" && i < argc) {
            std::string kind = argv[i++];
            SearchBody body = kind == "ok" ? searchThatFinds : kind == "cancel" ? searchThatFails : searchThatWaits;
            int result = showSearchWindow(body);
            std::printf("search result %d ticks %s timer thread %s\n", result, ticks.load() >= 3 ? "ran" : "missing",
                        tickOffModalThread.load() ? "wrong" : "modal");
        } else if (action == "end" && i < argc) {
            // The process ends with a window up, as the listener ends a run.
            ProgressWindow* window = openProgressWindow(std::atoi(argv[i++]));
            pumpProgressMessages(window);
            endProcess();
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
