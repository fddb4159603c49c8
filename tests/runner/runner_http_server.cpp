#include "tests/runner/runner_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {
const int kWaitMs = 10000;

bool waitReadable(int s, int timeoutMs) {
    pollfd p{s, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1;
}

std::string readRequest(int s) {
    std::string request;
    char chunk[2048];
    while (request.find("\r\n\r\n") == std::string::npos && waitReadable(s, kWaitMs)) {
        ssize_t got = ::recv(s, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        request.append(chunk, static_cast<size_t>(got));
    }
    return request;
}
}  // namespace

RunnerHttpServer::RunnerHttpServer() {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 4);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
}

RunnerHttpServer::~RunnerHttpServer() {
    finish();
    ::close(listener);
}

void RunnerHttpServer::serve(std::vector<RunnerAnswer> answers) {
    thread = std::thread([this, answers] {
        for (const RunnerAnswer& answer : answers) {
            if (!waitReadable(listener, kWaitMs)) return;
            int s = ::accept(listener, nullptr, nullptr);
            if (s < 0) return;
            std::string request = readRequest(s);
            {
                std::lock_guard<std::mutex> guard(lock);
                requests.push_back(request);
            }
            for (int waited = 0; answer.ready && !answer.ready() && waited < kWaitMs; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const char* data = answer.bytes.data();
            size_t left = answer.bytes.size();
            while (left > 0) {
                ssize_t sent = ::send(s, data, left, MSG_NOSIGNAL);
                if (sent <= 0) break;
                data += sent;
                left -= static_cast<size_t>(sent);
            }
            ::close(s);
        }
    });
}

void RunnerHttpServer::finish() {
    if (thread.joinable()) thread.join();
}

std::vector<std::string> RunnerHttpServer::received() {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

std::string challengeWithNonce(const std::string& nonce) {
    return "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"orb\", qop=\"auth\", nonce=\"" + nonce +
           "\"\r\nContent-Length: 0\r\n\r\n";
}

std::string pageOfSize(size_t size) {
    std::string page = "HTTP/1.1 200 OK\r\n\r\n";
    page.append(size - page.size(), 'x');
    return page;
}
