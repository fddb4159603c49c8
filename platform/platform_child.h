// Child processes of a fleet run: each runs a program with its standard
// output in a pipe the parent reads and its standard error in a file.
#pragma once

#include <cstddef>
#include <cstdint>

struct OrbChild;

// Whether a child's standard error can be appended to path: it is created
// (mode 0644) when missing; a symbolic link (Windows: any reparse point) or
// anything but a regular file is refused. If not, why gets a short reason
// ("it is a symbolic link", the system's message), cut to whySize.
bool childLogOpenable(const char* path, char* why, size_t whySize);

// Starts argv[0] (a path) with argv (null-terminated), standard input from
// nothing, standard error appended to errorPath (null: discarded), in a
// process group of its own so that the console's Ctrl+C reaches only the
// parent. Null when it cannot be started, or errorPath is not openable as
// childLogOpenable says. The child dies with the parent, however that ends:
// Linux ties it to the thread that calls this, so start children from one
// that lives as long as they should (the main thread).
OrbChild* childStart(char* const* argv, const char* errorPath);
// Appends text to the file the child's standard error went to, through the
// handle opened for it (never reopened by name); false when there is none
// or the write failed.
bool childLogAppend(OrbChild* child, const char* text, size_t length);
// Reads what the child has written so far without waiting: the count,
// 0 when nothing is there now, -1 once its output has ended.
int childRead(OrbChild* child, char* buffer, int size);
// Waits up to timeoutMs for output from any of the children.
void childWaitForOutput(OrbChild* const* children, int count, unsigned timeoutMs);
// Whether it has ended; its exit status then, 128 + the signal when a
// signal ended it.
bool childEnded(OrbChild* child, int* status);
// Asks it to stop as Ctrl+C would (Windows: it is ended at once).
void childInterrupt(OrbChild* child);
// Once ended: what it used, added to *usage, and the handle freed.
struct ChildUsage {
    double cpuSeconds;
    uint64_t peakBytes;  // the largest peak of one child
};
void childRelease(OrbChild* child, ChildUsage* usage);

// The parent's own CPU time, in seconds.
double processCpuSeconds();
// The path of the running program, for starting more of it.
bool currentProgramPath(char* out, unsigned size);
