// The recovery side of orbflash's flow: finding the device by its serial
// number behind the connecting view, taking its answer, and the fetch,
// over the run's one recovery socket.
#pragma once

#include <cstdint>

#include "core/run.h"
#include "net/recovery/recovery_discovery.h"

class RecoverySearch {
public:
    explicit RecoverySearch(Run& run) : run_(run) {}
    ~RecoverySearch() { recoveryClose(&channel_); }
    RecoverySearch(const RecoverySearch&) = delete;
    RecoverySearch& operator=(const RecoverySearch&) = delete;

    // Searches for the run's recoverySerial. Returns when the device
    // answered; stops the run when it did not or the user cancelled.
    void search();
    // The device's facts and address, from its answer.
    void takeAnswer();
    // Tells the device to fetch firmwareFileName from the listener's port;
    // true when the device confirmed it (an answer for its serial).
    bool sendFetch(uint16_t port);
    // Stops the run before anything was served; the socket goes first.
    [[noreturn]] void stopBeforeServing(RunOutcome outcome, const char* message = nullptr);

private:
    Run& run_;
    RecoveryChannel channel_;
};
