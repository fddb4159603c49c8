#include "apps/command_line/command_request.h"

#include <cstdlib>
#include <fstream>

#include "base/file_kind.h"
#include "base/firmware_image.h"
#include "core/questions.h"
#include "net/address_utils.h"
#include "net/recovery/recovery_discovery.h"
#include "platform/local_addresses.h"
#include "platform/platform_socket.h"

namespace {

// An --image file, or in a fleet's child the parent's pinned copy of it.
bool loadImage(const std::string& path, const std::string& pin, RequestImage* image, std::string* error) {
    char why[1024];
    std::string sha256, copy;
    image->file = path;
    const bool loaded =
        splitImagePin(pin, &sha256, &copy)
            ? mapFirmwareImageCopy(copy.c_str(), path.c_str(), sha256.c_str(), &image->image, why, sizeof why)
            : loadFirmwareImageFile(path.c_str(), &image->image, why, sizeof why);
    if (!loaded) *error = why;
    return loaded;
}

// What the command line always asks of a run, beyond the wizard's defaults.
RunOptions commandLineRunOptions(const CliOptions& o) {
    RunOptions options;
    options.fetchTimeoutMs = o.fetchTimeoutSeconds * 1000;
    options.skipCurrent = !o.force;
    options.checkModel = true;
    options.restartWait = o.restartWait;
    options.restartTimeoutMs = o.restartTimeoutSeconds * 1000;
    options.silentConnectAfterUpload = true;
    options.phoneMustChange = true;
    options.verifyDeviceAfterUpload = true;
    options.nameHttpErrors = true;
    options.unusableChallengeIsAnswer = true;
    options.localHttpPort = 0;
    options.credentialsOnce = true;
    return options;
}

}  // namespace

bool chooseLocalAddress(const ProgramProfile& profile, const std::string& typed, uint32_t toward, uint32_t* chosen,
                        std::string* why) {
    uint32_t addresses[kMaxLocalAddresses] = {};
    char host[128];
    if (socketStartup(profile.socketVersionMajor, profile.socketVersionMinor) == 0)
        listLocalAddresses(host, sizeof host, addresses);
    if (!typed.empty()) {
        uint32_t wanted = 0;
        parseHostAddress(typed.c_str(), &wanted);
        for (int i = 0; i < kMaxLocalAddresses && addresses[i]; ++i) {
            if (addresses[i] == wanted) {
                *chosen = wanted;
                *why = "given with --local";
                return true;
            }
        }
        return false;
    }
    if (localAddressToward(toward, chosen)) {
        *why = "the address this PC's routes use toward " + dottedAddress(toward);
        return true;
    }
    *chosen = addresses[0];
    *why = addresses[0] ? "the first of this PC's addresses: no route toward " + dottedAddress(toward)
                        : "any: this PC lists no address";
    return true;
}

bool fileOrNothing(const std::string& path, std::string* why) {
    const char* what = notRegularFile(path.c_str());
    if (what) *why = path + " is " + what + ", not a file";
    return !what;
}

bool readPasswordFile(const std::string& path, std::string* password, std::string* why) {
    if (!fileOrNothing(path, why)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *why = "cannot read " + path;
        return false;
    }
    std::getline(file, *password);
    skipByteOrderMark(password);
    if (!password->empty() && password->back() == '\r') password->pop_back();
    return credentialFits(*password, why);
}

void skipByteOrderMark(std::string* line) {
    if (line->compare(0, 3, "\xEF\xBB\xBF") == 0) line->erase(0, 3);
}

bool credentialFits(const std::string& text, std::string* why) {
    if (text.size() > kCredentialCharacters) {
        *why = "longer than the " + std::to_string(kCredentialCharacters) + " characters a device takes";
        return false;
    }
    // A user name goes raw into the Authorization line, which is then never
    // written, and the device would seem to refuse; no device field takes one.
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            *why = "holds a control character";
            return false;
        }
    }
    return true;
}

bool buildRequest(const ProgramProfile& profile, const CliOptions& o, const Console& console, RunRequest* request,
                  std::string* error) {
    std::vector<std::pair<const char*, std::string>> files = {{"--devices", o.devicesFile}};
    // A pinned image is served from the parent's copy: its file may have changed since.
    if (o.transitionImagePin.empty()) files.push_back({"--transition-image", o.transitionImage});
    if (o.imagePins.empty())
        for (const std::string& image : o.images) files.push_back({"--image", image});
    std::string why;
    for (const auto& [option, path] : files) {
        if (!fileOrNothing(path, &why)) {
            *error = std::string(option) + ": " + why;
            return false;
        }
    }
    if (!credentialFits(o.user, &why)) {
        *error = "--user: " + why;
        return false;
    }
    request->user = o.user;
    if (!o.passwordFile.empty()) {
        std::string password;
        if (!readPasswordFile(o.passwordFile, &password, &why)) {
            *error = "--password-file: " + why;
            return false;
        }
        request->password = password;
    } else if (const char* fromEnvironment = std::getenv("ORB_PASSWORD")) {
        request->password = fromEnvironment;
        if (!credentialFits(*request->password, &why)) {
            *error = "ORB_PASSWORD: " + why;
            return false;
        }
    }
    const bool confirms = o.command == CliCommand::Upgrade || o.command == CliCommand::Recover;
    if (confirms && !o.yes && (isFleet(o) || !console.inputIsTerminal())) {
        *error = "no terminal to confirm the upgrade on: give --yes";
        return false;
    }
    request->confirmed = o.yes;
    request->mode = o.command == CliCommand::Recover ? RunMode::Recovery : RunMode::Upgrade;
    request->check = o.command == CliCommand::Check;
    request->options = commandLineRunOptions(o);
    for (size_t i = 0; i < o.images.size() && request->imageError.empty(); ++i) {
        request->images.emplace_back();
        loadImage(o.images[i], i < o.imagePins.size() ? o.imagePins[i] : "", &request->images.back(),
                  &request->imageError);
    }
    if (!o.transitionImage.empty() && request->imageError.empty()) {
        request->transitionImage.emplace();
        loadImage(o.transitionImage, o.transitionImagePin, &*request->transitionImage, &request->imageError);
    }
    // A fleet's devices are its children's; --local is checked with the list.
    if (isFleet(o)) return true;
    request->device = o.targets[0];
    uint32_t toward = kRecoveryGroup;
    if (o.command == CliCommand::Recover) {
        request->serial = o.targets[0];
    } else {
        request->target = o.addresses[0];
        toward = request->target;
    }
    if (!chooseLocalAddress(profile, o.local, toward, &request->localAddress, &request->localWhy)) {
        *error = "--local: " + o.local + " is not an address of this PC (see --list-addresses)";
        return false;
    }
    return true;
}
