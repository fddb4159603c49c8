#include "ui/terminal/terminal_input.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <unistd.h>

#include "ui/terminal/terminal_interrupt.h"

namespace {
const int kSliceMs = 50;
const size_t kPendingSize = 1024;

// What was read but not yet taken; a line never leaves more than this unread.
std::mutex inputLock;
char pending[kPendingSize];
size_t pendingLength = 0;
bool skippingRest = false;  // inside an overlong line, after its first part
bool endOfInput = false;

void dropPending(size_t count) {
    std::memmove(pending, pending + count, pendingLength - count);
    pendingLength -= count;
}

void deliver(char* out, size_t size, size_t length) {
    size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(out, pending, copied);
    if (copied > 0 && out[copied - 1] == '\r') --copied;
    out[copied] = '\0';
}

// A complete line in pending, if any; skips the tail of an overlong line.
bool takeLine(char* out, size_t size) {
    for (;;) {
        char* newline = static_cast<char*>(std::memchr(pending, '\n', pendingLength));
        if (skippingRest) {
            if (!newline) {
                pendingLength = 0;
                return false;
            }
            dropPending(static_cast<size_t>(newline - pending) + 1);
            skippingRest = false;
            continue;
        }
        if (newline) {
            size_t length = static_cast<size_t>(newline - pending);
            deliver(out, size, length);
            dropPending(length + 1);
            return true;
        }
        if (pendingLength == kPendingSize) {
            deliver(out, size, pendingLength);
            pendingLength = 0;
            skippingRest = true;
            return true;
        }
        return false;
    }
}

// Waits one slice for input. False at the end of input.
bool fill() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&input, 1, kSliceMs);
    if (ready < 0) return errno == EINTR || errno == EAGAIN;
    if (ready == 0) return true;
    if (input.revents & POLLNVAL) return false;
    ssize_t got = read(STDIN_FILENO, pending + pendingLength, kPendingSize - pendingLength);
    if (got > 0) {
        pendingLength += static_cast<size_t>(got);
        return true;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    return false;
}
}  // namespace

LineResult readInputLine(char* out, size_t size) {
    std::lock_guard<std::mutex> guard(inputLock);
    if (size == 0) return LineResult::Closed;
    for (;;) {
        if (takeLine(out, size)) return LineResult::Line;
        if (endOfInput) {
            if (pendingLength == 0 || skippingRest) return LineResult::Closed;
            deliver(out, size, pendingLength);
            pendingLength = 0;
            return LineResult::Line;
        }
        if (takeInterrupt()) return LineResult::Closed;
        if (!fill()) endOfInput = true;
    }
}

bool cancelKeyTyped() {
    std::unique_lock<std::mutex> guard(inputLock, std::try_to_lock);
    if (!guard.owns_lock() || endOfInput) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0 || !(input.revents & POLLIN)) return false;
    char keys[64];
    ssize_t got = read(STDIN_FILENO, keys, sizeof keys);
    for (ssize_t i = 0; i < got; ++i) {
        if (keys[i] == 'q' || keys[i] == 'Q') return true;
        if (keys[i] == '\x1b') {
            // Arrow and function keys start with Esc too; skip the sequence.
            if (i + 1 < got && (keys[i + 1] == '[' || keys[i + 1] == 'O')) return false;
            return true;
        }
    }
    return false;
}
