// Translation between the installer's ANSI paths and POSIX host paths.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "FileSystem.h"
#include "HostPath.h"
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

std::string AfxUtf8FromText(const char* text)
{
    std::string utf8;
    return ConvertText("CP936", "UTF-8", text, &utf8) ? utf8 : std::string(text);
}

namespace {

bool IsAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

// The host name of one path component: UTF-8 when the bytes are GBK that
// the host can convert, else the bytes as they are. Only this component is
// affected either way, so nothing below a folder changes how the folder is
// spelled.
std::string HostComponent(const std::string& ansi)
{
    std::string host;
    if (IsAscii(ansi) || !ConvertText("CP936", "UTF-8", ansi, &host))
        return ansi;
    return host;
}

}  // namespace

std::string HostPathFromAnsi(const char* ansiPath)
{
    const std::string ansi(ansiPath ? ansiPath : "");
    // Split at the real separators only: a 0x5C (or 0x2F) byte that is the
    // second byte of a double-byte character belongs to its component.
    std::string host;
    size_t start = 0;
    for (size_t i = 0; i <= ansi.size();) {
        if (i == ansi.size() || ansi[i] == '\\' || ansi[i] == '/') {
            host += HostComponent(ansi.substr(start, i - start));
            if (i == ansi.size())
                break;
            host += '/';
            start = ++i;
            continue;
        }
        i += static_cast<size_t>(AfxCharLength(ansi.c_str() + i));
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
    //
    // The host's converter may drop a character without a word (glibc drops
    // the Unicode tag characters): a name is only taken when it comes back
    // unchanged, so that it never stands for another file.
    if (HostPathFromAnsi(ansi.c_str()) != hostPath)
        return false;
    *ansiPath = CString(ansi.data(), static_cast<int>(ansi.size()));
    return true;
}
