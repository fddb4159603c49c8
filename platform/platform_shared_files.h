// Files a fleet's parent shares with its children: a folder only this user
// can enter, and read-only mappings, whose pages every process mapping the
// same file shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A new folder PREFIX.XXXXXX in the system's temporary folder that only
// this user can enter (mode 0700; on Windows, in the user's own temporary
// folder). False with why when none can be made.
bool privateFolderCreate(const char* prefix, std::string* path, char* why, size_t whySize);

// The whole of a regular file, mapped read-only until the process ends.
// False with why when it cannot be opened or mapped, or is empty.
bool fileMapReadOnly(const char* path, const uint8_t** data, uint64_t* size, char* why, size_t whySize);
