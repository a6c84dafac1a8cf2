// CFile on POSIX hosts: a file descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "File.h"
#include "FileSystem.h"
#include "HostPath.h"

namespace {

int CauseFromErrno(int err, int fallback)
{
    switch (err) {
    case ENOENT: return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return CFileException::badPath;
    case EMFILE:
    case ENFILE: return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return CFileException::accessDenied;
    case ENOSPC:
    case EDQUOT: return CFileException::diskFull;
    case EIO: return CFileException::hardIO;
    case EINVAL: return fallback;
    default: return fallback;
    }
}

}  // namespace

CFile::~CFile() { Abort(); }

bool CFile::IsOpen() const { return m_hFile >= 0; }

BOOL CFile::Open(const char* path, UINT openFlags, CFileException* error)
{
    Abort();
    m_strFileName = path;
    int flags = 0;
    switch (openFlags & 3) {
    case modeRead: flags |= O_RDONLY; break;
    case modeWrite: flags |= O_WRONLY; break;
    default: flags |= O_RDWR; break;
    }
    if (openFlags & modeCreate) {
        flags |= O_CREAT;
        if (!(openFlags & modeNoTruncate))
            flags |= O_TRUNC;
    }
    const int fd = OpenRegularFile(HostPathFromAnsi(path), flags);
    if (fd < 0) {
        const int err = errno;
        if (error)
            *error = CFileException(CauseFromErrno(err, CFileException::accessDenied), err, path);
        return FALSE;
    }
    m_hFile = fd;
    return TRUE;
}

void CFile::ThrowLastError(int fallbackCause) const
{
    const int err = errno;
    throw CFileException(CauseFromErrno(err, fallbackCause), err, m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    size_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(static_cast<int>(m_hFile), out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError(CFileException::hardIO);
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<UINT>(done);
}

void CFile::Write(const void* buffer, UINT count)
{
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    size_t done = 0;
    const char* in = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(static_cast<int>(m_hFile), in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError(CFileException::hardIO);
        }
        if (n == 0)
            throw CFileException(CFileException::diskFull, ENOSPC, m_strFileName);
        done += static_cast<size_t>(n);
    }
}

LONG CFile::Seek(LONG offset, UINT from)
{
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, EBADF, m_strFileName);
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(static_cast<int>(m_hFile), static_cast<off_t>(offset), whence);
    if (pos < 0)
        ThrowLastError(CFileException::badSeek);
    if (pos > 0x7FFFFFFF)
        throw CFileException(CFileException::badSeek, EOVERFLOW, m_strFileName);
    return static_cast<LONG>(pos);
}

int64_t CFile::GetLength() const
{
    struct stat st;
    if (m_hFile < 0 || fstat(static_cast<int>(m_hFile), &st) != 0)
        throw CFileException(CFileException::invalidFile, errno, m_strFileName);
    return static_cast<int64_t>(st.st_size);
}

void CFile::Close()
{
    if (m_hFile < 0)
        return;
    const int fd = static_cast<int>(m_hFile);
    m_hFile = -1;
    if (::close(fd) != 0)
        ThrowLastError(CFileException::hardIO);
}

void CFile::Abort()
{
    if (m_hFile >= 0)
        ::close(static_cast<int>(m_hFile));
    m_hFile = -1;
}

void CFile::Rename(const char* oldName, const char* newName)
{
    if (::rename(HostPathFromAnsi(oldName).c_str(), HostPathFromAnsi(newName).c_str()) != 0) {
        const int err = errno;
        throw CFileException(CauseFromErrno(err, CFileException::genericException), err, oldName);
    }
}

void CFile::Remove(const char* fileName)
{
    if (::unlink(HostPathFromAnsi(fileName).c_str()) != 0) {
        const int err = errno;
        throw CFileException(CauseFromErrno(err, CFileException::genericException), err, fileName);
    }
}
