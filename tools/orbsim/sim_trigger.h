// The upgrade trigger path: "/admin/upgrade?tftp://A.B.C.D:PORT/NAME".
#pragma once

#include <cstdint>
#include <string>

struct UpgradeTrigger {
    uint32_t serverAddress;  // host order
    uint16_t serverPort;
    std::string fileName;  // with its leading "/"
};

bool isUpgradePath(const std::string& path);

// False when the path is not a well-formed trigger.
bool parseUpgradeTrigger(const std::string& path, UpgradeTrigger* trigger);
