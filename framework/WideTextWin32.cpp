#include "WideText.h"

#include <windows.h>

#include "Mbcs.h"

namespace {

const UINT kTextCodePage = 936;

void AppendCodePoint(std::wstring& out, unsigned long codePoint)
{
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
        out += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
        out += static_cast<wchar_t>(codePoint);
    }
}

// Converts a run of code page 936 bytes (no escape in it).
void AppendRun(std::wstring& out, const char* run, int length)
{
    if (length <= 0)
        return;
    const int n = ::MultiByteToWideChar(kTextCodePage, 0, run, length, nullptr, 0);
    if (n <= 0)
        return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    ::MultiByteToWideChar(kTextCodePage, 0, run, length, &out[at], n);
}

// The character's bytes in code page 936 when it has some that read back as
// the same character (no best fit, no default character); else false.
bool InCodePage(const wchar_t* unit, int units, char bytes[2], int* length)
{
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, unit, units, bytes, 2, nullptr,
                                        &usedDefault);
    if (n <= 0 || usedDefault)
        return false;
    wchar_t back[2];
    if (::MultiByteToWideChar(kTextCodePage, MB_ERR_INVALID_CHARS, bytes, n, back, 2) != units ||
        back[0] != unit[0] || (units == 2 && back[1] != unit[1]))
        return false;
    *length = n;
    return true;
}

}  // namespace

std::wstring AfxToWide(const char* text)
{
    std::wstring out;
    if (!text)
        return out;
    const char* run = text;
    const char* s = text;
    while (*s != '\0') {
        const long escaped = AfxReadEscape(s);
        if (escaped < 0) {
            // A lead byte and its trail byte stay together in the run.
            s += (static_cast<unsigned char>(*s) >= 0x81 && static_cast<unsigned char>(*s) <= 0xFE && s[1]) ? 2 : 1;
            continue;
        }
        AppendRun(out, run, static_cast<int>(s - run));
        AppendCodePoint(out, static_cast<unsigned long>(escaped));
        s += AFX_ESCAPE_LENGTH;
        run = s;
    }
    AppendRun(out, run, static_cast<int>(s - run));
    return out;
}

std::string AfxUtf8FromText(const char* text)
{
    const std::wstring wide = AfxToWide(text);
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

CString AfxFromWide(const wchar_t* text, int length)
{
    if (!text)
        return CString();
    if (length < 0)
        length = static_cast<int>(::lstrlenW(text));
    std::string out;
    out.reserve(static_cast<size_t>(length));
    for (int i = 0; i < length;) {
        const wchar_t c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // A surrogate pair is one character; a lone surrogate is one of its own.
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        const int units = pair ? 2 : 1;
        char bytes[2];
        int n = 0;
        if (!pair && InCodePage(text + i, units, bytes, &n)) {
            out.append(bytes, static_cast<size_t>(n));
        } else {
            const unsigned long codePoint =
                pair ? 0x10000 + ((static_cast<unsigned long>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00) : c;
            char escape[AFX_ESCAPE_LENGTH];
            AfxEscapeCodePoint(static_cast<uint32_t>(codePoint), escape);
            out.append(escape, AFX_ESCAPE_LENGTH);
        }
        i += units;
    }
    return CString(out.c_str(), static_cast<int>(out.size()));
}
