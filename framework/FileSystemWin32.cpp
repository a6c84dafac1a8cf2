// The engine's file-system calls on Windows: the wide functions, the paths
// converted at the one boundary (WideText.h).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "FileSystem.h"
#include "Mbcs.h"
#include "WideText.h"
#include "Win32File.h"

bool FileExists(const char* path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(AfxToWide(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

bool FsIsSpecialFile(const char* path)
{
    const DWORD attributes = GetFileAttributesW(AfxToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FsDeleteFile(const char* path) { return DeleteFileW(AfxToWide(path).c_str()) != 0; }

bool FsClearAttributes(const char* path) { return SetFileAttributesW(AfxToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL) != 0; }

bool FsSetReadOnly(const char* path)
{
    const std::wstring wide = AfxToWide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return SetFileAttributesW(wide.c_str(), attributes | FILE_ATTRIBUTE_READONLY) != 0;
}

// _mkdir's contract: 0 when the folder was made, -1 otherwise.
int FsMakeFolder(const char* path) { return CreateDirectoryW(AfxToWide(path).c_str(), nullptr) ? 0 : -1; }

CString FsModulePath()
{
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return CString();
    return AfxFromWide(buffer, static_cast<int>(n));
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

bool FsMoveFile(const char* fromPath, const char* toPath)
{
    const std::wstring from = AfxToWide(fromPath), to = AfxToWide(toPath);
    if (MoveFileExW(from.c_str(), to.c_str(), 0))
        return true;
    // Some file systems (network shares) refuse to rename a read-only file:
    // the attribute is lifted for the move and set again on the new name.
    if (GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    const DWORD attributes = GetFileAttributesW(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesW(from.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return false;
    const bool moved = MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
    SetFileAttributesW(moved ? to.c_str() : from.c_str(), attributes);
    return moved;
}

long FsLastError() { return static_cast<long>(GetLastError()); }

CString FsErrorText(long osError)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(osError), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text ? text : L"", n);
    if (text)
        LocalFree(text);
    while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' '))
        words.pop_back();
    return words.empty() ? CString("unknown error") : AfxFromWide(words);
}

bool FsRemoveFolder(const char* path) { return RemoveDirectoryW(AfxToWide(path).c_str()) != 0; }

bool FsIsFolder(const char* path)
{
    const DWORD attributes = GetFileAttributesW(AfxToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// The next backslash that is a character of its own (never the second byte
// of a double-byte character), or null.
const char* NextSeparator(const char* s)
{
    for (; *s != '\0'; s += AfxCharLength(s))
        if (*s == '\\')
            return s;
    return nullptr;
}

}  // namespace

bool FsIsAbsoluteFolder(const char* folder)
{
    const unsigned char first = static_cast<unsigned char>(folder[0]);
    if ((first | 0x20) >= 'a' && (first | 0x20) <= 'z' && folder[1] == ':' && folder[2] == '\\')
        return true;
    // \\server\share\: both parts named; "." and "?" are the device and
    // raw namespaces, not servers.
    if (folder[0] != '\\' || folder[1] != '\\')
        return false;
    const char* server = folder + 2;
    const char* serverEnd = NextSeparator(server);
    if (!serverEnd || serverEnd == server || (serverEnd - server == 1 && (*server == '.' || *server == '?')))
        return false;
    const char* share = serverEnd + 1;
    const char* shareEnd = NextSeparator(share);
    return shareEnd && shareEnd != share;
}

bool FsGetFreeSpace(const char* folder, uint64_t* freeBytes, uint32_t* clusterBytes)
{
    const std::wstring wide = AfxToWide(folder);
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr))
        return false;
    // The cluster size belongs to the volume, asked at its root (a mounted
    // folder is a volume of its own).
    wchar_t root[MAX_PATH];
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetVolumePathNameW(wide.c_str(), root, MAX_PATH) ||
        !GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return false;
    *freeBytes = available.QuadPart;
    *clusterBytes = sectorsPerCluster * bytesPerSector;
    return true;
}

FsFileUse FsProbeFileUse(const char* path)
{
    const std::wstring wide = AfxToWide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FS_FILE_FREE;  // gone meanwhile: nothing to replace
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FS_FILE_DENIED;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return FS_FILE_FREE;  // the engine replaces a link, never writes through it
    // Sharing nothing fails while any other handle is open, whatever its
    // access: a running program's own image included.
    const DWORD access = (attributes & FILE_ATTRIBUTE_READONLY) ? GENERIC_READ : GENERIC_WRITE;
    HANDLE h = CreateFileW(wide.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        return (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION) ? FS_FILE_IN_USE : FS_FILE_DENIED;
    }
    CloseHandle(h);
    return FS_FILE_FREE;
}
