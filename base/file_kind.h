// What a path names, for the files a user gives: opening a FIFO blocks
// until a writer comes, and a folder opens as an empty stream.
#pragma once

// "a directory", "a FIFO", ... when path names something that is not a
// regular file (links followed); null for a regular file, or nothing there.
const char* notRegularFile(const char* path);
