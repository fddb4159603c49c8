// Every HTTP request of a run: the exchange on a worker thread behind the
// connecting view, with the silent retry and the password question after a
// challenge, and the request's own Digest uri for a device that refused the
// empty one with a 400.
#pragma once

#include <cstdint>

#include "core/run.h"
#include "net/http/http_exchange.h"

// How a request after the upload differs from the others.
struct RequestManner {
    const HttpTimeouts* bounds = nullptr;  // null: the run's
    bool connectFailureIsSilence = false;  // whatever the program says
    // A 401 whose challenge no password can answer (a Basic one, say) ends
    // the request as an answer with that status (0 bytes: no page), never as
    // a password question: no password could change it, and none was refused.
    bool unusableChallengeIsAnswer = false;
};

// What the answer itself said: its status code (0 when none came) and the
// facts its 2xx page held (found: their FactBits; the others are empty).
struct RequestReply {
    int status = 0;
    DeviceFacts facts{};
    unsigned found = 0;
    bool challengeUsable = false;  // a 401 came with a Digest challenge we can answer
    bool whole = false;            // the answer ended where its framing says, not cut
};

// Byte count, 0 or more; *reply (when given) what the last answer said.
// Stops the run when the user cancels or declines credentials, and on
// socket failures (and, where the program says so and the manner allows,
// a failed connection).
int runRequest(Run& run, uint32_t targetAddress, uint16_t targetPort, const char* path, RequestReply* reply = nullptr,
               const RequestManner& manner = {});

// One exchange behind the connecting view (sent in the second Digest form
// too when the first got a 400), without the retry or the password
// question: the byte count (-1 for a challenge), why no connection was made
// and the status code. Stops the run only when the user cancels.
int exchangeOnce(Run& run, uint32_t targetAddress, uint16_t targetPort, const char* path, HttpFailure* failure,
                 int* httpStatus);
