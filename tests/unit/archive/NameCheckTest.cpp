#include <gtest/gtest.h>

#include <cstring>

#include "archive/SfxNameCheck.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

SfxNameProblem Check(const char* name) { return SfxCheckStoredName(name, static_cast<int>(std::strlen(name))); }

TEST(StoredNameCheck, AcceptsOrdinaryRelativeNames)
{
    EXPECT_EQ(Check("a.zup"), SFX_NAME_OK);
    EXPECT_EQ(Check("bin\\lang\\zh.ini.zup"), SFX_NAME_OK);
    EXPECT_EQ(Check("notes.zup.zup"), SFX_NAME_OK);
    EXPECT_EQ(Check("console.txt.zup"), SFX_NAME_OK);  // only whole device names are reserved
    EXPECT_EQ(Check("com10.zup"), SFX_NAME_OK);
    EXPECT_EQ(Check("a..b.zup"), SFX_NAME_OK);
    // "誠" (D5 5C) at the end of a folder name is a character, not a separator.
    EXPECT_EQ(Check("\xD5\x5C\\f.zup"), SFX_NAME_OK);
    EXPECT_EQ(Check("\xD5\x5C.zup"), SFX_NAME_OK);
    // A GBK character whose second byte is 0x7C ('|') is not a forbidden character.
    EXPECT_EQ(Check("\x81\x7C.txt.zup"), SFX_NAME_OK);
}

TEST(StoredNameCheck, RefusesNamesThatLeaveTheFolderOrNameDevices)
{
    EXPECT_EQ(Check(".zup"), SFX_NAME_TOO_SHORT);
    EXPECT_EQ(Check("\\x.zup"), SFX_NAME_ABSOLUTE);
    EXPECT_EQ(Check("/x.zup"), SFX_NAME_ABSOLUTE);
    EXPECT_EQ(Check("c:x.zup"), SFX_NAME_BAD_CHARACTER);
    EXPECT_EQ(Check("a?.zup"), SFX_NAME_BAD_CHARACTER);
    EXPECT_EQ(Check("..\\x.zup"), SFX_NAME_PARENT);
    EXPECT_EQ(Check("a/../x.zup"), SFX_NAME_PARENT);
    EXPECT_EQ(Check("...zup"), SFX_NAME_PARENT);  // installed as ".."
    EXPECT_EQ(Check("a\\..zup"), SFX_NAME_NO_FILE_NAME);  // installed as "a\."
    EXPECT_EQ(Check("CON.zup"), SFX_NAME_DEVICE);
    EXPECT_EQ(Check("a\\cOm7.txt.zup"), SFX_NAME_DEVICE);
    EXPECT_EQ(Check("nul \\x.zup"), SFX_NAME_DEVICE);
    EXPECT_EQ(Check("dir\\.zup"), SFX_NAME_NO_FILE_NAME);
    // The names of the engine's own files beside an installed one, in any
    // case and with what Windows drops, for a file or for a folder.
    EXPECT_EQ(Check("Rendo.exe.zbk.zup"), SFX_NAME_RESERVED);
    EXPECT_EQ(Check("a.ZUN \\b.zup"), SFX_NAME_RESERVED);
    EXPECT_EQ(Check("SfxUndo.zjn.zup"), SFX_NAME_RESERVED);
    EXPECT_EQ(Check("a.zbkx.zup"), SFX_NAME_OK);
    // The temporary file must lie beside the installed one, not below it.
    EXPECT_EQ(Check("a\\b.xz\\.up"), SFX_NAME_SUFFIX_SEPARATOR);
    EXPECT_EQ(Check("a\\bc/x.z"), SFX_NAME_SUFFIX_SEPARATOR);
    EXPECT_EQ(Check("a\\b.x\xD5\x5C"), SFX_NAME_OK);  // "誠" ends the suffix: a character, no separator
    // The reader never looks at the suffix: a stored name may end in a
    // separator, which would make its temporary file a folder.
    EXPECT_EQ(Check("sub\\y.biuser\\"), SFX_NAME_NO_FILE_NAME);
    char longName[1001];
    std::memset(longName, 'a', sizeof longName);
    EXPECT_EQ(SfxCheckStoredName(longName, 999), SFX_NAME_OK);
    EXPECT_EQ(SfxCheckStoredName(longName, 1000), SFX_NAME_TOO_LONG);
    EXPECT_EQ(SfxCheckStoredName("a\0b.zup", 7), SFX_NAME_HAS_NUL);
}

