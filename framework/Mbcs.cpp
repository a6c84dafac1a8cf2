#include "Mbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
int g_codePage = 936;

bool IsEscapeLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
}  // namespace

void AfxSetMultibyteCodePage(int codePage) { g_codePage = codePage; }
int AfxGetMultibyteCodePage() { return g_codePage; }

bool AfxIsLeadByte(unsigned char c)
{
    if (g_codePage == 936)
        return c >= 0x81 && c <= 0xFE;
#ifdef _WIN32
    return IsDBCSLeadByteEx(static_cast<UINT>(g_codePage), c) != 0;
#else
    return false;
#endif
}

void AfxEscapeCodePoint(uint32_t codePoint, char out[AFX_ESCAPE_LENGTH])
{
    // Positional, as GB18030 numbers its four-byte codes: 12600 = 10 * 126 * 10.
    out[0] = static_cast<char>(0x81 + codePoint / 12600);
    out[1] = static_cast<char>('0' + codePoint / 1260 % 10);
    out[2] = static_cast<char>(0x81 + codePoint / 10 % 126);
    out[3] = static_cast<char>('0' + codePoint % 10);
}

long AfxReadEscape(const char* s)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(s);
    // Each test stops at a NUL, so a string ending part way is never read past.
    if (!IsEscapeLead(b[0]) || !IsDigit(b[1]) || !IsEscapeLead(b[2]) || !IsDigit(b[3]))
        return -1;
    const long codePoint = (b[0] - 0x81) * 12600L + (b[1] - '0') * 1260L + (b[2] - 0x81) * 10L + (b[3] - '0');
    return codePoint >= 0x80 && codePoint <= 0x10FFFF ? codePoint : -1;
}

int AfxCharLength(const char* s)
{
    if (!AfxIsLeadByte(static_cast<unsigned char>(s[0])) || s[1] == '\0')
        return 1;
    if (g_codePage == 936 && AfxReadEscape(s) >= 0)
        return AFX_ESCAPE_LENGTH;
    return 2;
}

int AfxUtf16Length(const char* text)
{
    int units = 0;
    for (const char* s = text; *s != '\0'; s += AfxCharLength(s)) {
        const long escaped = AfxCharLength(s) == AFX_ESCAPE_LENGTH ? AfxReadEscape(s) : -1;
        units += escaped >= 0x10000 ? 2 : 1;
    }
    return units;
}
