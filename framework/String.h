// CString: a multibyte string in the shape of the MFC class the installer
// was written against. Differences from MFC: the text lives in a
// std::string (no reference counting, no LoadString here), and embedded NUL
// bytes are kept by the byte-length constructor but every comparison and
// the conversion to const char* see the text up to the first NUL, as MFC's.
#pragma once
#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text);                 // null gives an empty string
    CString(const char* bytes, int length);    // exactly length bytes
    CString(char ch, int repeat = 1);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const char* text);
    CString& operator=(char ch);               // a one-character string

    // Size and access
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }
    char operator[](int index) const { return GetAt(index); }
    void SetAt(int index, char ch) { m_text[static_cast<size_t>(index)] = ch; }
    operator const char*() const { return m_text.c_str(); }
    const char* GetString() const { return m_text.c_str(); }

    // Concatenation
    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend CString operator+(const CString& a, char b);

    // Comparison as NUL-terminated texts, byte for byte (strcmp).
    int Compare(const char* text) const;
    friend bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
    friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
    friend bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }

    // Searches step through the text by characters of the multibyte code
    // page (Mbcs.h): a match counts only where a character begins.
    // They return the byte index of the match, or -1.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;

    // Extraction; counts are bytes and are clamped to the string.
    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    // Removes trailing / leading white space (blank, tab, CR, LF, VT, FF).
    void TrimRight();
    void TrimLeft();

    void Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void FormatV(const char* format, va_list args);

    // Raw buffer access, as MFC: GetBuffer gives at least minLength writable
    // bytes plus a NUL; ReleaseBuffer(-1) takes the text up to the first NUL.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    const std::string& str() const { return m_text; }

private:
    std::string m_text;
};
