// The boundary to Windows: code page 936 named explicitly, whatever the
// system's code page, and nothing Windows gives lost on the way in and out.
#include <gtest/gtest.h>

#include <string>

#include "framework/WideText.h"

namespace {

TEST(WideText, GbkTextIsReadAsCodePage936AndAnyUtf16ComesBackWhole)
{
    // 936's own bytes: "誠" (D5 5C), the euro sign's single byte 80.
    EXPECT_EQ(L"c:\\\u8AA0\\\u20AC", AfxToWide("c:\\\xD5\x5C\\\x80"));
    EXPECT_EQ(std::string("c:\\\xD5\x5C\\\x80"), AfxFromWide(L"c:\\\u8AA0\\\u20AC").str());
    // Hangul, an emoji (a surrogate pair), a lone surrogate, a NUL-free mix.
    for (const std::wstring& wide : {std::wstring(L"C:\\\uD504\uB85C\uADF8\uB7A8 \u901A\u8BAF"),
                                     std::wstring(L"\U0001F600x"), std::wstring(L"a\xDC00" L"b"),
                                     std::wstring(L"\u00E9\u0416\u30A2\u0E01")}) {
        const CString text = AfxFromWide(wide);
        EXPECT_EQ(wide, AfxToWide(text));
        EXPECT_EQ(-1, text.Find('\\', 3)) << "no separator appears inside an escape";
    }
}

}  // namespace
