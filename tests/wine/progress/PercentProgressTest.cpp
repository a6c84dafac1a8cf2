// The percent progress bar in a real window on the virtual display: what it
// paints is read back from the window and checked column by column.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Capture.h"
#include "ui/PercentProgressCtrl.h"

namespace {

// Four colours that stay apart even where the text is anti-aliased:
// blends of navy and yellow keep red == green and blue <= 128; blends of
// white and red keep red at 255 and green == blue.
const COLORREF kFill = RGB(0, 0, 128);
const COLORREF kTextOnFill = RGB(255, 255, 0);
const COLORREF kEmpty = RGB(255, 255, 255);
const COLORREF kTextOnEmpty = RGB(255, 0, 0);

bool Near(int a, int b) { return a - b <= 2 && b - a <= 2; }
bool OnFillSide(COLORREF c) { return Near(GetRValue(c), GetGValue(c)) && GetBValue(c) <= 130; }
bool OnEmptySide(COLORREF c) { return GetRValue(c) >= 253 && Near(GetGValue(c), GetBValue(c)); }
bool IsTextOnFill(COLORREF c) { return OnFillSide(c) && GetRValue(c) >= 128; }
bool IsTextOnEmpty(COLORREF c) { return OnEmptySide(c) && GetGValue(c) <= 128; }

class TestBar : public CPercentProgressCtrl {
public:
    int m_nPaints = 0;
    int m_nErases = 0;
    void UseTestColours()
    {
        m_crFill = kFill;
        m_crEmpty = kEmpty;
        m_crTextOnEmpty = kTextOnEmpty;
        m_crTextOnFill = kTextOnFill;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PAINT)
            ++m_nPaints;
        if (message == WM_ERASEBKGND)
            ++m_nErases;
        return CPercentProgressCtrl::WindowProc(message, wParam, lParam);
    }
};

class PercentProgressTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 20;

    // One host window for all cases: creating and destroying top-level
    // windows is slow under Wine without a window manager.
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = "SfxProgressHost";
        RegisterClassA(&wc);
        s_hHost = CreateWindowExA(0, "SfxProgressHost", "progress", WS_POPUP | WS_VISIBLE | WS_BORDER, 40, 40,
                                  kWidth + 40, kHeight + 40, nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(s_hHost);
        PumpMessages();
    }

    void SetUp() override
    {
        ASSERT_NE(s_hHost, nullptr);
        m_hHost = s_hHost;
        // A bordered control whose client area is kWidth x kHeight, as in
        // the dialog template.
        m_hCtrl = CreateWindowExA(0, PROGRESS_CLASSA, "Progress1", WS_CHILD | WS_VISIBLE | WS_BORDER, 19, 19,
                                  kWidth + 2, kHeight + 2, m_hHost, reinterpret_cast<HMENU>(1003),
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_hCtrl, nullptr);
        UpdateWindow(m_hHost);
        PumpMessages();
        ASSERT_TRUE(m_bar.SubclassWindow(m_hCtrl));
        RECT rc;
        GetClientRect(m_hCtrl, &rc);
        ASSERT_EQ(kWidth, rc.right);
        ASSERT_EQ(kHeight, rc.bottom);
    }
    void TearDown() override
    {
        if (m_hCtrl)
            DestroyWindow(m_hCtrl);
        PumpMessages();
    }

    // Paints the bar at the position (the width is forced to be recomputed).
    Image PaintAt(int pos)
    {
        SendMessageA(m_hCtrl, WM_SIZE, SIZE_RESTORED, MAKELPARAM(kWidth, kHeight));
        m_bar.SetPos(pos);
        return CaptureClient(m_hCtrl);
    }
    Image PaintWithText(int pos, const char* text)
    {
        SendMessageA(m_hCtrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        Image image = PaintAt(pos);
        SendMessageA(m_hCtrl, WM_SETTEXT, 0, 0);
        UpdateWindow(m_hCtrl);
        return image;
    }

    // Every column left of edge is on the fill side, every other on the
    // empty side; counts the text pixels on each side.
    void ExpectSplitAt(const Image& image, int edge, int* textOnFill, int* textOnEmpty)
    {
        *textOnFill = *textOnEmpty = 0;
        for (int x = 0; x < image.width; ++x) {
            for (int y = 0; y < image.height; ++y) {
                const COLORREF c = image.At(x, y);
                if (x < edge) {
                    ASSERT_TRUE(OnFillSide(c)) << "x=" << x << " y=" << y << " colour " << std::hex << c;
                    *textOnFill += IsTextOnFill(c);
                } else {
                    ASSERT_TRUE(OnEmptySide(c)) << "x=" << x << " y=" << y << " colour " << std::hex << c;
                    *textOnEmpty += IsTextOnEmpty(c);
                }
            }
        }
    }

    static HWND s_hHost;
    HWND m_hHost = nullptr;
    HWND m_hCtrl = nullptr;
    TestBar m_bar;
};

