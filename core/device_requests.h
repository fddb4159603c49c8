// The requests the flows and the after-upload check make of a device, all
// through runRequest, and the steps they report.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/request_runner.h"

// Reads "/admin/advanced" (refreshing deviceFacts); the byte count, or 0
// when the answer was not 2xx: only a 2xx answer is the status page.
// *page (when given): what that page itself said.
int readStatusPage(Run& run, uint32_t deviceAddress, const RequestManner& manner = {}, RequestReply* page = nullptr);
// What ends a run whose status read (page: its answer) found no status page,
// with its message: NoResponse; HttpError naming the status ("Upgrade
// Failed: The ORB answered HTTP 400 Bad Request") when the device answered
// with an HTTP error and the run's nameHttpErrors holds.
RunOutcome noStatusPageOutcome(const Run& run, const RequestReply& page, char* message, size_t size);
// "HTTP 400 Bad Request": the code, with its standard reason phrase where it
// is a common one (never the device's own text).
void formatHttpStatus(char* out, size_t size, int status);
// The same while a restart is followed, without a step: each exchange
// bounded (restartPollBounds), a failed connection only no answer (and,
// with the run's unusableChallengeIsAnswer, a 401 no password can answer).
int pollStatusPage(Run& run, uint32_t deviceAddress, RequestReply* page);
// A poll's bounds: the run's, but at most 3 s to connect, 3 s of silence and
// 5 s in all, so that a device dropping packets cannot hold the follow.
HttpTimeouts restartPollBounds(const HttpTimeouts& run);
// The facts just read (or taken from a recovery answer), as a step.
void reportDeviceFacts(Run& run);
// The listener waits on port for firmwareFileName, as a step.
void reportWaiting(Run& run, uint16_t port);
// With the run's skipCurrent, stops the run when the device already
// reports the version of the image it would get.
void stopIfAlreadyCurrent(Run& run);
// With several images to choose from: the first whose model fits the
// device's product becomes the run's image (and model); false when none does.
bool chooseImageForDevice(Run& run);
// With the run's checkModel, stops the run when an image it would serve is
// not for the device's product, naming both; with several images, chooses
// one and stops when none is for the product.
void stopIfNotForModel(Run& run);

// "/admin/upgrade?tftp://<localAddress>:<port><fileName>".
void formatUpgradeTrigger(char* out, size_t size, uint32_t localAddress, uint16_t port, const char* fileName);
// Tells the device at targetAddress to fetch firmwareFileName and stores
// the answer's status code in triggerStatus (0 when none came); the wait
// for the device's read request goes on whatever it was (a 401 no password
// can answer too, with the run's unusableChallengeIsAnswer).
void sendUpgradeTrigger(Run& run, uint16_t port);
