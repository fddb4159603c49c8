// What the progress windows (and the command line's lines) say about a
// run's waits, composed from the run: titles, notes and the bar's units.
#pragma once

#include <cstddef>
#include <cstdint>

class Run;

// "Connecting with ORB@<targetText>".
void connectingTitle(const Run& run, char* out, size_t size);
// "Uploading [Transition |Target ]Firmware to ORB@<targetText> <done>/<total> Bytes".
void uploadTitle(const Run& run, uint32_t done, uint32_t total, char* out, size_t size);
// "Updating [Transition |Target ]Firmware to ORB@<targetText>".
void restartTitle(const Run& run, char* out, size_t size);
// What the device said to the trigger (or the fetch command), when that is
// the likeliest reason no read request comes; null when it says nothing.
const char* triggerAnswerNote(int status);
// The bar holds 16-bit values: blocks per step of the upload bar.
inline uint32_t uploadBarUnit(uint32_t blockCount) { return blockCount / 0x10000 + 1; }
