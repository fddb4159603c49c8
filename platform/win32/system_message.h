// The system's words for an error code, for the lines that report it.
#pragma once

#include <windows.h>

#include <cstddef>

// The message for code, without its line end or final dot; "error N" when
// the system has none.
void systemMessage(DWORD code, char* why, size_t whySize);
