// What a status page read after the upload is worth: an answer only when it
// carries a version of its own and the device's identity, and then only
// when that identity is the one read before the upload.
#pragma once

#include "core/request_runner.h"
#include "net/http/device_facts.h"

enum class PageAfterUpload {
    NoAnswer,     // no 2xx page, one cut short, or one without a version or the identity
    SameDevice,   // the device read before the upload
    OtherDevice,  // another serial, MAC or product answers at the address
};

// before: the facts read before the upload; got: the byte count of the read
// (0 for no 2xx page); page: what that page itself held. Serial, MAC and
// product are compared where the device showed them before (the MAC by its
// hex digits, the product in any letter case, blanks around both ignored).
PageAfterUpload judgePageAfterUpload(const DeviceFacts& before, int got, const RequestReply& page);

// "serial S, MAC M" of facts, for a message that names two devices (the
// front ends escape what they show).
void describeIdentity(const DeviceFacts& facts, char* out, size_t size);
