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

bool askMode(Run& run) { return run.frontEnd().chooseMode(run, &run.context().mode); }

bool askWarning(Run& run) { return run.frontEnd().acceptWarning(run); }

bool askAddress(Run& run) {
    AddressAnswer answer;
    if (!run.frontEnd().askAddress(run, &answer)) return false;
    UpgradeContext& c = run.context();
    copyText(c.targetText, sizeof c.targetText, answer.typed);
    if (!parseTypedAddress(answer.typed, &c.targetAddress)) return false;
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
    if (!run.frontEnd().askSerial(run, &answer)) return false;
    UpgradeContext& c = run.context();
    drawFirmwareFileName(run, "bin");
    copyTextLimited(c.recoverySerial, sizeof c.recoverySerial, answer.serial, kSerialReadLimit);
    // The entry field converts letters as they are typed.
    for (char* at = c.recoverySerial; *at; ++at) *at = static_cast<char>(std::toupper(static_cast<unsigned char>(*at)));
    copyText(c.targetText, sizeof c.targetText, c.recoverySerial);
    takeLocalAddress(c, answer.localIndex, answer.localAddress);
    return true;
}

void askCredentials(Run& run) {
    CredentialsAnswer answer;
    if (!run.frontEnd().askCredentials(run, &answer)) run.stop(answer.refusal);
    takeCredentials(run, answer);
}

void takeCredentials(Run& run, const CredentialsAnswer& answer) {
    run.context().digest.update([&](DigestChallenge& digest) {
        copyTextLimited(digest.userName, sizeof digest.userName, answer.userName, kCredentialReadLimit);
        copyTextLimited(digest.password, sizeof digest.password, answer.password, kCredentialReadLimit);
    });
}

bool askConfirmation(Run& run) { return run.frontEnd().confirmUpgrade(run); }
