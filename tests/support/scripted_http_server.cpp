#include "tests/support/scripted_http_server.h"

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
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos && waitReadable(s, kWaitMs)) {
        ssize_t got = ::recv(s, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        request.append(chunk, static_cast<size_t>(got));
    }
    return request;
}

void sendAll(int s, const char* data, size_t length) {
    while (length > 0) {
        ssize_t sent = ::send(s, data, length, MSG_NOSIGNAL);
        if (sent <= 0) return;  // the client has gone: fine
        data += sent;
        length -= static_cast<size_t>(sent);
    }
}

// Until the client closes, bounded.
void waitForClose(int s) {
    char chunk[256];
    for (int i = 0; i < 4 && waitReadable(s, kWaitMs); ++i) {
        if (::recv(s, chunk, sizeof chunk, 0) <= 0) return;
    }
}

}  // namespace

ScriptedHttpServer::ScriptedHttpServer(uint16_t wanted) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(wanted);
    // listen() on an unbound socket would pick some other port.
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 4) != 0)
        return;
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
}

ScriptedHttpServer::~ScriptedHttpServer() {
    finish();
    ::close(listener);
}

void ScriptedHttpServer::serve(std::vector<ScriptedAnswer> answers) {
    thread = std::thread([this, answers] {
        for (const ScriptedAnswer& answer : answers) {
            if (!waitReadable(listener, kWaitMs)) return;
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            int s = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
            if (s < 0) return;
            std::string request = readRequest(s);
            {
                std::lock_guard<std::mutex> guard(lock);
                requests.push_back(request);
                peerPorts.push_back(ntohs(peer.sin_port));
            }
            for (int waited = 0; answer.ready && !answer.ready() && waited < kWaitMs; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            size_t at = 0;
            for (int piece = 0; piece < answer.pieces; ++piece) {
                size_t size =
                    piece + 1 == answer.pieces ? answer.bytes.size() - at : answer.bytes.size() / answer.pieces;
                sendAll(s, answer.bytes.data() + at, size);
                at += size;
                if (piece + 1 < answer.pieces) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (answer.holdOpen) waitForClose(s);
            ::close(s);
        }
    });
}

void ScriptedHttpServer::finish() {
    if (thread.joinable()) thread.join();
}

std::vector<std::string> ScriptedHttpServer::received() {
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

int occupyPort(uint16_t port) {
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Taken even while an earlier exchange's port waits out TIME_WAIT.
    int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

void releasePort(int socket) {
    if (socket >= 0) ::close(socket);
}
