#include "TempDir.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "framework/FileSystem.h"
#include "framework/HostPath.h"
#endif

namespace fs = std::filesystem;

namespace {
std::atomic<int> g_counter{0};

#ifdef _WIN32
fs::path HostPath(const CString& ansi)
{
    wchar_t wide[1024];
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 1024);
    return fs::path(std::wstring(wide, n > 0 ? n - 1 : 0));
}
#else
fs::path HostPath(const CString& ansi) { return fs::path(HostPathFromAnsi(ansi)); }
#endif

void MakeWritable(const fs::path& root)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
#ifdef _WIN32
        SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
#else
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
#endif
    }
}
}  // namespace

TempDir::TempDir()
{
#ifdef _WIN32
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    const unsigned long pid = GetCurrentProcessId();
#else
    const char* env = std::getenv("TMPDIR");
    std::string base = env && *env ? env : "/tmp";
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "sfxtest-%lu-%d", pid, g_counter++);
        CString candidate;
#ifdef _WIN32
        candidate = CString(base) + name;
#else
        CString ansiBase;
        AnsiFromHostPath(base, &ansiBase);
        candidate = ansiBase + "\\" + name;
#endif
        std::error_code ec;
        if (fs::create_directory(HostPath(candidate), ec)) {
            m_path = candidate;
            return;
        }
    }
}

TempDir::~TempDir()
{
    const fs::path root = HostPath(m_path);
    MakeWritable(root);
    std::error_code ec;
    fs::remove_all(root, ec);
}
