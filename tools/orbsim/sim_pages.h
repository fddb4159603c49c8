// The device's pages and the HTTP/1.1 responses that carry them.
#pragma once

#include <string>

struct PageFacts {
    std::string productName, macAddress, softwareVersion, hardwareVersion, serialNumber;
};

// "/admin/advanced": each fact as a label cell and a value cell.
std::string statusPage(const PageFacts& facts);
std::string upgradeStartedPage();
std::string badTriggerPage();
std::string notFoundPage();
std::string unauthorizedPage();
std::string notImplementedPage();

// Status line, the extra header lines (each ending in CR LF), Content-Type,
// Content-Length, Connection: close, the empty line and the body.
std::string httpResponse(int status, const std::string& extraHeaders, const std::string& body);
