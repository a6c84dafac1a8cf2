// Multibyte code page of the string functions. Start-up selects the ANSI
// code page (936, GBK, on the systems the installer serves); string searches
// then step over double-byte characters, so the second byte of a character
// such as "誠" (D5 5C) is never taken for a backslash.
#pragma once

// Selects the code page used by CString's searches. 936 and the single-byte
// code pages are known everywhere; on Windows any code page works.
void AfxSetMultibyteCodePage(int codePage);
int AfxGetMultibyteCodePage();

// True when c starts a double-byte character in the selected code page.
bool AfxIsLeadByte(unsigned char c);

// Length in bytes of the character that starts at s (1 or 2; 1 for a lead
// byte followed by the terminating NUL).
inline int AfxCharLength(const char* s)
{
    return (AfxIsLeadByte(static_cast<unsigned char>(s[0])) && s[1] != '\0') ? 2 : 1;
}
