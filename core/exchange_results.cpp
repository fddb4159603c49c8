#include "core/exchange_results.h"

#include <cstring>

#include "base/text.h"

namespace {

void takeIfChanged(char* run, size_t size, const char* before, const char* after) {
    if (std::strcmp(before, after) != 0) copyText(run, size, after);
}

}  // namespace

void takeExchangeFacts(DeviceFacts& run, const DeviceFacts& before, const DeviceFacts& after) {
    takeIfChanged(run.productName, sizeof run.productName, before.productName, after.productName);
    takeIfChanged(run.macAddress, sizeof run.macAddress, before.macAddress, after.macAddress);
    takeIfChanged(run.softwareVersion, sizeof run.softwareVersion, before.softwareVersion, after.softwareVersion);
    takeIfChanged(run.hardwareVersion, sizeof run.hardwareVersion, before.hardwareVersion, after.hardwareVersion);
    takeIfChanged(run.serialNumber, sizeof run.serialNumber, before.serialNumber, after.serialNumber);
}

void takeExchangeDigest(DigestChallenge& run, const DigestChallenge& after, bool challenged) {
    if (challenged) {
        DigestChallenge taken = after;
        std::memcpy(taken.userName, run.userName, sizeof taken.userName);
        std::memcpy(taken.password, run.password, sizeof taken.password);
        taken.uriIsRequestTarget = run.uriIsRequestTarget;
        run = taken;
        return;
    }
    if (std::strcmp(run.nonce, after.nonce) == 0 && after.nonceCount > run.nonceCount)
        run.nonceCount = after.nonceCount;
}