TEST(StoredNameCheck, RefusesBytesThatAreNotCodePage936)
{
    EXPECT_EQ(Check("\x81\x20.txt.zup"), SFX_NAME_NOT_GBK);  // lead byte before a blank
    EXPECT_EQ(Check("a\xFF.txt.zup"), SFX_NAME_NOT_GBK);
    EXPECT_EQ(Check("a.txt.zup\xB2"), SFX_NAME_NOT_GBK);      // lead byte at the end
    EXPECT_EQ(Check("\x80\xA1\x40.zup"), SFX_NAME_OK);      // the euro sign, a user-defined character
#ifdef _WIN32
    // The rule is Windows' own, for every character of one or two bytes.
    WCHAR wide[4];
    for (int b = 1; b < 256; ++b) {
        const char one[1] = {static_cast<char>(b)};
        const bool windows = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, one, 1, wide, 4) > 0;
        EXPECT_EQ(SfxIsCodePage936Text(one, 1), windows) << b;
        for (int t = 1; b >= 0x81 && t < 256; ++t) {
            const char two[2] = {static_cast<char>(b), static_cast<char>(t)};
            const bool pair = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, two, 2, wide, 4) == 1;
            EXPECT_EQ(SfxIsCodePage936Text(two, 2), pair) << b << " " << t;
        }
    }
#endif
}

TEST(StoredNameCheck, CaseInsensitiveEqualityFoldsLettersOnly)
{
    EXPECT_TRUE(SfxNamesEqualIgnoringCase("User\\Keep.pst", "user\\KEEP.pst"));
    EXPECT_FALSE(SfxNamesEqualIgnoringCase("a.txt", "a.txt2"));
    // Full-width A and a (A3 C1, A3 E1), Cyrillic Ж and ж (A7 A8, A7 D8):
    // one file each on Windows.
    EXPECT_TRUE(SfxNamesEqualIgnoringCase("\xA3\xC1.txt", "\xA3\xE1.TXT"));
    EXPECT_TRUE(SfxNamesEqualIgnoringCase("\xA7\xA8", "\xA7\xD8"));
    // A 0x61 second byte is not a letter 'a' (81 61 and 81 41 differ).
    EXPECT_FALSE(SfxNamesEqualIgnoringCase("\x81\x61", "\x81\x41"));
    EXPECT_FALSE(SfxNamesEqualIgnoringCase("\xD5\x5C", "\xD5\x7C"));
}

TEST(StoredNameCheck, SameFileAsWindowsOpensIt)
{
    EXPECT_TRUE(SfxNamesNameTheSameFile("User\\Keep.pst", "user\\KEEP.pst"));
    EXPECT_TRUE(SfxNamesNameTheSameFile("a/b.txt", "A\\B.TXT"));
    EXPECT_TRUE(SfxNamesNameTheSameFile("c.txt", "c.txt."));
    EXPECT_TRUE(SfxNamesNameTheSameFile("c.txt", "c.txt . "));
    EXPECT_TRUE(SfxNamesNameTheSameFile("sub\\d", "sub .\\d"));
    EXPECT_FALSE(SfxNamesNameTheSameFile("c.txt", "c.txtx"));
    EXPECT_FALSE(SfxNamesNameTheSameFile(".a", "a"));  // only the end of a name part
    EXPECT_FALSE(SfxNamesNameTheSameFile("a b", "ab"));
    // "誠" (D5 5C) ends in a backslash byte that separates nothing: the
    // dot after it still ends the name, the blank before it does not.
    EXPECT_TRUE(SfxNamesNameTheSameFile("\xD5\x5C.", "\xD5\x5C"));
    EXPECT_FALSE(SfxNamesNameTheSameFile("a \xD5\x5C", "a\xD5\x5C"));
}

}  // namespace
