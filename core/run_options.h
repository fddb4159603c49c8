// Choices a run is made with that the wizard leaves at their defaults and
// the command line sets.
#pragma once

#include <cstdint>

#include "net/http/http_exchange.h"

// What follows the upload: the model's fixed wait and then the profile's
// status reads, or following the device through its restart.
enum class RestartWait { Fixed, Follow };

struct RunOptions {
    // How long to wait for the device's read request after the trigger;
    // 0: until the user cancels (the wizard).
    uint32_t fetchTimeoutMs = 0;
    // A device that already runs the image's version is left alone (the
    // command line without --force); the wizard always serves.
    bool skipCurrent = false;
    // An image whose model is not the device's product is refused before
    // the trigger (the command line); the wizard serves what it carries.
    bool checkModel = false;
    RestartWait restartWait = RestartWait::Fixed;
    // Follow: the limit, never shorter than the model's fixed wait.
    uint32_t restartTimeoutMs = 300000;
    // A connection that fails after the upload is no answer rather than the
    // end of the run (the command line; the wizard keeps its texts).
    bool silentConnectAfterUpload = false;
    // Fixed wait: a phone (exempt from the version check) still on the
    // version it had, when another was served, did not take the image (the
    // command line; the wizard keeps the exemption as it is).
    bool phoneMustChange = false;
    // After the upload a status page counts only with a version of its own
    // and the identity (serial, MAC, product) read before the upload; another
    // identity ends the run (the command line; the wizard keeps its reads).
    bool verifyDeviceAfterUpload = false;
    // An HTTP error answer (not a 401) to the status read before the upgrade
    // ends the run as what it was, naming its status (HttpError, the command
    // line); the wizard keeps "No Response From ORB".
    bool nameHttpErrors = false;
    // A 401 whose challenge no password can answer (a Basic one, say) is the
    // device's answer to the trigger (the wait for its fetch goes on) and no
    // status page after the upload, never a password question: nothing was
    // refused (the command line; the wizard asks again, as it always did).
    bool unusableChallengeIsAnswer = false;
    // The first local port an HTTP request tries (upward from it); 0: the
    // system's choice (the command line: a fleet's runs share one address,
    // and a port our side closed first stays taken for a minute).
    uint16_t localHttpPort = kFirstHttpPort;
    // Credentials are given once: asked for again, they were refused (the
    // command line); the wizard asks again.
    bool credentialsOnce = false;
};