HWND PercentProgressTest::s_hHost = nullptr;

TEST(PercentProgressNoWindow, SetPosWithoutWindowReturnsMinusOneAndStoresNothing)
{
    CPercentProgressCtrl bar;
    EXPECT_EQ(-1, bar.SetPos(50));
    EXPECT_EQ(0, bar.GetPos());
}

TEST_F(PercentProgressTest, FillEndsAtComputedWidthAndTextSplitsAtTheEdge)
{
    m_bar.UseTestColours();
    int onFill = 0, onEmpty = 0;

    ExpectSplitAt(PaintAt(0), 0, &onFill, &onEmpty);
    EXPECT_GT(onEmpty, 0) << "position 0: the whole text over the empty part";

    ExpectSplitAt(PaintAt(29), 57, &onFill, &onEmpty);  // trunc(0.29 * 200) = 57

    // The centred text straddles the edge at 50%: both colours show.
    ExpectSplitAt(PaintAt(50), 100, &onFill, &onEmpty);
    EXPECT_GT(onFill, 0);
    EXPECT_GT(onEmpty, 0);

    ExpectSplitAt(PaintAt(100), kWidth, &onFill, &onEmpty);
    EXPECT_GT(onFill, 0) << "position 100: the whole text over the filled part";
}

TEST_F(PercentProgressTest, PrintsTheTruncatedPercentage)
{
    m_bar.UseTestColours();
    // The percentage is trunc(pos / 100.0 * 100) in double precision:
    // 29, 57 and 58 land just below their value.
    const struct { int pos; const char* shown; const char* notShown; } cases[] = {
        {0, "0%", "1%"}, {29, "28%", "29%"}, {50, "50%", "49%"}, {57, "56%", "57%"},
        {58, "57%", "58%"}, {99, "99%", "98%"}, {100, "100%", "99%"},
    };
    for (const auto& c : cases) {
        const Image printed = PaintAt(c.pos);
        EXPECT_EQ(printed, PaintWithText(c.pos, c.shown)) << "position " << c.pos << " should print " << c.shown;
        EXPECT_FALSE(printed == PaintWithText(c.pos, c.notShown)) << "position " << c.pos;
    }
}

TEST_F(PercentProgressTest, DefaultColoursSwapBetweenTheParts)
{
    const Image image = PaintAt(50);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), image.At(0, 0));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), image.At(kWidth - 1, 0));
    // The look of the bar at 50%, for people to see.
    WritePng(CaptureWindow(m_hHost), ScreenshotPath("progress-50.png"));
}

TEST_F(PercentProgressTest, RepaintsOnlyWhenTheFilledWidthChanges)
{
    m_bar.SetPos(10);  // width 20
    EXPECT_EQ(10, m_bar.SetPos(10));
    m_bar.m_nPaints = 0;
    EXPECT_EQ(10, m_bar.SetPos(10));
    EXPECT_EQ(0, m_bar.m_nPaints);
    EXPECT_EQ(10, m_bar.SetPos(11));  // width 22: painted before SetPos returns
    EXPECT_EQ(1, m_bar.m_nPaints);
    EXPECT_EQ(11, m_bar.GetPos());
}

// The repaint asks for an erase too (RDW_INVALIDATE | RDW_ERASE |
// RDW_UPDATENOW), and the erase paints nothing: the whole picture comes
// from the off-screen copy, so the bar never flickers to the background.
TEST_F(PercentProgressTest, RepaintErasesAndTheEraseLeavesEveryPixel)
{
    m_bar.SetPos(20);
    m_bar.m_nErases = m_bar.m_nPaints = 0;
    m_bar.SetPos(30);
    EXPECT_EQ(1, m_bar.m_nErases) << "erased before SetPos returns";
    EXPECT_EQ(1, m_bar.m_nPaints);

    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, kWidth, kHeight);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT all = {0, 0, kWidth, kHeight};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(mem, &all, green);
    DeleteObject(green);
    EXPECT_TRUE(SendMessageA(m_hCtrl, WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem), 0));
    for (int x = 0; x < kWidth; x += 7)
        for (int y = 0; y < kHeight; y += 3)
            ASSERT_EQ(RGB(0, 255, 0), GetPixel(mem, x, y)) << "x=" << x << " y=" << y;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
}

