// Inside the framework only: how CFile and FsOpenStream open a file. A write
// never goes through a link (a reparse point on Windows), so one planted
// after the caller removed what stood there is refused, not followed; no
// open waits on a FIFO or takes a folder, a pipe or a socket for a file.
// (Character devices such as /dev/null stay usable: only root can plant one.)
#pragma once
#include <string>

#ifdef _WIN32
// CreateFileA's arguments; returns the handle or INVALID_HANDLE_VALUE with
// the last error set.
void* OpenRegularFile(const char* path, unsigned long access, unsigned long share, bool inherit,
                      unsigned long creation);
#else
// open()'s flags for a host path; returns the descriptor, or -1 with errno.
int OpenRegularFile(const std::string& host, int flags);
#endif
