// What a run is asked to do, built once before it starts (from a command
// line): the run answers its questions from it before it asks a front end,
// as a program answers from its command line before it prompts. The wizard
// runs without one and asks everything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/firmware_image.h"
#include "core/run_context.h"
#include "core/run_options.h"

// An image the run may serve, loaded and checked once.
struct RequestImage {
    FirmwareImage image{};
    std::string file;  // as given: how events name it
};

struct RunRequest {
    RunMode mode = RunMode::Upgrade;
    bool check = false;  // check the device, send nothing
    // How lines and events name the device: the target as given.
    std::string device;
    uint32_t target = 0;  // upgrade and check: the device's address
    std::string serial;   // recovery: the serial searched for
    uint32_t localAddress = 0;  // this PC's address toward the device; 0: any
    std::string localWhy;       // how it was chosen, for check
    std::string user = "admin";
    std::optional<std::string> password;  // never printed; none: the front end is asked
    bool confirmed = false;               // the upgrade needs no confirmation
    // None: the built-in image. Of several, the device's facts choose.
    std::vector<RequestImage> images;
    std::optional<RequestImage> transitionImage;
    // Why an image could not be used: the run ends with it (image-damaged).
    std::string imageError;
    RunOptions options;
};
