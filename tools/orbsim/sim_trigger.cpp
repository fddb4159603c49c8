#include "tools/orbsim/sim_trigger.h"

#include "net/address_utils.h"

namespace {
const char kUpgradePrefix[] = "/admin/upgrade?";
const char kTftpPrefix[] = "tftp://";
const size_t kMaxFileName = 127;  // what a device keeps of a TFTP file name
}  // namespace

bool isUpgradePath(const std::string& path) { return path.compare(0, sizeof kUpgradePrefix - 1, kUpgradePrefix) == 0; }

bool parseUpgradeTrigger(const std::string& path, UpgradeTrigger* trigger) {
    if (!isUpgradePath(path)) return false;
    std::string url = path.substr(sizeof kUpgradePrefix - 1);
    if (url.compare(0, sizeof kTftpPrefix - 1, kTftpPrefix) != 0) return false;
    std::string rest = url.substr(sizeof kTftpPrefix - 1);
    size_t colon = rest.find(':');
    size_t slash = rest.find('/');
    if (colon == std::string::npos || slash == std::string::npos || slash < colon) return false;
    std::string host = rest.substr(0, colon);
    std::string port = rest.substr(colon + 1, slash - colon - 1);
    if (!parseDottedQuad(host.c_str(), &trigger->serverAddress)) return false;
    if (port.empty() || port.size() > 5) return false;
    unsigned long number = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    if (number == 0 || number > 65535) return false;
    trigger->serverPort = static_cast<uint16_t>(number);
    trigger->fileName = rest.substr(slash);
    return trigger->fileName.size() > 1 && trigger->fileName.size() <= kMaxFileName;
}
