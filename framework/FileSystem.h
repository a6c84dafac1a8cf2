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

#ifndef _WIN32
// The host path for an ANSI path, one component at a time: a component of
// GBK that the host can convert becomes UTF-8, any other keeps its bytes;
// the real separators become slashes. A 0x5C byte that is the second byte
// of a double-byte character is never a separator.
std::string HostPathFromAnsi(const char* ansiPath);
// The reverse, for names that come from the host (UTF-8 to GBK). Returns
// false unless the result converts back to exactly hostPath: a character
// without a GBK form, a backslash, or one the converter would drop.
bool AnsiFromHostPath(const std::string& hostPath, CString* ansiPath);
// Converts text between two iconv encodings ("CP936", "UTF-8"); false when
// a character has no form in the target or the input is not valid.
bool ConvertText(const char* from, const char* to, const std::string& in, std::string* out);
#endif
