#include "tests/tftp/tftp_test_support.h"

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/firmware_image.h"
#include "core/request_runner.h"
#include "core/tftp_serving.h"
#include "core/upgrade_context.h"
#include "platform/platform_clock.h"
#include "tests/support/scripted_front_end.h"

ProgramProfile gQuickFlash = [] {
    ProgramProfile p = kOrbflashProfile;
    p.tftpRetryLimit = kQuickRetryLimit;
    return p;
}();
ProgramProfile gQuickStage = [] {
    ProgramProfile p = kOrbstageProfile;
    p.tftpRetryLimit = kQuickRetryLimit;
    return p;
}();

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

void installImage(const std::vector<uint8_t>& bytes, bool transition) {
    FirmwareImage& image = transition ? gContext.transitionImage : gContext.image;
    image = FirmwareImage{};
    image.data = bytes.data();
    image.size = static_cast<uint32_t>(bytes.size());
    if (!bytes.empty()) std::memcpy(image.header, bytes.data(), std::min<size_t>(bytes.size(), kImageHeaderSize));
}

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

std::mutex readLock;
std::vector<StatusRead> reads;
int readCount = 0;
std::function<void()> beforeRead;
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

void scriptStatusReads(const std::vector<StatusRead>& script) {
    std::lock_guard<std::mutex> guard(readLock);
    reads = script;
    readCount = 0;
}

int statusReadCount() {
    std::lock_guard<std::mutex> guard(readLock);
    return readCount;
}

void setBeforeStatusRead(std::function<void()> hook) { beforeRead = std::move(hook); }

// Stands in for the request runner of the programs.
int runRequest(void*, uint32_t, uint16_t, uint32_t, uint16_t, const char*, uint8_t*, int, int* httpStatus) {
    if (beforeRead) beforeRead();
    std::lock_guard<std::mutex> guard(readLock);
    StatusRead read = reads.empty() ? StatusRead{0, ""} : reads[std::min<size_t>(readCount, reads.size() - 1)];
    ++readCount;
    if (read.result > 0) {
        std::string version = read.version.empty() ? imageVersion(servedImage()) : read.version;
        std::strncpy(gContext.deviceFacts.softwareVersion, version.c_str(),
                     sizeof gContext.deviceFacts.softwareVersion - 1);
    }
    if (httpStatus) *httpStatus = read.result > 0 ? 200 : 0;  // a scripted page is a 2xx one
    return read.result;
}

void resetTftpTest(const ProgramProfile* program) {
    resetUpgradeContext();
    resetScriptedFrontEnd();
    gProgram = program;
    std::strcpy(gContext.targetText, "10.1.0.13");
    std::strcpy(gContext.modelName, "ORB-A110");
    gContext.firmwareFileName.set("/orb1a2b.bi1");
    gContext.localAddress = 0x7F000001;
    gContext.targetAddress = 0x7F000001;
    scriptStatusReads({});
    setBeforeStatusRead(nullptr);
    useFakeClock(1000, true);
}

int countEvents(const std::string& prefix) {
    int count = 0;
    for (const std::string& event : frontEndEvents()) count += event.compare(0, prefix.size(), prefix) == 0;
    return count;
}

bool eventsInOrder(const std::vector<std::string>& prefixes) {
    size_t next = 0;
    for (const std::string& event : frontEndEvents()) {
        if (next < prefixes.size() && event.compare(0, prefixes[next].size(), prefixes[next]) == 0) ++next;
    }
    return next == prefixes.size();
}

std::string allEvents() {
    std::string text;
    for (const std::string& event : frontEndEvents()) text += "  " + event.substr(0, 100) + "\n";
    return text;
}
