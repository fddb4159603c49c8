// The device's pages and the HTTP/1.1 responses that carry them.
#pragma once

#include <string>
#include <vector>

struct PageFacts {
    std::string productName, macAddress, softwareVersion, hardwareVersion, serialNumber;
};

// "/admin/advanced": each fact as a label cell and a value cell.
std::string statusPage(const PageFacts& facts);
std::string upgradeStartedPage();
std::string badTriggerPage();
std::string badRequestPage();
std::string notFoundPage();
std::string unauthorizedPage();
std::string notImplementedPage();
std::string redirectPage();
std::string serverErrorPage();

struct HttpHeader {
    std::string name, value;
};

// How a response is written; the defaults are what the device normally sends.
struct HttpStyle {
    bool http10 = false;   // "HTTP/1.0" in the status line
    int headerCase = 0;    // 0 as written, 1 lower case names, 2 upper case names
    bool chunked = false;  // 2xx bodies chunked, one cut inside the Software Version value
};

// Status line, the extra headers, Content-Type, Content-Length (or
// Transfer-Encoding), Connection: close, the empty line and the body.
// chunks, when given, is set to the number of chunks (0 when not chunked).
std::string httpResponse(int status, const std::vector<HttpHeader>& extraHeaders, const std::string& body,
                         const HttpStyle& style = HttpStyle(), int* chunks = nullptr);
