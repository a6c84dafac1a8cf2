#include "HostText.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/FileSystem.h"
#endif

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

#ifdef _WIN32
const unsigned kGbk = 936;
#endif

#ifdef _WIN32
bool WideToCodePage(const std::wstring& wide, unsigned codePage, std::string* out)
{
    if (wide.empty()) {
        out->clear();
        return true;
    }
    BOOL usedDefault = FALSE;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* pUsed = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, pUsed);
    if (n <= 0 || usedDefault)
        return false;
    out->assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &(*out)[0], n, nullptr, pUsed);
    return !usedDefault;
}

std::wstring CodePageToWide(const std::string& text, unsigned codePage)
{
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}
#else
bool Iconv(const char* from, const char* to, const std::string& in, std::string* out)
{
    return ConvertText(from, to, in, out);
}
#endif

}  // namespace

namespace {

// One name of the host (no separators) as GBK, only when the GBK converts
// back to exactly that name: glibc's converter drops some characters (the
// Unicode tag characters) without an error, and Windows may put a
// look-alike or a question mark for a character GBK lacks.
bool GbkFromHostName(const fs::path::string_type& name, std::string* gbk)
{
#ifdef _WIN32
    return WideToCodePage(name, kGbk, gbk) && CodePageToWide(*gbk, kGbk) == name;
#else
    std::string back;
    return Iconv("UTF-8", "CP936", name, gbk) && Iconv("CP936", "UTF-8", *gbk, &back) && back == name;
#endif
}

}  // namespace

bool GbkFromRelativePath(const fs::path& relative, std::string* gbk)
{
    std::string joined;
    for (const fs::path& part : relative) {
        std::string bytes;
        if (!GbkFromHostName(part.native(), &bytes))
            return false;
        if (!joined.empty())
            joined += '\\';
        joined += bytes;
    }
    *gbk = joined;
    return true;
}

bool GbkFromUtf8(const std::string& utf8, std::string* gbk)
{
#ifdef _WIN32
    const std::wstring wide = CodePageToWide(utf8, CP_UTF8);
    if (wide.empty() && !utf8.empty())
        return false;
    return GbkFromHostName(wide, gbk);
#else
    return GbkFromHostName(utf8, gbk);
#endif
}

std::string Utf8FromGbk(const std::string& gbk)
{
    std::string utf8;
#ifdef _WIN32
    const std::wstring wide = CodePageToWide(gbk, kGbk);
    if ((!wide.empty() || gbk.empty()) && WideToCodePage(wide, CP_UTF8, &utf8))
        return utf8;
#else
    if (Iconv("CP936", "UTF-8", gbk, &utf8))
        return utf8;
#endif
    utf8.clear();
    for (unsigned char c : gbk) {
        if (c >= 0x20 && c < 0x7F) {
            utf8 += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            utf8 += escape;
        }
    }
    return utf8;
}

fs::path HostPathBelow(const fs::path& folder, const std::string& gbkRelative)
{
    fs::path result = folder;
#ifdef _WIN32
    std::wstring wide = CodePageToWide(gbkRelative, kGbk);
    result /= fs::path(wide).make_preferred();
#else
    // The engine's own spelling of the name, one component at a time.
    result /= fs::path(HostPathFromAnsi(gbkRelative.c_str()));
#endif
    return result;
}

bool AnsiFromHost(const fs::path& host, CString* ansi)
{
#ifdef _WIN32
    std::string bytes;
    if (!WideToCodePage(host.wstring(), CP_ACP, &bytes))
        return false;
    *ansi = CString(bytes.data(), static_cast<int>(bytes.size()));
    return true;
#else
    return AnsiFromHostPath(host.string(), ansi);
#endif
}

EngineSetupPath::~EngineSetupPath()
{
#ifndef _WIN32
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

bool EngineSetupPath::Open(const fs::path& setup, std::string* error)
{
#ifdef _WIN32
    // The engine opens files by ANSI names: the name itself when it is one,
    // else the short name Windows keeps for it.
    if (AnsiFromHost(setup, &m_ansi))
        return true;
    wchar_t shortName[MAX_PATH];
    const DWORD n = GetShortPathNameW(setup.c_str(), shortName, MAX_PATH);
    if (n > 0 && n < MAX_PATH && AnsiFromHost(fs::path(shortName), &m_ansi))
        return true;
    *error = Printable(setup) + ": the path cannot be named in the ANSI code page";
    return false;
#else
    // Opened here by the host's own name; the engine gets a name of this
    // open file, which no conversion can re-spell into another file's.
    m_fd = ::open(setup.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        *error = Printable(setup) + ": cannot open for reading: " + std::strerror(errno);
        return false;
    }
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(m_fd);
    if (::access(byDescriptor.c_str(), R_OK) == 0) {
        m_ansi = byDescriptor.c_str();
        return true;
    }
    // No /proc: the name itself, when it converts exactly.
    if (AnsiFromHost(setup, &m_ansi))
        return true;
    *error = Printable(setup) + ": the path cannot be named in the ANSI code page";
    return false;
#endif
}

bool EnterFolder(const fs::path& folder, std::string* error)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!ec)
        fs::current_path(folder, ec);
    if (ec) {
        *error = Printable(folder) + ": " + ec.message();
        return false;
    }
    return true;
}

std::string Printable(const fs::path& host)
{
#ifdef _WIN32
    std::string utf8;
    WideToCodePage(host.wstring(), CP_UTF8, &utf8);
    return utf8;
#else
    return host.string();
#endif
}

FILE* OpenHostFile(const fs::path& host, const char* mode)
{
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(host.c_str(), wideMode.c_str());
#else
    return std::fopen(host.c_str(), mode);
#endif
}

}  // namespace sfxpack
