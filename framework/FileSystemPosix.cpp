#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "FileSystem.h"

bool FileExists(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return false;
    struct stat st;
    return ::stat(HostPathFromAnsi(path).c_str(), &st) == 0;
}

bool FsDeleteFile(const char* path)
{
    const std::string host = HostPathFromAnsi(path);
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlink(host.c_str()) == 0;
}

bool FsClearAttributes(const char* path)
{
    const std::string host = HostPathFromAnsi(path);
    struct stat st;
    if (::stat(host.c_str(), &st) != 0)
        return false;
    return ::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool FsSetReadOnly(const char* path)
{
    const std::string host = HostPathFromAnsi(path);
    struct stat st;
    if (::stat(host.c_str(), &st) != 0)
        return false;
    return ::chmod(host.c_str(), (st.st_mode & 07777) & ~static_cast<mode_t>(0222)) == 0;
}

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
    return std::fopen(HostPathFromAnsi(path).c_str(), mode);
}
#endif
