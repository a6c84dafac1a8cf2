// Which stored names an installer may unpack. The reader and the packing
// tool share these rules, so that sfxpack refuses exactly what an installer
// would treat as damage.
#pragma once
#include <string>

#include "framework/String.h"

enum SfxNameProblem {
    SFX_NAME_OK = 0,
    SFX_NAME_TOO_SHORT,        // fewer than 5 bytes: no room for a name and the suffix
    SFX_NAME_TOO_LONG,         // 1000 bytes or more: does not fit the reader's buffer
    SFX_NAME_HAS_NUL,          // a NUL byte would cut the name short
    SFX_NAME_NOT_GBK,          // not a sequence of code page 936 characters
    SFX_NAME_ABSOLUTE,         // starts with a backslash or slash (root, UNC, \\?\ forms)
    SFX_NAME_BAD_CHARACTER,    // a colon (drive, stream), a wildcard or a control character
    SFX_NAME_PARENT,           // a ".." component would leave the installation folder
    SFX_NAME_DEVICE,           // a component names a device (CON, NUL, COM1, ...)
    SFX_NAME_NO_FILE_NAME,     // the installed name ends in a separator
    SFX_NAME_RESERVED,         // a part ends in a suffix the engine gives its own files
    SFX_NAME_SUFFIX_SEPARATOR, // the 4-byte suffix holds a separator: the temporary file would lie below the installed one
};

// The engine's own files beside an installed file NAME, besides NAME.zup
// (the packed temporary, named as stored): NAME.zun holds the new content
// until it moves in, NAME.zbk the earlier file until the run ends, and the
// journal of a run lies in the installation folder. No part of an installed
// name may end in one of these suffixes, in any letter case, so that none of
// them can be another entry's file or folder.
constexpr char SFX_NEW_SUFFIX[] = ".zun";
constexpr char SFX_BACKUP_SUFFIX[] = ".zbk";
constexpr char SFX_JOURNAL_NAME[] = "sfxundo.zjn";
constexpr int SFX_WORK_SUFFIX_LENGTH = 4;

// Checks a stored name (GBK bytes, still carrying its 4-byte suffix).
SfxNameProblem SfxCheckStoredName(const char* bytes, int length);
const char* SfxNameProblemText(SfxNameProblem problem);

// True when the bytes are a sequence of code page 936 characters as Windows
// decodes them when it refuses invalid input: any byte below 0x81 alone, or
// a lead byte 0x81-0xFE followed by a second byte 0x40-0x7E or 0x80-0xFE.
// Names that are not would be spelled differently by every host.
bool SfxIsCodePage936Text(const char* bytes, int length);

// True when the component (no separators) is a reserved device name on
// Windows, with or without an extension, in any letter case.
bool SfxIsDeviceName(const char* component, int length);

// The name as the Windows file system compares it: letters of either case
// give the same key, ASCII and the GBK full-width Latin, Greek and Cyrillic
// letters and Roman numerals alike; every other byte stays as it is.
std::string SfxWindowsCaseKey(const std::string& gbk);

// Letter case ignored as the Windows file system ignores it.
bool SfxNamesEqualIgnoringCase(const CString& a, const CString& b);

// The relative path as Windows resolves it to a file: the case key above,
// a slash taken for a backslash, and the dots and blanks that end a name
// part dropped ("c.txt." and "c.txt " open "c.txt").
std::string SfxWindowsPathKey(const std::string& gbk);

// True when the two relative paths open the same file on Windows.
bool SfxNamesNameTheSameFile(const CString& a, const CString& b);
