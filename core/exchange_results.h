// What a finished exchange gives the run. Its worker started from copies of
// the run's facts and Digest state; meanwhile another thread's exchange may
// have changed them. Only what this exchange itself learnt is taken, so an
// answer that came late never puts back what the device said before.
#pragma once

#include "net/http/device_facts.h"
#include "net/http/digest_challenge.h"

// Each fact this exchange changed (after differs from before) becomes the
// run's; the others stay as the run now has them.
void takeExchangeFacts(DeviceFacts& run, const DeviceFacts& before, const DeviceFacts& after);

// challenged: the exchange was answered with a 401, whose challenge (when
// usable) is the device's latest word and replaces the run's. Otherwise the
// nonce count rises to the exchange's, if the run still uses its nonce.
// The credentials and the uri form are never taken: only the questions
// and the request runner set them.
void takeExchangeDigest(DigestChallenge& run, const DigestChallenge& after, bool challenged);
