// The few file-system calls the installer engine makes, with one Win32 and
// one POSIX implementation. Paths are the program's text (code page 936,
// Mbcs.h) with backslashes; the Win32 side calls the wide functions.
#pragma once
#include <cstdint>
#include <cstdio>

#include "String.h"
#include "Types.h"

// True when a file or folder of that name is found (FindFirstFile).
bool FileExists(const char* path);
// DeleteFile: removes a file (never a folder). True on success.
bool FsDeleteFile(const char* path);
// SetFileAttributes(FILE_ATTRIBUTE_NORMAL): clears read-only, hidden and
// system, so that the file can be replaced. True on success.
bool FsClearAttributes(const char* path);
// True when the name is there but is neither a file nor a folder: a link, a
// FIFO, a socket or a device (on Windows a reparse point that is no folder).
// Such a name where a file is to be written is removed first, as tar and
// unzip do, instead of written through.
bool FsIsSpecialFile(const char* path);
// Creates one folder (as _mkdir). Returns 0 on success, -1 on failure.
int FsMakeFolder(const char* path);
// GetModuleFileName of the running executable.
CString FsModulePath();
// fopen with the path translated as for every call here.
FILE* FsOpenStream(const char* path, const char* mode);
// Marks a file read-only (tests and tools use it to set up old installations).
bool FsSetReadOnly(const char* path);

// What installing over an earlier installation needs: moving files aside
// and back, removing folders it made, and asking the volume and the files
// before anything is written.

// MoveFile: gives a file (or a link itself) a new name in the same volume;
// fails when the new name exists. True on success.
bool FsMoveFile(const char* from, const char* to);
// RemoveDirectory: removes an empty folder. True on success.
bool FsRemoveFolder(const char* path);
// True when the name is a folder (a link to a folder counts).
bool FsIsFolder(const char* path);
// True when the folder path is absolute as this host spells paths: on
// Windows a drive letter, a colon and a backslash, or \\server\share\; on
// POSIX hosts a leading backslash (the root).
bool FsIsAbsoluteFolder(const char* folder);
// The bytes this user may still write on the volume that holds the
// existing folder, and its allocation unit. False when the host cannot tell.
bool FsGetFreeSpace(const char* folder, uint64_t* freeBytes, uint32_t* clusterBytes);

// Whether an existing file could be replaced right now.
enum FsFileUse {
    FS_FILE_FREE,    // it can be opened for writing with no sharing (or is a link, FIFO or device)
    FS_FILE_IN_USE,  // another program holds it open (a running client)
    FS_FILE_DENIED,  // it cannot be opened for another reason (a folder, no rights)
};
// Opens the file for writing, sharing nothing, and closes it again at once;
// nothing about the file changes. A read-only file is opened for reading
// instead, as the engine clears that attribute itself.
FsFileUse FsProbeFileUse(const char* path);

// The system's error code of the last failed call here (GetLastError,
// errno), and the system's own words for a code, for the setup's log.
long FsLastError();
CString FsErrorText(long osError);
