// Reading standard input for prompts and progress windows. Waits in short
// slices so that Ctrl+C, which may be delivered to any thread, is noticed.
#pragma once

#include <cstddef>

enum class LineResult { Line, Closed };

// One line without its line end (a CR before the LF is dropped too), cut to
// fit out; the rest of an overlong line is skipped. Closed at the end of
// input or on Ctrl+C; a last line without a line end still counts.
LineResult readInputLine(char* out, size_t size);

// Terminal in key mode only: reads what is pending without waiting; true
// when it held Esc (alone, not the start of a key sequence) or q.
bool cancelKeyTyped();
