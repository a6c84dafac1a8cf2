#include "PercentProgressCtrl.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "OffscreenDC.h"
#include "framework/WideText.h"

BEGIN_MESSAGE_MAP(CPercentProgressCtrl, CProgressCtrl)
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_MESSAGE(WM_SETTEXT, &CPercentProgressCtrl::OnSetText)
    ON_MESSAGE(WM_GETTEXT, &CPercentProgressCtrl::OnGetText)
END_MESSAGE_MAP()

// The colours are taken once: later changes of the system colours do not
// reach an existing bar. Each part's text takes the other part's colour.
CPercentProgressCtrl::CPercentProgressCtrl()
    : m_crFill(::GetSysColor(COLOR_HIGHLIGHT)),
      m_crEmpty(::GetSysColor(COLOR_WINDOW)),
      m_crTextOnEmpty(::GetSysColor(COLOR_HIGHLIGHT)),
      m_crTextOnFill(::GetSysColor(COLOR_WINDOW))
{
}

double CPercentProgressCtrl::Fraction() const
{
    return static_cast<double>(m_nPosition - m_nRangeLow) / static_cast<double>(m_nRangeHigh - m_nRangeLow);
}

int CPercentProgressCtrl::SetPos(int nPos)
{
    if (!::IsWindow(m_hWnd))
        return -1;
    const int nOld = m_nPosition;
    m_nPosition = nPos;

    RECT rc;
    GetClientRect(&rc);
    const int width = rc.right - rc.left;
    // Fraction first, then the product, truncated: the same width the paint
    // handler computes.
    const int newWidth = static_cast<int>(Fraction() * width);
    if (newWidth != m_nFilledWidth) {
        m_nFilledWidth = newWidth;
        // Paints before returning: the caller runs without a message loop.
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    return nOld;
}

BOOL CPercentProgressCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CPercentProgressCtrl::OnPaint()
{
    RECT rcClient;
    GetClientRect(&rcClient);
    const double fraction = Fraction();

    CPaintDC paintDC(this);
    {
        COffscreenDC dc(&paintDC);

        RECT rcFilled = rcClient;
        rcFilled.right = rcClient.left + static_cast<int>((rcClient.right - rcClient.left) * fraction);
        RECT rcEmpty = rcClient;
        rcEmpty.left = rcFilled.right;
        dc.FillSolidRect(&rcFilled, m_crFill);
        dc.FillSolidRect(&rcEmpty, m_crEmpty);

        if (m_bDrawText) {
            CString text;
            if (!m_strCustomText.IsEmpty())
                text = m_strCustomText;
            else
                text.Format("%d%%", static_cast<int>(fraction * 100));
            dc.SetBkMode(TRANSPARENT);

            // Clip regions are in device coordinates: over a partial repaint
            // the bitmap starts at the clip box, not at the client origin.
            RECT rcClip = rcFilled;
            dc.LPtoDP(&rcClip);
            CRgn rgn;
            rgn.CreateRectRgnIndirect(&rcClip);
            dc.SelectClipRgn(&rgn);
            dc.SetTextColor(m_crTextOnFill);
            RECT rcText = rcClient;
            dc.DrawText(text, &rcText, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            rgn.DeleteObject();

            rcClip = rcEmpty;
            dc.LPtoDP(&rcClip);
            rgn.CreateRectRgnIndirect(&rcClip);
            dc.SelectClipRgn(&rgn);
            dc.SetTextColor(m_crTextOnEmpty);
            rcText = rcClient;
            dc.DrawText(text, &rcText, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            rgn.DeleteObject();
        }
    }  // the off-screen picture reaches the screen here, before EndPaint
}

void CPercentProgressCtrl::OnSize(UINT, int, int)
{
    Default();
    m_nFilledWidth = -1;
}

// The control is a Unicode window: these messages carry UTF-16 (Windows
// converts a caller's ANSI text on the way in and out).
LRESULT CPercentProgressCtrl::OnSetText(WPARAM, LPARAM lParam)
{
    const LRESULT result = Default();
    const CString text = AfxFromWide(reinterpret_cast<const wchar_t*>(lParam));  // null counts as empty
    if (text.Compare(m_strCustomText) != 0) {
        m_strCustomText = text;
        Invalidate(TRUE);
    }
    return result;
}

LRESULT CPercentProgressCtrl::OnGetText(WPARAM wParam, LPARAM lParam)
{
    wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
    if (wParam == 0 || !buffer)
        return 0;
    const std::wstring text = AfxToWide(m_strCustomText);
    const size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
    std::memcpy(buffer, text.data(), n * sizeof(wchar_t));
    buffer[n] = L'\0';
    return static_cast<LRESULT>(n);
}
