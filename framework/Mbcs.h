// Multibyte text of the program. Inside the program every string is code
// page 936 (GBK): the stored names, the texts the user reads, the paths.
// String searches step over double-byte characters, so the second byte of a
// character such as "誠" (D5 5C) is never taken for a backslash.
//
// A character that code page 936 cannot hold (a Hangul folder name, an emoji
// in a user's name) still travels inside a string, as a four-byte escape:
// lead byte, digit, lead byte, digit (81-FE, 30-39, 81-FE, 30-39), a shape
// that code page 936 never uses (its second bytes are 40 and above), which
// numbers the character's Unicode code point. No byte of an escape is a
// backslash, slash, dot or colon, so separators and suffixes are found as
// before; the boundary to Windows (win32/WideText.h) turns escapes into the
// characters they stand for, so a path from the user or the registry is
// never narrowed.
#pragma once
#include <cstdint>
#include <string>

// Selects the code page used by CString's searches. 936 and the single-byte
// code pages are known everywhere; on Windows any code page works. The
// program selects 936 at start-up, whatever the system's code page.
void AfxSetMultibyteCodePage(int codePage);
int AfxGetMultibyteCodePage();

// True when c starts a double-byte character in the selected code page.
bool AfxIsLeadByte(unsigned char c);

// The escape of a code point from 0x80 to 0x10FFFF (a lone surrogate
// included, as Windows file names may hold one) into out[0..3].
const int AFX_ESCAPE_LENGTH = 4;
void AfxEscapeCodePoint(uint32_t codePoint, char out[AFX_ESCAPE_LENGTH]);
// The code point of the escape that starts at s, or -1 when none starts there.
long AfxReadEscape(const char* s);

// Length in bytes of the character that starts at s: 4 for an escape, 2
// for a double-byte character, else 1 (1 for a lead byte followed by the
// terminating NUL).
int AfxCharLength(const char* s);

// The length of the text in UTF-16 code units, as Windows counts its path
// limits: one for every character of code page 936, two for an escaped
// character beyond the Basic Multilingual Plane.
int AfxUtf16Length(const char* text);

// The text as UTF-8, for records read outside the program (the setup's
// log). Escapes become their characters; a byte that is no text is kept.
// (Defined by the host: WideTextWin32.cpp, HostPath.cpp.)
std::string AfxUtf8FromText(const char* text);
