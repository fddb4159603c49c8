// The device's TFTP client (RFC 1350 with the options of RFC 2347/2349):
// one read request, lock-step ACKs, resends on silence, and the faults a
// test may ask for.
#pragma once

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct TftpFaults {
    long stallAfterBlock = -1;         // stop acknowledging after this block
    double dropFraction = 0.0;         // leave out this share of the ACKs
    std::set<unsigned long> dropAcks;  // leave out the first ACK of these blocks
    bool duplicateAcks = false;
    bool refuseOptions = false;  // answer the OACK with an ERROR
    long errorAfterBlock = -1;   // an ERROR instead of this block's ACK (0: the OACK's)
    uint16_t errorCode = 3;
    std::string errorText = "Disk full or allocation exceeded";
    long refetchAfterBlock = -1;  // after this ACK, once, start again from a new socket
    uint32_t seed = 1;
};

struct TftpFetchRequest {
    uint32_t localAddress = 0;   // host order; the device's own address
    uint32_t serverAddress = 0;  // host order; the group when viaGroup
    uint16_t serverPort = 0;
    std::string fileName;
    // Recovery: the request goes to the group, data comes to the group at our
    // port, ACKs go to whoever sent the data.
    bool viaGroup = false;
    unsigned retryMs = 1000;
    unsigned retries = 5;
    unsigned deadlineSeconds = 300;
    TftpFaults faults;
};

struct TftpFetchResult {
    bool finished = false;  // the short last block arrived
    std::vector<uint8_t> bytes;
    bool hasTsize = false;
    unsigned long long tsize = 0;
    unsigned long blocks = 0;
    unsigned long acksDropped = 0;
    unsigned requests = 0;  // read requests sent, a refetch's too
    int errorSent = -1;     // the ERROR code sent to the server; -1 none
    std::string failure;    // why it ended early
};

TftpFetchResult tftpFetch(const TftpFetchRequest& request, const std::atomic<bool>& stop);
