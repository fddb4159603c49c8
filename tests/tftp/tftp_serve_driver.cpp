// Serves one image file with the real listener, as a program would after
// its trigger, for the client tests and the benchmark. Prints "port N" once
// the listener is up; what the windows showed goes to stderr at the end.
//   tftp_serve_driver IMAGE [--program flash|stage] [--name NAME] [--model NAME]
//                     [--group] [--local A.B.C.D] [--transition FILE --next-name NAME]
//                     [--lifetime SECONDS] [--web]
// --web answers the status reads after each upload with a page that shows
// the version of the image just served, as a device that took it would.
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/firmware_image.h"
#include "core/program_profile.h"
#include "core/run_end.h"
#include "core/text.h"
#include "core/tftp_serving.h"
#include "core/upgrade_context.h"
#include "net/http/address_utils.h"
#include "platform/platform_clock.h"
#include "tests/support/scripted_front_end.h"

namespace {

bool loadImage(const char* path, std::vector<uint8_t>* bytes, FirmwareImage* image) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    *image = FirmwareImage{};
    image->data = bytes->data();
    image->size = static_cast<uint32_t>(bytes->size());
    std::memcpy(image->header, bytes->data(), bytes->size() < kImageHeaderSize ? bytes->size() : kImageHeaderSize);
    return true;
}

// A device's web server that has taken whatever was served last.
void answerStatusReads(uint32_t address) {
    int server = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(80);
    local.sin_addr.s_addr = htonl(address);
    if (bind(server, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(server, 4) != 0) return;
    std::thread([server] {
        for (;;) {
            int connection = accept(server, nullptr, nullptr);
            if (connection < 0) return;
            char request[2048];
            ssize_t got = recv(connection, request, sizeof request, 0);
            (void)got;
            char page[256];
            int length =
                std::snprintf(page, sizeof page, "HTTP/1.1 200 OK\r\n\r\n<td>Software Version:</td><td>%s</td>\n",
                              imageVersion(servedImage()));
            ssize_t sent = send(connection, page, static_cast<size_t>(length), MSG_NOSIGNAL);
            (void)sent;
            close(connection);
        }
    }).detach();
}

void printEvents(RunOutcome = RunOutcome::Success, const char* = nullptr) {
    std::fprintf(stderr, "events:\n");
    for (const std::string& event : frontEndEvents()) std::fprintf(stderr, "  %s\n", event.c_str());
}

int usage() {
    std::fputs(
        "usage: tftp_serve_driver IMAGE [--program flash|stage] [--name NAME] [--model NAME] [--group]\n"
        "                         [--local ADDRESS] [--transition FILE --next-name NAME] [--lifetime S]\n"
        "                         [--web]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    static std::vector<uint8_t> target;
    static std::vector<uint8_t> transition;
    const char* name = "/orb1a2b.bi1";
    const char* nextName = nullptr;
    const char* transitionPath = nullptr;
    const char* model = "ORB-A110";
    const char* local = "127.0.0.1";
    bool group = false;
    bool stage = false;
    bool web = false;
    unsigned lifetime = 120;
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--group") {
            group = true;
        } else if (option == "--web") {
            web = true;
        } else if (i + 1 >= argc) {
            return usage();
        } else if (option == "--program") {
            stage = std::strcmp(argv[++i], "stage") == 0;
        } else if (option == "--name") {
            name = argv[++i];
        } else if (option == "--next-name") {
            nextName = argv[++i];
        } else if (option == "--transition") {
            transitionPath = argv[++i];
        } else if (option == "--model") {
            model = argv[++i];
        } else if (option == "--local") {
            local = argv[++i];
        } else if (option == "--lifetime") {
            lifetime = static_cast<unsigned>(std::atoi(argv[++i]));
        } else {
            return usage();
        }
    }

    gProgram = stage ? &kOrbstageProfile : &kOrbflashProfile;
    gContext.mode = group ? RunMode::Recovery : RunMode::Upgrade;
    if (!loadImage(argv[1], &target, &gContext.image)) return usage();
    if (transitionPath) {
        if (!stage || !nextName || !loadImage(transitionPath, &transition, &gContext.transitionImage)) return usage();
        gContext.stage.store(Stage::Transition);
    }
    if (!parseDottedQuad(local, &gContext.localAddress)) return usage();
    gContext.targetAddress = gContext.localAddress;
    copyText(gContext.targetText, sizeof gContext.targetText, local);
    copyText(gContext.modelName, sizeof gContext.modelName, model);
    gContext.firmwareFileName.set(name);
    // The scripted windows, but a real end of the run: the process ends.
    resetScriptedFrontEnd();
    setRunEndHandler(nullptr);
    setRunEndListener(printEvents);
    if (web) answerStatusReads(gContext.localAddress);

    uint16_t port = tftpStartListener(gContext.localAddress, group ? 0xEA04080Au : 0, gContext.targetAddress);
    std::printf("port %u\n", port);
    std::fflush(stdout);
    if (port == 0) endRun(RunOutcome::GroupJoinFailed);

    // As the staged flow does: a new name once the transition stage is over.
    for (unsigned waited = 0; waited < lifetime * 100; ++waited) {
        if (nextName && gContext.stage.load() == Stage::Target) {
            gContext.firmwareFileName.set(nextName);
            nextName = nullptr;
        }
        sleepMillis(10);
    }
    std::fprintf(stderr, "tftp_serve_driver: lifetime over\n");
    printEvents();
    return 3;
}
