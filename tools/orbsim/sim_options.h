// What the simulated device is told on its command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

struct SimOptions {
    // Where it lives and what it reports about itself.
    uint32_t address = 0x7F000002;  // 127.0.0.2, host order
    uint16_t httpPort = 80;
    std::string productName = "ORBQ4x4";
    std::string macAddress = "000E08123456";
    uint8_t macBytes[6] = {0x00, 0x0E, 0x08, 0x12, 0x34, 0x56};
    std::string softwareVersion = "7.0.0";
    std::string hardwareVersion = "1.0.2";
    std::string serialNumber = "ORB0012345";

    // Digest guard; no user means pages are open.
    std::string user;
    std::string password;
    std::string realm = "ORB Device";
    std::string qop = "auth";       // "" for none, or the offered value (may be a list)
    std::string algorithm = "MD5";  // "" when the challenge names none
    bool algorithmUnquoted = false;
    std::string opaque;
    unsigned nonceEvery = 0;  // renew the nonce after this many requests; 0 never
    bool always401 = false;

    // Web server misbehaviour.
    unsigned httpHangSeconds = 0;  // accept, read, say nothing for this long
    bool httpClose = false;        // read, then close without a word

    // The upgrade.
    unsigned restartSeconds = 5;
    std::string versionAfter;  // empty: the version in the received image
    bool stayDown = false;
    bool muteAfterRestart = false;  // back up, but closes every connection unanswered
    std::string savePath;
    int exitAfterSeconds = -1;  // -1: run until a signal

    // TFTP client behaviour and misbehaviour.
    unsigned tftpRetryMs = 1000;
    unsigned tftpRetries = 5;
    unsigned tftpDeadlineSeconds = 300;
    long stallAfterBlock = -1;
    double dropFraction = 0.0;
    std::set<unsigned long> dropAcks;
    bool duplicateAcks = false;
    bool refuseOptions = false;
    uint32_t seed = 1;

    // Recovery mode.
    bool recovery = false;
    unsigned answerSize = 100;
};

// Fills options from argv. On a mistake returns false with a message in error.
// help is set (and true returned) for --help.
bool parseSimOptions(int argc, char** argv, SimOptions* options, bool* help, std::string* error);

void printSimUsage(FILE* out);
