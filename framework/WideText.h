// The one boundary between the program's text and Windows (Windows only).
// Inside, every string is code page 936 bytes, escapes included (Mbcs.h);
// every call into Windows takes and gives UTF-16. Code page 936 is named
// here explicitly, never the system's code page, so the same bytes mean the
// same characters on an English, Japanese, Korean or Chinese Windows, and a
// name Windows gives back (a Hangul folder, an emoji) comes in whole.
#pragma once
#include <string>

#include "String.h"

// UTF-16 for the program's text.
std::wstring AfxToWide(const char* text);
inline std::wstring AfxToWide(const CString& text) { return AfxToWide(text.GetString()); }
// The program's text for UTF-16 from Windows (length -1: up to the NUL).
// Lossless: AfxToWide gives back exactly the same UTF-16, lone surrogates
// included.
CString AfxFromWide(const wchar_t* text, int length = -1);
inline CString AfxFromWide(const std::wstring& text)
{
    return AfxFromWide(text.c_str(), static_cast<int>(text.size()));
}
