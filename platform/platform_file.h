// Files a run writes whole (the fleet's report): which file a name stands
// for, and replacing one so that no reader ever sees it cut.
#pragma once

#include <cstddef>

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