TEST_F(PercentProgressTest, NarrowBarKeepsTheOlderPercentageWhileTheWidthStays)
{
    m_bar.UseTestColours();
    SetWindowPos(m_hCtrl, nullptr, 0, 0, 50 + 2, kHeight + 2, SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(m_hHost);
    m_bar.SetPos(10);  // trunc(0.10 * 50) = 5
    const Image at10 = CaptureClient(m_hCtrl);
    m_bar.m_nPaints = 0;
    m_bar.SetPos(11);  // trunc(0.11 * 50) = 5: no repaint
    EXPECT_EQ(0, m_bar.m_nPaints);
    EXPECT_EQ(at10, CaptureClient(m_hCtrl));
    m_bar.SetPos(12);  // 6
    EXPECT_EQ(1, m_bar.m_nPaints);
}

TEST_F(PercentProgressTest, ResizeMakesTheNextSetPosRepaint)
{
    m_bar.SetPos(50);
    SetWindowPos(m_hCtrl, nullptr, 0, 0, kWidth + 60, kHeight + 2, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(m_hCtrl, nullptr, 0, 0, kWidth + 2, kHeight + 2, SWP_NOMOVE | SWP_NOZORDER);
    UpdateWindow(m_hHost);
    PumpMessages();
    m_bar.m_nPaints = 0;
    m_bar.SetPos(50);  // same position, same width as before the resizes
    EXPECT_EQ(1, m_bar.m_nPaints);
}

TEST_F(PercentProgressTest, PartialRepaintMatchesFullRepaint)
{
    m_bar.UseTestColours();
    const Image full = PaintAt(50);
    // Uncover only a strip across the edge and the text.
    RECT strip = {90, 0, 130, kHeight};
    InvalidateRect(m_hCtrl, &strip, TRUE);
    FillRect(GetDC(m_hCtrl), &strip, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    UpdateWindow(m_hCtrl);
    EXPECT_EQ(full, CaptureClient(m_hCtrl));
}

TEST_F(PercentProgressTest, SetTextStoresCustomTextAndInvalidatesOnlyOnChange)
{
    RECT rc;
    ValidateRect(m_hCtrl, nullptr);
    EXPECT_TRUE(SendMessageA(m_hCtrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Copying")));
    EXPECT_TRUE(GetUpdateRect(m_hCtrl, &rc, FALSE));
    // The window text is stored as usual too.
    char buf[32] = "";
    EXPECT_EQ(7, GetWindowTextLengthA(m_hCtrl));

    ValidateRect(m_hCtrl, nullptr);
    SendMessageA(m_hCtrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Copying"));
    EXPECT_FALSE(GetUpdateRect(m_hCtrl, &rc, FALSE)) << "same text: no invalidation";

    // A null text clears the custom text; the percentage comes back.
    m_bar.UseTestColours();
    SendMessageA(m_hCtrl, WM_SETTEXT, 0, 0);
    EXPECT_TRUE(GetUpdateRect(m_hCtrl, &rc, FALSE));
    EXPECT_EQ(0, SendMessageA(m_hCtrl, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf)));
    const Image percentage = PaintAt(40);
    EXPECT_EQ(percentage, PaintWithText(40, "40%"));

    ValidateRect(m_hCtrl, nullptr);
    SendMessageA(m_hCtrl, WM_SETTEXT, 0, 0);
    EXPECT_FALSE(GetUpdateRect(m_hCtrl, &rc, FALSE)) << "null text with none stored changes nothing";
}

TEST_F(PercentProgressTest, GetTextCopiesTheCustomTextIntoTheCallersBuffer)
{
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(0, SendMessageA(m_hCtrl, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(buf)));
    EXPECT_EQ('\0', buf[0]) << "template caption Progress1 is not the custom text";

    SendMessageA(m_hCtrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("ABCDEFGH"));
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(4, SendMessageA(m_hCtrl, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(buf)));
    EXPECT_EQ(std::string("ABCD"), std::string(buf));
    EXPECT_EQ('x', buf[5]);

    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(0, SendMessageA(m_hCtrl, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buf)));
    EXPECT_EQ('x', buf[0]);

    EXPECT_EQ(8, SendMessageA(m_hCtrl, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf)));
    EXPECT_EQ(std::string("ABCDEFGH"), std::string(buf));
}

}  // namespace
