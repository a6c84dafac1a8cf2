#include "Gdi.h"

#include "Wnd.h"

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (!hObject)
        return FALSE;
    DeleteObject();
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    const BOOL ok = ::DeleteObject(Detach());
    return ok;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight)
{
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}

BOOL CRgn::CreateRectRgn(int x1, int y1, int x2, int y2) { return Attach(::CreateRectRgn(x1, y1, x2, y2)); }

BOOL CRgn::CreateRectRgnIndirect(LPCRECT lpRect) { return Attach(::CreateRectRgnIndirect(lpRect)); }

BOOL CBrush::CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }

CDC::~CDC()
{
    if (m_pTempBitmap)
        m_pTempBitmap->Detach();
    if (m_bOwnsDC)
        DeleteDC();
}

BOOL CDC::Attach(HDC hDC)
{
    if (!hDC)
        return FALSE;
    m_hDC = m_hAttribDC = hDC;
    m_bOwnsDC = false;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC h = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_bOwnsDC = false;
    return h;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC)
{
    HDC h = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
    if (!h)
        return FALSE;
    m_hDC = m_hAttribDC = h;
    m_bOwnsDC = true;
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    HDC h = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_bOwnsDC = false;
    return ::DeleteDC(h);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap)
{
    if (!pBitmap || !pBitmap->m_hObject)
        return nullptr;
    HGDIOBJ hOld = ::SelectObject(m_hDC, pBitmap->m_hObject);
    if (!hOld || hOld == HGDI_ERROR)
        return nullptr;
    if (!m_pTempBitmap)
        m_pTempBitmap = std::make_unique<CBitmap>();
    m_pTempBitmap->Detach();
    m_pTempBitmap->m_hObject = hOld;
    return m_pTempBitmap.get();
}

POINT CDC::SetWindowOrg(int x, int y)
{
    POINT old{};
    ::SetWindowOrgEx(m_hDC, x, y, &old);
    return old;
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    ::SetBkColor(m_hDC, clr);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}
