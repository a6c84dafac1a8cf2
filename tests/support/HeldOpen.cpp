#include "HeldOpen.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "framework/HostPath.h"
#endif

HeldOpen::HeldOpen(const CString& path)
{
#ifdef _WIN32
    m_handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
#else
    namespace fs = std::filesystem;
    const std::string host = HostPathFromAnsi(path);
    fs::copy_file("/bin/sleep", host, fs::copy_options::overwrite_existing);
    fs::permissions(host, fs::perms::owner_all);
    m_child = fork();
    if (m_child == 0) {
        execl(host.c_str(), "sleep", "60", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Running once its image is the file.
    std::error_code ec;
    for (int i = 0; i < 2000 && fs::read_symlink("/proc/" + std::to_string(m_child) + "/exe", ec) != host; ++i)
        usleep(1000);
#endif
}

void HeldOpen::Release()
{
#ifdef _WIN32
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
#else
    if (m_child > 0) {
        kill(m_child, SIGKILL);
        waitpid(m_child, nullptr, 0);
    }
    m_child = -1;
#endif
}
