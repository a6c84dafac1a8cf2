// The engine's file-system calls on Windows: the ANSI functions themselves.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>

#include "FileSystem.h"
#include "Win32File.h"

bool FileExists(const char* path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

bool FsIsSpecialFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FsDeleteFile(const char* path) { return DeleteFileA(path) != 0; }

bool FsClearAttributes(const char* path) { return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0; }

bool FsSetReadOnly(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return SetFileAttributesA(path, attributes | FILE_ATTRIBUTE_READONLY) != 0;
}

int FsMakeFolder(const char* path) { return _mkdir(path); }

CString FsModulePath()
{
    char buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return CString();
    return CString(buffer, static_cast<int>(n));
}

FILE* FsOpenStream(const char* path, const char* mode)
{
    // The stdio modes the engine and its tools use: r, w and a, with + and b.
    const bool update = std::strchr(mode, '+') != nullptr;
    DWORD access = mode[0] == 'r' ? GENERIC_READ : GENERIC_WRITE;
    if (update)
        access = GENERIC_READ | GENERIC_WRITE;
    const DWORD creation = mode[0] == 'r' ? OPEN_EXISTING : mode[0] == 'w' ? CREATE_ALWAYS : OPEN_ALWAYS;
    HANDLE h = OpenRegularFile(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, false, creation);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    int flags = (std::strchr(mode, 'b') ? _O_BINARY : _O_TEXT) | (update ? _O_RDWR : mode[0] == 'r' ? _O_RDONLY : _O_WRONLY);
    if (mode[0] == 'a')
        flags |= _O_APPEND;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    FILE* stream = _fdopen(fd, mode);
    if (!stream)
        _close(fd);
    return stream;
}
