// Translation between the installer's ANSI paths and POSIX host paths.
#ifndef _WIN32
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "FileSystem.h"
#include "Mbcs.h"

bool ConvertText(const char* from, const char* to, const std::string& in, std::string* out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string result(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = &result[0];
    size_t dstLeft = result.size();
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || srcLeft != 0)
        return false;
    result.resize(result.size() - dstLeft);
    *out = result;
    return true;
}

namespace {

bool IsAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

}  // namespace

std::string HostPathFromAnsi(const char* ansiPath)
{
    const std::string ansi(ansiPath ? ansiPath : "");
    std::string host;
    if (IsAscii(ansi) || ConvertText("CP936", "UTF-8", ansi, &host)) {
        if (host.empty())
            host = ansi;
        // UTF-8 never uses 0x5C inside a multibyte character.
        for (char& c : host)
            if (c == '\\')
                c = '/';
        return host;
    }
    // Not valid GBK: keep the bytes, but still only map real separators.
    host = ansi;
    for (size_t i = 0; i < host.size();) {
        const int n = AfxCharLength(host.c_str() + i);
        if (n == 1 && host[i] == '\\')
            host[i] = '/';
        i += static_cast<size_t>(n);
    }
    return host;
}

bool AnsiFromHostPath(const std::string& hostPath, CString* ansiPath)
{
    std::string ansi;
    if (IsAscii(hostPath))
        ansi = hostPath;
    else if (!ConvertText("UTF-8", "CP936", hostPath, &ansi))
        return false;
    for (char& c : ansi)
        if (c == '/')
            c = '\\';
    // A '/' can only be a real separator in GBK output: ASCII bytes never
    // appear as the second byte of a converted character except 0x40-0x7E,
    // and '/' (0x2F) is outside that range.
    *ansiPath = CString(ansi.data(), static_cast<int>(ansi.size()));
    return true;
}
#endif
