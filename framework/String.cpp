#include "String.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "Mbcs.h"

CString::CString(const char* text) : m_text(text ? text : "") {}

CString::CString(const char* bytes, int length)
    : m_text(bytes && length > 0 ? std::string(bytes, static_cast<size_t>(length)) : std::string())
{
}

CString::CString(char ch, int repeat) : m_text(repeat > 0 ? static_cast<size_t>(repeat) : 0, ch) {}

CString& CString::operator=(const char* text)
{
    m_text = text ? text : "";
    return *this;
}

CString& CString::operator=(char ch)
{
    m_text.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& other)
{
    m_text += other.m_text;
    return *this;
}

CString& CString::operator+=(const char* text)
{
    if (text)
        m_text += text;
    return *this;
}

CString& CString::operator+=(char ch)
{
    m_text += ch;
    return *this;
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const char* b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b)
{
    CString r(a);
    r += b;
    return r;
}

int CString::Compare(const char* text) const
{
    return std::strcmp(m_text.c_str(), text ? text : "");
}

int CString::Find(char ch, int start) const
{
    const char s[2] = {ch, '\0'};
    return Find(s, start);
}

int CString::Find(const char* sub, int start) const
{
    // Searches the text up to its first NUL, as the C string functions do.
    const char* text = m_text.c_str();
    const int length = static_cast<int>(std::strlen(text));
    if (start < 0 || start > length || sub == nullptr)
        return -1;
    const size_t subLength = std::strlen(sub);
    if (sub[0] == '\0')
        return start;  // an empty needle matches where the search starts
    for (int i = start; i < length; i += AfxCharLength(text + i)) {
        if (std::strncmp(text + i, sub, subLength) == 0)
            return i;
    }
    return -1;
}

int CString::ReverseFind(char ch) const
{
    const char* text = m_text.c_str();
    int found = -1;
    for (int i = 0; text[i] != '\0'; i += AfxCharLength(text + i)) {
        if (text[i] == ch)
            found = i;
    }
    return found;
}

CString CString::Left(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_text.data(), count);
}

CString CString::Right(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_text.data() + (GetLength() - count), count);
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (first >= GetLength() || count <= 0)
        return CString();
    if (count > GetLength() - first)
        count = GetLength() - first;
    return CString(m_text.data() + first, count);
}

static bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void CString::TrimRight()
{
    // Walk by characters so that a trailing byte of a double-byte character
    // that happens to equal a blank is never cut off.
    const char* text = m_text.c_str();
    int keep = 0;
    for (int i = 0; i < GetLength();) {
        const int n = (i + 1 < GetLength() && AfxIsLeadByte(static_cast<unsigned char>(text[i]))) ? 2 : 1;
        if (!(n == 1 && IsSpace(text[i])))
            keep = i + n;
        i += n;
    }
    m_text.resize(static_cast<size_t>(keep));
}

void CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_text.size() && IsSpace(m_text[i]))
        ++i;
    m_text.erase(0, i);
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_text.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    m_text.assign(buffer.data(), static_cast<size_t>(needed));
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength));
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    if (newLength > GetLength())
        newLength = GetLength();
    m_text.resize(static_cast<size_t>(newLength));
}
