// The engine's file-system calls on POSIX hosts, through HostPath.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "FileSystem.h"
#include "HostPath.h"

int OpenRegularFile(const std::string& host, int flags)
{
    // O_NOFOLLOW: a write never goes through a link; O_NONBLOCK: a FIFO
    // cannot block the open.
    if ((flags & O_ACCMODE) != O_RDONLY)
        flags |= O_NOFOLLOW;
    const int fd = ::open(host.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = err;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool FsIsSpecialFile(const char* path)
{
    struct stat st;
    return ::lstat(HostPathFromAnsi(path).c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool FileExists(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    // As FindFirstFile: the name itself, a link (even a dangling one) included.
    struct stat st;
    return ::lstat(HostPathFromAnsi(path).c_str(), &st) == 0;
}

bool FsDeleteFile(const char* path)
{
    const std::string host = HostPathFromAnsi(path);
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlink(host.c_str()) == 0;
}

namespace {

// Changes the mode of the name itself: a link has no mode of its own to
// change, and its target is never touched.
bool ChangeMode(const char* path, mode_t set, mode_t clear)
{
    const std::string host = HostPathFromAnsi(path);
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    const mode_t mode = ((st.st_mode & 07777) | set) & ~clear;
    return ::fchmodat(AT_FDCWD, host.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

bool FsClearAttributes(const char* path) { return ChangeMode(path, S_IWUSR, 0); }

bool FsSetReadOnly(const char* path) { return ChangeMode(path, 0, 0222); }

int FsMakeFolder(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return -1;
    return ::mkdir(HostPathFromAnsi(path).c_str(), 0777) == 0 ? 0 : -1;
}

CString FsModulePath()
{
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return CString();
    CString ansi;
    if (!AnsiFromHostPath(std::string(buffer, static_cast<size_t>(n)), &ansi))
        return CString();
    return ansi;
}

FILE* FsOpenStream(const char* path, const char* mode)
{
    // The stdio modes the engine and its tools use: r, w and a, with + and b.
    int flags = mode[0] == 'r' ? O_RDONLY : O_WRONLY | O_CREAT | (mode[0] == 'w' ? O_TRUNC : O_APPEND);
    for (const char* m = mode + 1; *m; ++m)
        if (*m == '+')
            flags = (flags & ~O_ACCMODE) | O_RDWR;
    const int fd = OpenRegularFile(HostPathFromAnsi(path), flags);
    if (fd < 0)
        return nullptr;
    FILE* stream = ::fdopen(fd, mode);
    if (!stream)
        ::close(fd);
    return stream;
}

bool FsMoveFile(const char* from, const char* to)
{
    const std::string hostFrom = HostPathFromAnsi(from);
    const std::string hostTo = HostPathFromAnsi(to);
    // Never over an existing name, as MoveFileA.
    if (::renameat2(AT_FDCWD, hostFrom.c_str(), AT_FDCWD, hostTo.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: the check and the move are two steps.
    struct stat st;
    if (::lstat(hostTo.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(hostFrom.c_str(), hostTo.c_str()) == 0;
}

bool FsRemoveFolder(const char* path) { return ::rmdir(HostPathFromAnsi(path).c_str()) == 0; }

bool FsIsFolder(const char* path)
{
    struct stat st;
    return ::stat(HostPathFromAnsi(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FsIsAbsoluteFolder(const char* folder) { return folder[0] == '\\'; }

bool FsGetFreeSpace(const char* folder, uint64_t* freeBytes, uint32_t* clusterBytes)
{
    struct statvfs vfs;
    if (::statvfs(HostPathFromAnsi(folder).c_str(), &vfs) != 0)
        return false;
    const unsigned long unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    *freeBytes = static_cast<uint64_t>(vfs.f_bavail) * unit;
    *clusterBytes = static_cast<uint32_t>(unit);
    return true;
}

FsFileUse FsProbeFileUse(const char* path)
{
    const std::string host = HostPathFromAnsi(path);
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0)
        return FS_FILE_FREE;  // gone meanwhile: nothing to replace
    if (S_ISDIR(st.st_mode))
        return FS_FILE_DENIED;
    if (!S_ISREG(st.st_mode))
        return FS_FILE_FREE;  // the engine replaces a link or FIFO, never writes through it
    // No sharing modes here; what a running program holds is its own
    // executable, which Linux refuses to open for writing (ETXTBSY).
    int fd = ::open(host.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ETXTBSY)
        return FS_FILE_IN_USE;
    if (fd < 0 && (errno == EACCES || errno == EPERM) && !(st.st_mode & S_IWUSR))
        fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);  // read-only: replaced by name
    if (fd < 0)
        return FS_FILE_DENIED;
    ::close(fd);
    return FS_FILE_FREE;
}

long FsLastError() { return errno; }

CString FsErrorText(long osError) { return CString(std::strerror(static_cast<int>(osError))); }
