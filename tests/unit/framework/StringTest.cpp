#include <gtest/gtest.h>

#include "framework/Mbcs.h"
#include "framework/String.h"
#include "framework/StringArray.h"

namespace {

// GBK bytes: "誠" is D5 5C and "錦" is E5 5C, both with a backslash as
// their second byte.
const char kSincere[] = "\xD5\x5C";
const char kBrocade[] = "\xE5\x5C";

TEST(CStringFind, StepsOverTrailBytesThatLookLikeBackslashes)
{
    AfxSetMultibyteCodePage(936);
    const CString path = CString("c:\\") + kSincere + "\\" + kBrocade + "x\\f.txt";
    // Separators at 2, 5 and 9; the 0x5C bytes at 4 and 7 belong to characters.
    EXPECT_EQ(path.Find('\\'), 2);
    EXPECT_EQ(path.Find('\\', 3), 5);
    EXPECT_EQ(path.Find('\\', 6), 9);
    EXPECT_EQ(path.Find('\\', 10), -1);
    EXPECT_EQ(path.ReverseFind('\\'), 9);
    EXPECT_EQ(path.Find("\\f"), 9);
}

TEST(CStringFind, SingleByteCodePageSeesEveryByte)
{
    AfxSetMultibyteCodePage(1252);
    const CString path = CString("a") + kSincere;
    EXPECT_EQ(path.Find('\\'), 2);
    AfxSetMultibyteCodePage(936);
    EXPECT_EQ(path.Find('\\'), -1);
}

// A character code page 936 cannot hold travels as a four-byte escape: a
// search steps over it whole, a digit inside it is no character of its own,
// and Windows counts it as one UTF-16 unit (two beyond the BMP).
TEST(CStringFind, EscapesAreWholeCharacters)
{
    AfxSetMultibyteCodePage(936);
    for (uint32_t codePoint : {0x80u, 0xD504u, 0xDC00u, 0x1F600u, 0x10FFFFu}) {
        char escape[AFX_ESCAPE_LENGTH + 1] = {};
        AfxEscapeCodePoint(codePoint, escape);
        EXPECT_EQ(AfxReadEscape(escape), static_cast<long>(codePoint));
        EXPECT_EQ(AfxCharLength(escape), AFX_ESCAPE_LENGTH);
    }
    char hangul[AFX_ESCAPE_LENGTH + 1] = {}, emoji[AFX_ESCAPE_LENGTH + 1] = {};
    AfxEscapeCodePoint(0xD504, hangul);
    AfxEscapeCodePoint(0x1F600, emoji);
    const CString path = CString("c:\\") + hangul + "1\\" + kSincere + emoji;
    EXPECT_EQ(path.Find('1'), 7);
    EXPECT_EQ(path.ReverseFind('\\'), 8);
    EXPECT_EQ(AfxUtf16Length(path), 3 + 1 + 1 + 1 + 1 + 2);
    // Code page 936 text never has this shape: its second bytes are 0x40 and above.
    EXPECT_EQ(AfxReadEscape("\xB5\xC7\xC2\xBC"), -1);
    EXPECT_EQ(AfxReadEscape("\x81\x30\x81"), -1);
}

TEST(CStringFind, EdgeCases)
{
    const CString s("abcabc");
    EXPECT_EQ(s.Find("bc"), 1);
    EXPECT_EQ(s.Find("bc", 2), 4);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(s.Find("c", 6), -1);
    EXPECT_EQ(s.Find("c", 7), -1);
    EXPECT_EQ(s.Find("c", -1), -1);
    EXPECT_EQ(CString().Find('a'), -1);
    // A lead byte at the very end does not swallow the terminator.
    const CString cut("ab\xD5");
    EXPECT_EQ(cut.Find('b'), 1);
}

TEST(CString, OneCharacterAssignmentAndComparison)
{
    CString mode;
    mode = static_cast<char>(2);
    EXPECT_EQ(mode.GetLength(), 1);
    EXPECT_EQ(mode[0], 2);
    CString two(static_cast<char>(2));
    EXPECT_TRUE(mode == two);
    mode = static_cast<char>(0);
    // Compared as NUL-terminated text, a one-character string holding 0 is empty.
    EXPECT_TRUE(mode == "");
    EXPECT_EQ(mode.GetLength(), 1);
}

TEST(CString, ExtractionClampsToTheString)
{
    const CString s("hello");
    EXPECT_EQ(s.Left(2), "he");
    EXPECT_EQ(s.Left(99), "hello");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Right(3), "llo");
    EXPECT_EQ(s.Mid(1, 3), "ell");
    EXPECT_EQ(s.Mid(4, 10), "o");
    EXPECT_EQ(s.Mid(5), "");
    EXPECT_EQ(s.Mid(2), "llo");
}

TEST(CString, TrimRightRemovesWhiteSpaceOnly)
{
    CString s("c:\\dir\\ \t\r\n");
    s.TrimRight();
    EXPECT_EQ(s, "c:\\dir\\");
    CString blank("   ");
    blank.TrimRight();
    EXPECT_TRUE(blank.IsEmpty());
    // A double-byte character whose second byte is 0x20 is not cut
    // (0x81 0x20 is not valid GBK, but the walk must still treat it as one character).
    CString odd("a\x81\x20");
    odd.TrimRight();
    EXPECT_EQ(odd.GetLength(), 3);
    CString left("  x ");
    left.TrimLeft();
    EXPECT_EQ(left, "x ");
}

TEST(CString, FormatAndBuffer)
{
    CString s;
    s.Format("%d%%", 28);
    EXPECT_EQ(s, "28%");
    s.Format("%s-%08d", "x", 42);
    EXPECT_EQ(s, "x-00000042");
    CString b;
    char* p = b.GetBuffer(10);
    p[0] = 'o';
    p[1] = 'k';
    p[2] = '\0';
    b.ReleaseBuffer();
    EXPECT_EQ(b, "ok");
    EXPECT_EQ(b.GetLength(), 2);
}

TEST(CString, ByteLengthConstructorKeepsExactBytes)
{
    const CString s("ab\0cd", 5);
    EXPECT_EQ(s.GetLength(), 5);
    EXPECT_EQ(s, "ab");  // comparisons stop at the NUL, as C strings do
    EXPECT_EQ(CString(nullptr), "");
}

TEST(CStringArray, SetAtGrowAppendsAndFillsGaps)
{
    CStringArray a;
    a.SetAtGrow(a.GetSize(), "one");
    a.SetAtGrow(a.GetSize(), "two");
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a.GetAt(1), "two");
    a.SetAtGrow(4, "five");
    ASSERT_EQ(a.GetSize(), 5);
    EXPECT_TRUE(a.GetAt(2).IsEmpty());
    EXPECT_EQ(a[4], "five");
}

}  // namespace
