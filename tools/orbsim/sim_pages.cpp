#include "tools/orbsim/sim_pages.h"

namespace {

std::string page(const std::string& title, const std::string& body) {
    return "<html><head><title>" + title + "</title></head>\r\n<body>\r\n" + body + "</body></html>\r\n";
}

std::string row(const char* label, const std::string& value) {
    return "<tr><td>" + std::string(label) + "</td><td>" + value + "</td></tr>\r\n";
}

const char* reasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 404: return "Not Found";
        case 501: return "Not Implemented";
        default: return "Unknown";
    }
}

}  // namespace

std::string statusPage(const PageFacts& f) {
    return page("Advanced", "<h1>Device Information</h1>\r\n<table>\r\n" + row("Product Name:", f.productName) +
                                row("MAC Address:", f.macAddress) + row("Software Version:", f.softwareVersion) +
                                row("Hardware Version:", f.hardwareVersion) + row("Serial Number:", f.serialNumber) +
                                "</table>\r\n");
}

std::string upgradeStartedPage() {
    return page("Upgrade", "<p>Firmware download started. The device restarts when it is done.</p>\r\n");
}

std::string badTriggerPage() { return page("Upgrade", "<p>Malformed upgrade request.</p>\r\n"); }

std::string notFoundPage() { return page("404 Not Found", "<h1>Not Found</h1>\r\n"); }

std::string unauthorizedPage() { return page("401 Unauthorized", "<h1>Authorization Required</h1>\r\n"); }

std::string notImplementedPage() { return page("501 Not Implemented", "<h1>Not Implemented</h1>\r\n"); }

std::string httpResponse(int status, const std::string& extraHeaders, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n" + extraHeaders +
           "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}
