#include "tools/orbsim/sim_pages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

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
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 303: return "See Other";
        case 307: return "Temporary Redirect";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        case 501: return "Not Implemented";
        case 503: return "Service Unavailable";
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

std::string badRequestPage() { return page("400 Bad Request", "<h1>Bad Request</h1>\r\n"); }

std::string notFoundPage() { return page("404 Not Found", "<h1>Not Found</h1>\r\n"); }

std::string unauthorizedPage() { return page("401 Unauthorized", "<h1>Authorization Required</h1>\r\n"); }

std::string notImplementedPage() { return page("501 Not Implemented", "<h1>Not Implemented</h1>\r\n"); }

std::string redirectPage() { return page("Moved", "<p>This page has moved.</p>\r\n"); }

std::string serverErrorPage() { return page("Error", "<h1>Internal Error</h1>\r\n"); }

namespace {

std::string headerName(std::string name, int headerCase) {
    for (char& c : name) {
        if (headerCase == 1) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (headerCase == 2) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

// Cuts in the middle of the Software Version value (right before it when
// it is one character or empty), and in thirds of the body besides.
std::vector<size_t> chunkCuts(const std::string& body) {
    std::vector<size_t> cuts = {body.size() / 3, body.size() * 2 / 3};
    const std::string label = "Software Version:</td><td>";
    size_t at = body.find(label);
    if (at != std::string::npos) {
        size_t value = at + label.size();
        size_t end = body.find('<', value);
        size_t length = end == std::string::npos ? 0 : end - value;
        cuts.push_back(value + length / 2);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    cuts.erase(std::remove_if(cuts.begin(), cuts.end(), [&](size_t cut) { return cut == 0 || cut >= body.size(); }),
               cuts.end());
    return cuts;
}

std::string chunkedBody(const std::string& body, int* chunks) {
    std::string out;
    size_t from = 0;
    std::vector<size_t> cuts = chunkCuts(body);
    cuts.push_back(body.size());
    for (size_t cut : cuts) {
        if (cut <= from) continue;
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", cut - from);
        out += size + body.substr(from, cut - from) + "\r\n";
        from = cut;
        ++*chunks;
    }
    return out + "0\r\n\r\n";
}

}  // namespace

std::string httpResponse(int status, const std::vector<HttpHeader>& extraHeaders, const std::string& body,
                         const HttpStyle& style, int* chunks) {
    int chunkCount = 0;
    bool chunked = style.chunked && status >= 200 && status < 300;
    std::vector<HttpHeader> headers = extraHeaders;
    headers.push_back({"Content-Type", "text/html"});
    if (chunked)
        headers.push_back({"Transfer-Encoding", "chunked"});
    else
        headers.push_back({"Content-Length", std::to_string(body.size())});
    headers.push_back({"Connection", "close"});
    std::string out = std::string(style.http10 ? "HTTP/1.0 " : "HTTP/1.1 ") + std::to_string(status) + " " +
                      reasonPhrase(status) + "\r\n";
    for (const HttpHeader& header : headers)
        out += headerName(header.name, style.headerCase) + ": " + header.value + "\r\n";
    out += "\r\n";
    out += chunked ? chunkedBody(body, &chunkCount) : body;
    if (chunks) *chunks = chunkCount;
    return out;
}
