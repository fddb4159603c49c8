// A device's web server on 127.0.0.1 for the request runner's tests: one
// scripted answer per connection, on a thread of the test, waits bounded.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RunnerAnswer {
    std::string bytes;             // sent once the request is read; then closed
    std::function<bool()> ready;   // unset: answer at once
};

struct RunnerHttpServer {
    int listener = -1;
    uint16_t port = 0;
    std::thread thread;
    std::mutex lock;
    std::vector<std::string> requests;

    RunnerHttpServer();
    ~RunnerHttpServer();
    void serve(std::vector<RunnerAnswer> answers);
    void finish();
    std::vector<std::string> received();
};

// A 401 with a Digest challenge carrying this nonce.
std::string challengeWithNonce(const std::string& nonce);
// A 200 answer of exactly size bytes.
std::string pageOfSize(size_t size);
