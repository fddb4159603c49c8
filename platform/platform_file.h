// Files a run writes whole (the fleet's report) or adds to (the history):
// which file a name stands for, replacing one so that no reader ever sees it
// cut, and appending a record in one write.
#pragma once

#include <cstddef>
#include <string>

// Whether a and b name one existing file, links followed: the same device
// and inode (Windows: volume serial number and file index), so another
// spelling, a hard link or a link to it count as the same file.
bool sameFile(const char* a, const char* b);

// Whether path itself is a symbolic link (Windows: any reparse point).
bool fileIsLink(const char* path);

// Replaces path with exactly the size bytes of data: written to a new file
// beside it (created exclusively, never through a link), flushed, then
// renamed over path, which a link at path cannot redirect. On any failure
// path keeps what it held, nothing is left behind, and why gets the
// system's reason, cut to whySize.
bool fileReplace(const char* path, const char* data, size_t size, char* why, size_t whySize);

// Appends the size bytes of data to path (created if missing) in one write
// at its end, so that records of processes appending at once never mix, and
// flushes them to disk. False with why when they did not all go out.
bool fileAppendRecord(const char* path, const char* data, size_t size, char* why, size_t whySize);

// Creates path and the folders above it that are missing (this user's only
// where new). False with why when one cannot be made.
bool folderCreateAll(const std::string& path, char* why, size_t whySize);
