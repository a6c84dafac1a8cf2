// The few file-system calls the installer engine makes, with one Win32 and
// one POSIX implementation. Paths are ANSI (code page 936) with backslashes.
#pragma once
#include <cstdio>

#include "String.h"
#include "Types.h"

// True when a file or folder of that name is found (FindFirstFileA).
bool FileExists(const char* path);
// DeleteFileA: removes a file (never a folder). True on success.
bool FsDeleteFile(const char* path);
// SetFileAttributesA(FILE_ATTRIBUTE_NORMAL): clears read-only, hidden and
// system, so that the file can be replaced. True on success.
bool FsClearAttributes(const char* path);
// True when the name is there but is neither a file nor a folder: a link, a
// FIFO, a socket or a device (on Windows a reparse point that is no folder).
// Such a name where a file is to be written is removed first, as tar and
// unzip do, instead of written through.
bool FsIsSpecialFile(const char* path);
// _mkdir: creates one folder. Returns 0 on success, -1 on failure.
int FsMakeFolder(const char* path);
// GetModuleFileNameA of the running executable.
CString FsModulePath();
// fopen with the path translated as for every call here.
FILE* FsOpenStream(const char* path, const char* mode);
// Marks a file read-only (tests and tools use it to set up old installations).
bool FsSetReadOnly(const char* path);
