// CFile on Windows: a file HANDLE, opened by its UTF-16 name.
#include <windows.h>

#include "File.h"
#include "WideText.h"
#include "Win32File.h"

namespace {

int CauseFromWin32(DWORD err, int fallback)
{
    switch (err) {
    case ERROR_FILE_NOT_FOUND: return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return CFileException::accessDenied;
    case ERROR_SHARING_VIOLATION: return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION: return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return CFileException::diskFull;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK: return CFileException::badSeek;
    case ERROR_HANDLE_EOF: return CFileException::endOfFile;
    default: return fallback;
    }
}

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool IsReparsePoint(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

void* OpenRegularFile(const char* path, unsigned long access, unsigned long share, bool inherit, unsigned long creation)
{
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (access & GENERIC_WRITE)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;  // the link itself, refused below
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, inherit ? TRUE : FALSE};
    HANDLE h = CreateFileW(AfxToWide(path).c_str(), access, share, &sa, creation, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return h;
    // Only a file on disk: not a link, not a pipe or a device.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        IsReparsePoint(info.dwFileAttributes) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(h);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

CFile::~CFile() { Abort(); }

bool CFile::IsOpen() const { return m_hFile != 0 && AsHandle(m_hFile) != INVALID_HANDLE_VALUE; }

BOOL CFile::Open(const char* path, UINT openFlags, CFileException* error)
{
    Abort();
    m_strFileName = path;
    DWORD access = 0;
    switch (openFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    // The framework's share flags: compatibility and exclusive both share nothing.
    DWORD share = 0;
    switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;
    }
    DWORD creation = OPEN_EXISTING;
    if (openFlags & modeCreate)
        creation = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE h = static_cast<HANDLE>(OpenRegularFile(path, access, share, !(openFlags & modeNoInherit), creation));
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        if (error)
            *error = CFileException(CauseFromWin32(err, CFileException::genericException), static_cast<long>(err), path);
        return FALSE;
    }
    m_hFile = reinterpret_cast<intptr_t>(h);
    return TRUE;
}

void CFile::ThrowLastError(int fallbackCause) const
{
    const DWORD err = GetLastError();
    throw CFileException(CauseFromWin32(err, fallbackCause), static_cast<long>(err), m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
    if (count == 0)
        return 0;
    DWORD read = 0;
    if (!ReadFile(AsHandle(m_hFile), buffer, count, &read, nullptr))
        ThrowLastError(CFileException::hardIO);
    return static_cast<UINT>(read);
}

void CFile::Write(const void* buffer, UINT count)
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
    if (count == 0)
        return;
    DWORD written = 0;
    if (!WriteFile(AsHandle(m_hFile), buffer, count, &written, nullptr))
        ThrowLastError(CFileException::hardIO);
    if (written != count)
        throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

LONG CFile::Seek(LONG offset, UINT from)
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
    const DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER move;
    move.QuadPart = offset;
    LARGE_INTEGER pos;
    if (!SetFilePointerEx(AsHandle(m_hFile), move, &pos, method))
        ThrowLastError(CFileException::badSeek);
    if (pos.QuadPart > 0x7FFFFFFF)
        throw CFileException(CFileException::badSeek, ERROR_SEEK, m_strFileName);
    return static_cast<LONG>(pos.QuadPart);
}

int64_t CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(AsHandle(m_hFile), &size))
        throw CFileException(CFileException::invalidFile, static_cast<long>(GetLastError()), m_strFileName);
    return size.QuadPart;
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    HANDLE h = AsHandle(m_hFile);
    m_hFile = -1;
    if (!CloseHandle(h))
        ThrowLastError(CFileException::hardIO);
}

void CFile::Abort()
{
    if (IsOpen())
        CloseHandle(AsHandle(m_hFile));
    m_hFile = -1;
}

void CFile::Rename(const char* oldName, const char* newName)
{
    if (!MoveFileW(AfxToWide(oldName).c_str(), AfxToWide(newName).c_str())) {
        const DWORD err = GetLastError();
        throw CFileException(CauseFromWin32(err, CFileException::genericException), static_cast<long>(err), oldName);
    }
}

void CFile::Remove(const char* fileName)
{
    if (!DeleteFileW(AfxToWide(fileName).c_str())) {
        const DWORD err = GetLastError();
        throw CFileException(CauseFromWin32(err, CFileException::genericException), static_cast<long>(err), fileName);
    }
}
