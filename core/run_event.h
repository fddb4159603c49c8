// The one event type of the command line: what a run writes with --json,
// one object per line, and what a fleet's parent reads back from each
// child. Every field but event and device is written only when set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RunEvent {
    std::string event;
    std::string device;

    std::optional<std::string> program, model, image, address, product, serial, mac, software, hardware, file, from,
        level, text, outcome, version, result, phase, verdict, imageFile, imageSha256, role;
    std::optional<int64_t> size, port, status, total, bytes, bytesSent, seconds, left, elapsed, limit, code, attempts;
    // result: null on success, else the outcome's message.
    std::optional<std::string> message;
    bool messageNull = false;

    // summary, and its results (one per device)
    std::optional<int64_t> devices, upgraded, current, failed, notStarted, wouldUpgrade, cpuParentMs, cpuChildrenMs,
        peakBytesChild;
    std::optional<std::string> before, after, start, end;
    std::vector<RunEvent> results;
    // start: each image the run may serve (role, image_file, model, image, size, image_sha256)
    std::vector<RunEvent> images;
};

// One line of JSON, ASCII only: device text is taken byte by byte, so
// whatever a device sent comes back the same on the other side.
std::string eventLine(const RunEvent& event);
// False for a line that is not an event.
bool parseEventLine(const std::string& line, RunEvent* event);
