// A stand-in for the device's web server on 127.0.0.1, run on a thread of
// the test: one scripted answer per connection, every wait bounded.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ScriptedAnswer {
    std::string bytes;                      // sent after the request has been read
    int pieces = 1;                         // sent in this many sends, a little apart
    bool holdOpen = false;                  // keep the connection until the client closes it
    std::function<bool()> ready = nullptr;  // unset: answer at once; else answer once true (bounded)
};

struct ScriptedHttpServer {
    int listener = -1;
    uint16_t port = 0;
    std::thread thread;
    std::mutex lock;
    // What came in, per connection.
    std::vector<std::string> requests;
    std::vector<uint16_t> peerPorts;

    // On 127.0.0.1:wanted (0: a free port); port stays 0 when wanted is taken.
    explicit ScriptedHttpServer(uint16_t wanted = 0);
    ~ScriptedHttpServer();
    // Serves the answers in order, one connection each, on a thread.
    void serve(std::vector<ScriptedAnswer> answers);
    // Waits for the thread; then requests and peerPorts may be read.
    void finish();
    // The requests so far, while the thread may still be serving.
    std::vector<std::string> received();
};

// Binds a TCP socket to 127.0.0.1:port so that nobody else can; -1 on failure.
int occupyPort(uint16_t port);
void releasePort(int socket);
