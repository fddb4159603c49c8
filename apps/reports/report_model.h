// What a fleet's reports for people and tools show: the run and each
// device, as plain records the HTML, JUnit XML and metrics writers read.
// Device text is bytes as it came from the network.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

struct ReportImage {
    std::string file;  // empty: the built-in image
    std::string model, version, sha256;
};

// One span of a device's time, from the run's start: reading the device,
// waiting for the fetch, transfer, restart, verification.
struct ReportPhase {
    std::string name;
    int64_t startMs = 0, endMs = 0;
    int attempt = 1;
};

struct ReportDevice {
    // The CSV's columns.
    std::string device, image, product, serial, mac, result, imageFile, imageSha256, before, after, start, end;
    int64_t seconds = 0;
    int code = -1;  // -1: never ran
    // For the pictures and the tools.
    std::string outcome;  // the outcome's name ("success", "password-refused"); empty: not started or not ended
    std::string message;  // what the failure said
    bool started = false;
    bool ended = false;
    int attempts = 0;
    int64_t startMs = 0, endMs = 0;  // from the run's start
    std::vector<ReportPhase> phases;
};

struct ReportRun {
    std::string program, programVersion, command;  // command: "upgrade" or "check"
    std::string operatorName, machine;
    std::vector<ReportImage> images;
    std::time_t startTime = 0, endTime = 0;  // endTime 0: still running
    int64_t elapsedMs = 0;                   // from the start to now, or to the end
    std::vector<std::pair<std::string, std::string>> settings;  // what shaped the rollout: jobs, canary, budget...
    std::string canaryVerdict, budgetVerdict;
    bool finished = false;
};

// The device's verdict as the reports colour it: "upgraded", "current",
// "failed", "not-started" or "running".
const char* reportClass(const ReportDevice& device);
// Device bytes as HTML or XML text: each byte the code point of its value,
// the markup characters as references, control bytes as \xNN (XML 1.0
// cannot hold most of them at all); what a device sent is shown, never run.
std::string markupText(const std::string& bytes);
// UTC, ISO 8601, whole seconds; "" for 0.
std::string reportUtc(std::time_t time);
