// The host-neutral half of HostText.h; HostPosix.cpp and HostWin32.cpp hold
// the rest.
#include "HostText.h"

#include <cstdio>
#include <system_error>

namespace fs = std::filesystem;

namespace sfxpack {

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

std::string Utf8FromGbk(const std::string& gbk)
{
    std::string utf8;
    if (ConvertGbkToUtf8(gbk, &utf8))
        return utf8;
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

}  // namespace sfxpack
