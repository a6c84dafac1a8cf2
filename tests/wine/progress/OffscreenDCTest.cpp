// COffscreenDC over a memory context that stands in for a window's paint
// context: nothing reaches the target before the off-screen context is
// destroyed, then exactly the target's clip box arrives, at the target's
// own coordinates. Over a printing context drawing goes straight through
// and the borrowed context survives.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/OffscreenDC.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);

// A 100 x 50 screen-compatible bitmap in a memory context, painted white.
class TargetDC {
public:
    TargetDC()
    {
        HDC screen = GetDC(nullptr);
        m_hdc = CreateCompatibleDC(screen);
        m_hbm = CreateCompatibleBitmap(screen, 100, 50);
        ReleaseDC(nullptr, screen);
        m_hOld = SelectObject(m_hdc, m_hbm);
        RECT all = {0, 0, 100, 50};
        HBRUSH white = CreateSolidBrush(kWhite);
        FillRect(m_hdc, &all, white);
        DeleteObject(white);
    }
    ~TargetDC()
    {
        SelectObject(m_hdc, m_hOld);
        DeleteObject(m_hbm);
        DeleteDC(m_hdc);
    }
    COLORREF At(int x, int y) const { return GetPixel(m_hdc, x, y); }

    HDC m_hdc;
    HBITMAP m_hbm;
    HGDIOBJ m_hOld;
};

TEST(OffscreenDC, ComposesOffScreenAndCopiesOnlyTheClipBoxAtItsPlace)
{
    TargetDC target;
    // A partial repaint: only this area of the target may change.
    HRGN clip = CreateRectRgn(20, 10, 60, 40);
    SelectClipRgn(target.m_hdc, clip);
    DeleteObject(clip);

    CDC targetDC;
    targetDC.Attach(target.m_hdc);
    {
        COffscreenDC dc(&targetDC);
        ASSERT_NE(dc.GetSafeHdc(), target.m_hdc);
        // Drawn in the target's coordinates, wider than the clip box.
        RECT all = {0, 0, 100, 50};
        dc.FillSolidRect(&all, kRed);
        RECT spot = {30, 20, 35, 25};
        dc.FillSolidRect(&spot, kBlue);
        EXPECT_EQ(kWhite, target.At(30, 20)) << "nothing reaches the target before the copy";
    }
    EXPECT_EQ(kBlue, target.At(30, 20));
    EXPECT_EQ(kBlue, target.At(34, 24));
    EXPECT_EQ(kRed, target.At(35, 25));
    EXPECT_EQ(kRed, target.At(20, 10));
    EXPECT_EQ(kRed, target.At(59, 39));
    // Outside the clip box nothing was copied.
    SelectClipRgn(target.m_hdc, nullptr);
    EXPECT_EQ(kWhite, target.At(19, 10));
    EXPECT_EQ(kWhite, target.At(60, 39));
    EXPECT_EQ(kWhite, target.At(5, 5));
    EXPECT_EQ(kWhite, target.At(90, 45));
    // The target keeps its own bitmap and stays usable.
    EXPECT_EQ(target.m_hbm, GetCurrentObject(target.m_hdc, OBJ_BITMAP));
    targetDC.Detach();
}

TEST(OffscreenDC, OverAPrintingContextDrawsStraightThroughAndLeavesItAlive)
{
    TargetDC target;
    CDC printer;
    printer.Attach(target.m_hdc);
    printer.m_bPrinting = TRUE;
    {
        COffscreenDC dc(&printer);
        EXPECT_EQ(target.m_hdc, dc.GetSafeHdc());
        EXPECT_TRUE(dc.IsPrinting());
        RECT spot = {10, 10, 20, 20};
        dc.FillSolidRect(&spot, kBlue);
        EXPECT_EQ(kBlue, target.At(15, 15)) << "no off-screen step for a printer";
    }
    // The borrowed context was not deleted with the off-screen object.
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(target.m_hdc));
    EXPECT_EQ(kBlue, target.At(15, 15));
    EXPECT_EQ(kWhite, target.At(50, 30));
    EXPECT_EQ(target.m_hbm, GetCurrentObject(target.m_hdc, OBJ_BITMAP));
    printer.Detach();
}

}  // namespace
