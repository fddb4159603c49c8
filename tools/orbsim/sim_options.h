// What the simulated device is told on its command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

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
    std::string macText;  // shown on the page instead of the MAC when set

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
    bool fixedNonce = false;  // every challenge carries nonce
    std::string nonce;
    bool logHeaders = false;  // log every received header line, escaped
    bool strictUri = false;   // the Authorization's uri must be the request's own (else 400)

    // Web server misbehaviour.
    unsigned httpHangSeconds = 0;       // accept, read, say nothing for this long
    bool httpClose = false;             // read, then close without a word
    unsigned httpTrickleMs = 0;         // write answers a byte at a time, this far apart
    unsigned httpHoldSeconds = 0;       // keep the connection open this long after an answer
    bool httpChunked = false;           // 2xx bodies in chunks, one cut inside the version
    bool http10 = false;                // status lines say HTTP/1.0
    std::string headerCase;             // "", "lower" or "upper": header names so written
    int triggerStatus = 200;            // the upgrade trigger's answer
    int afterRestartStatus = 0;         // the status page's after a restart; 0: 200
    bool afterRestartBasic401 = false;  // ... or a 401 with a Basic challenge
    std::string location;               // of 3xx answers; empty: http://ADDRESS/login

    // The upgrade.
    unsigned restartMs = 5000;     // down this long after a complete image
    unsigned restartMaxMs = 5000;  // MIN-MAX in a fleet: spread over the devices, then each one's restartMs
    std::string versionAfter;      // empty: the version in the received image
    bool stayDown = false;
    bool neverRestart = false;      // takes the image but stays up on the old version
    bool flap = false;              // down, briefly up on the old version, down again, up on the new
    bool muteAfterRestart = false;  // back up, but closes every connection unanswered
    std::string impostorSerial;     // after the restart another device answers: this serial, the MAC + 1
    std::string impostorMac;        // (that MAC, written like macAddress)
    std::string afterRestartPage;   // "", "empty", "garbage" or "no-version": the 2xx page after a restart
    std::string savePath;
    std::string saveDir;        // save to DIR/ADDRESS.img
    unsigned fetchDelayMs = 0;  // between the trigger and the read request
    bool noFetch = false;
    unsigned ignoreTriggers = 0;  // the first N triggers fetch nothing
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
    long errorAfterBlock = -1;  // send ERROR instead of this block's ACK (0: the OACK's)
    unsigned errorCode = 3;
    std::string errorText = "Disk full or allocation exceeded";
    long refetchAfterBlock = -1;  // after this block's ACK, start again from a new socket
    uint32_t seed = 1;

    // Recovery mode.
    bool recovery = false;
    unsigned answerSize = 100;
    bool answerTwice = false;
    unsigned ignoreFetches = 0;  // the first N fetch commands go unanswered

    // The words that made this device, for its record: the common ones but
    // the fleet's own, then its own --on ones.
    std::vector<std::string> given;
};

// A process may run several devices on consecutive addresses.
struct SimFleet {
    std::vector<SimOptions> devices;
    bool logTimes = false;
    std::string recordPath;  // each device's record is appended here at the end
};

// Fills the fleet from argv. On a mistake returns false with a message in
// error. help is set (and true returned) for --help.
bool parseSimFleet(int argc, char** argv, SimFleet* fleet, bool* help, std::string* error);

// The same for a single device (the first of the fleet).
bool parseSimOptions(int argc, char** argv, SimOptions* options, bool* help, std::string* error);

void printSimUsage(FILE* out);
