// Text between UTF-16 and a code page named by the caller, never the
// system's: 936 for the installer's GBK names and texts, CP_UTF8 for the
// sample client's marker. Windows only.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <string>

inline std::wstring DecodeText(UINT codePage, const std::string& bytes)
{
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
    return text;
}

inline std::string EncodeText(UINT codePage, const std::wstring& text)
{
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

// The client's UTF-8 marker in the GBK of the tests that compare it with
// their own texts.
inline std::string GbkFromUtf8(const std::string& utf8) { return EncodeText(936, DecodeText(CP_UTF8, utf8)); }
#endif
