#ifdef _WIN32
#include <direct.h>
#include <windows.h>

#include "FileSystem.h"

bool FileExists(const char* path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
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

FILE* FsOpenStream(const char* path, const char* mode) { return fopen(path, mode); }
#endif
