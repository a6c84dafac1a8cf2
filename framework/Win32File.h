// Windows only: how CFile and FsOpenStream open a file. A write never goes
// through a link (a reparse point), so one planted after the caller removed
// what stood there is refused, not followed; a pipe, a device or a folder
// is never taken for a file.
#pragma once

// CreateFile's arguments, the path in the program's text; returns the handle or INVALID_HANDLE_VALUE with
// the last error set.
void* OpenRegularFile(const char* path, unsigned long access, unsigned long share, bool inherit,
                      unsigned long creation);
