#include "HostText.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

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

bool GbkFromRelativePath(const fs::path& relative, std::string* gbk)
{
    std::string joined;
    for (const fs::path& part : relative) {
        std::string bytes;
#ifdef _WIN32
        if (!WideToCodePage(part.wstring(), kGbk, &bytes))
            return false;
#else
        if (!Iconv("UTF-8", "CP936", part.string(), &bytes))
            return false;
#endif
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
    return WideToCodePage(wide, kGbk, gbk);
#else
    return Iconv("UTF-8", "CP936", utf8, gbk);
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
    std::string utf8;
    if (!Iconv("CP936", "UTF-8", gbkRelative, &utf8))
        utf8 = gbkRelative;
    for (char& c : utf8)
        if (c == '\\')
            c = '/';
    result /= fs::path(utf8);
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
