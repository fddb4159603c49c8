// Serves one image file with the real listener, as a program would after
// its trigger, for the client tests and the benchmark. Prints "port N" once
// the listener is up; the run's steps go to stderr at the end, and the
// exit status is the run's.
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

#include "apps/profiles/program_profiles.h"
#include "base/firmware_image.h"
#include "base/text.h"
#include "core/tftp_serving.h"
#include "net/address_utils.h"
#include "net/http/http_exchange.h"
#include "tests/support/recording_front_end.h"

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
void answerStatusReads(const Run& run, uint32_t address) {
    int server = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kDeviceHttpPort);
    local.sin_addr.s_addr = htonl(address);
    if (bind(server, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(server, 4) != 0) return;
    std::thread([server, &run] {
        for (;;) {
            int connection = accept(server, nullptr, nullptr);
            if (connection < 0) return;
            char request[2048];
            ssize_t got = recv(connection, request, sizeof request, 0);
            (void)got;
            char page[256];
            int length =
                std::snprintf(page, sizeof page, "HTTP/1.1 200 OK\r\n\r\n<td>Software Version:</td><td>%s</td>\n",
                              imageVersion(servedImage(run)));
            ssize_t sent = send(connection, page, static_cast<size_t>(length), MSG_NOSIGNAL);
            (void)sent;
            close(connection);
        }
    }).detach();
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

    RecordingFrontEnd frontEnd;
    Run run(stage ? kOrbstageProfile : kOrbflashProfile, frontEnd);
    UpgradeContext& c = run.context();
    c.mode = group ? RunMode::Recovery : RunMode::Upgrade;
    if (!loadImage(argv[1], &target, &c.image)) return usage();
    if (transitionPath) {
        if (!stage || !nextName || !loadImage(transitionPath, &transition, &c.transitionImage)) return usage();
        c.stage.store(Stage::Transition);
    }
    if (!parseDottedQuad(local, &c.localAddress)) return usage();
    c.targetAddress = c.localAddress;
    copyText(c.targetText, sizeof c.targetText, local);
    copyText(c.modelName, sizeof c.modelName, model);
    c.firmwareFileName.set(name);
    if (web) answerStatusReads(run, c.localAddress);

    bool lifetimeOver = false;
    int status = runUntilStopped(run, [&](Run& r) {
        Serving serving(r);
        uint16_t port = serving.start(c.localAddress, group ? 0xEA04080Au : 0, c.targetAddress);
        std::printf("port %u\n", port);
        std::fflush(stdout);
        if (port == 0) r.stop(RunOutcome::GroupJoinFailed);
        for (unsigned waited = 0; waited < lifetime * 100; ++waited) {
            // As the staged flow does: a new name once the transition stage is over.
            if (nextName && c.stage.load() == Stage::Target) {
                c.firmwareFileName.set(nextName);
                nextName = nullptr;
            }
            if (serving.ended(10)) serving.finish();
        }
        // Stopping the run here ends the listener's thread too.
        lifetimeOver = true;
        r.stop(RunOutcome::UserAbort, "tftp_serve_driver: lifetime over");
    });
    std::fprintf(stderr, "events:\n");
    for (const std::string& event : frontEnd.events()) std::fprintf(stderr, "  %s\n", event.c_str());
    return lifetimeOver ? 3 : status;
}
