#include "tests/tftp/tftp_test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/firmware_image.h"
#include "base/text.h"
#include "platform/platform_clock.h"

std::vector<uint8_t> makeTestImage(uint32_t size, uint32_t seed, const char* version) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (uint32_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(x >> 16);
    }
    if (size >= kImageHeaderSize) {
        std::memset(bytes.data() + kImageVersionOffset, 0, kImageHeaderSize - kImageVersionOffset);
        std::strncpy(reinterpret_cast<char*>(bytes.data() + kImageVersionOffset), version, 30);
    }
    return bytes;
}

ProgramProfile quickProfile(const ProgramProfile& profile) {
    ProgramProfile quick = profile;
    quick.tftpRetryLimit = kQuickRetryLimit;
    return quick;
}

TftpRun::TftpRun(const ProgramProfile& profile, const RunOptions& options) : TestRun(profile, options) {
    UpgradeContext& c = run.context();
    copyText(c.targetText, sizeof c.targetText, "10.1.0.13");
    copyText(c.modelName, sizeof c.modelName, "ORB-A110");
    c.firmwareFileName.set("/orb1a2b.bi1");
    c.localAddress = 0x7F000001;
    c.targetAddress = 0x7F000001;
    run.httpTimeouts() = HttpTimeouts{2000, 2000, 5000};
}

void TftpRun::install(const std::vector<uint8_t>& bytes, bool transition) {
    FirmwareImage& image = transition ? run.context().transitionImage : run.context().image;
    image = FirmwareImage{};
    image.data = bytes.data();
    image.size = static_cast<uint32_t>(bytes.size());
    if (!bytes.empty()) std::memcpy(image.header, bytes.data(), std::min<size_t>(bytes.size(), kImageHeaderSize));
}

ScriptedAnswer statusPage(const std::string& version) {
    const bool other = !version.empty() && version[0] == '!';
    const std::string serial = "<td>Serial Number:</td><td>" + std::string(other ? "ORB0099999" : "ORB0012345") + "</td>";
    if (version == "?") return ScriptedAnswer{"HTTP/1.1 200 OK\r\n\r\n" + serial};
    return ScriptedAnswer{"HTTP/1.1 200 OK\r\n\r\n" + serial + "<td>Software Version:</td><td>" + version.substr(other) +
                          "</td>"};
}

ScriptedAnswer silentAnswer() { return ScriptedAnswer{""}; }

namespace {
std::atomic<uint32_t> fakeNow{0};
std::atomic<uint32_t> sleeps{0};
std::atomic<bool> running{false};
std::chrono::steady_clock::time_point realStart;
uint32_t fakeClock() {
    uint32_t now = fakeNow.load();
    if (running.load())
        now += static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - realStart)
                .count());
    return now;
}
// No wait here lasts longer than this many sleeps; a wait that does is
// broken, and fails rather than hangs.
const uint32_t kSleepBudget = 100000;
void fakeSleep(unsigned ms) {
    fakeNow.fetch_add(ms);
    if (sleeps.fetch_add(1) >= kSleepBudget) {
        std::fprintf(stderr, "a wait on the fake clock did not end\n");
        std::abort();
    }
}
}  // namespace

void useFakeClock(uint32_t start, bool runs) {
    fakeNow.store(start);
    sleeps.store(0);
    realStart = std::chrono::steady_clock::now();
    running.store(runs);
    setClockHooks(fakeClock, fakeSleep);
}

void useRealClock() { setClockHooks(nullptr, nullptr); }

uint32_t fakeSleepCount() { return sleeps.load(); }
