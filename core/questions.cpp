#include "core/questions.h"

#include <cctype>
#include <cstring>

#include "base/text.h"
#include "core/firmware_file_name.h"
#include "net/address_utils.h"

namespace {
// Characters kept when the controls are read (their read limits of 20 and
// 127 count the terminating NUL).
const size_t kSerialReadLimit = 19;
const size_t kCredentialReadLimit = kCredentialCharacters;

void takeLocalAddress(UpgradeContext& c, int index, uint32_t address) {
    if (address != 0)
        c.localAddress = address;
    else if (index >= 0 && index < kMaxLocalAddresses && c.localAddresses[index] != 0)
        c.localAddress = c.localAddresses[index];
}
}  // namespace

bool parseTypedAddress(const char* typed, uint32_t* address) {
    *address = 0;
    if (std::strlen(typed) > kAddressControlLength) return false;
    return parseDottedQuad(typed, address) && *address != 0;
}

bool askMode(Run& run) {
    if (const RunRequest* request = run.request()) {
        run.context().mode = request->mode;
        return true;
    }
    return run.frontEnd().chooseMode(run, &run.context().mode);
}

// A request was given knowingly: its warning stands accepted.
bool askWarning(Run& run) { return run.request() || run.frontEnd().acceptWarning(run); }

bool askAddress(Run& run) {
    AddressAnswer answer;
    UpgradeContext& c = run.context();
    const RunRequest* request = run.request();
    if (request && request->target) {
        // Parsed once, when the request was built.
        copyText(c.targetText, sizeof c.targetText, request->device.c_str());
        c.targetAddress = request->target;
        answer.localIndex = -1;
        answer.localAddress = request->localAddress;
    } else {
        if (!run.frontEnd().askAddress(run, &answer)) return false;
        copyText(c.targetText, sizeof c.targetText, answer.typed);
        if (!parseTypedAddress(answer.typed, &c.targetAddress)) return false;
    }
    if (isOrbstage(run.profile())) {
        // ".bi0" while a staged run serves its transition image first.
        char extension[8];
        formatText(extension, sizeof extension, "bi%d", static_cast<int>(c.stage.load()));
        drawFirmwareFileName(run, extension);
    } else {
        drawFirmwareFileName(run, "bi1");
    }
    takeLocalAddress(c, answer.localIndex, answer.localAddress);
    return true;
}

bool askSerial(Run& run) {
    SerialAnswer answer;
    const RunRequest* request = run.request();
    if (request && !request->serial.empty()) {
        copyText(answer.serial, sizeof answer.serial, request->serial.c_str());
        answer.localIndex = -1;
        answer.localAddress = request->localAddress;
    } else if (!run.frontEnd().askSerial(run, &answer)) {
        return false;
    }
    UpgradeContext& c = run.context();
    drawFirmwareFileName(run, "bin");
    copyTextLimited(c.recoverySerial, sizeof c.recoverySerial, answer.serial, kSerialReadLimit);
    // The entry field converts letters as they are typed.
    for (char* at = c.recoverySerial; *at; ++at) *at = static_cast<char>(std::toupper(static_cast<unsigned char>(*at)));
    copyText(c.targetText, sizeof c.targetText, c.recoverySerial);
    takeLocalAddress(c, answer.localIndex, answer.localAddress);
    return true;
}

// Credentials given once and asked for again were refused, whoever gave them.
void askCredentials(Run& run) {
    if (run.options().credentialsOnce && run.credentialsGiven() > 0) run.stop(RunOutcome::PasswordRefused);
    CredentialsAnswer answer;
    if (!answerCredentials(run, &answer)) run.stop(answer.refusal);
    takeCredentials(run, answer);
}

bool answerCredentials(Run& run, CredentialsAnswer* answer) {
    const RunRequest* request = run.request();
    if (!request || !request->password) return run.frontEnd().askCredentials(run, answer);
    copyText(answer->userName, sizeof answer->userName, request->user.c_str());
    copyText(answer->password, sizeof answer->password, request->password->c_str());
    return true;
}

void takeCredentials(Run& run, const CredentialsAnswer& answer) {
    run.context().digest.update([&](DigestChallenge& digest) {
        copyTextLimited(digest.userName, sizeof digest.userName, answer.userName, kCredentialReadLimit);
        copyTextLimited(digest.password, sizeof digest.password, answer.password, kCredentialReadLimit);
    });
}

bool askConfirmation(Run& run) {
    const RunRequest* request = run.request();
    return (request && request->confirmed) || run.frontEnd().confirmUpgrade(run);
}
