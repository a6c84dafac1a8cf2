// GDI wrappers: CGdiObject with CBitmap, CRgn and CBrush; CDC and CPaintDC.
//
// Differences from MFC: no handle maps. CDC::SelectObject hands back the
// previously selected bitmap through a wrapper that the CDC owns and that
// never deletes the handle. A CDC deletes only a device context it created
// itself (CreateCompatibleDC); attached contexts are left to their owner.
// Only the drawing calls this program makes are wrapped; the handle is
// public for everything else.
#pragma once
#include <windows.h>

#include <memory>

#include "framework/String.h"
#include "framework/WideText.h"

class CDC;

// Owns one GDI object and deletes it on destruction.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
public:
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class CRgn : public CGdiObject {
public:
    BOOL CreateRectRgn(int x1, int y1, int x2, int y2);
    BOOL CreateRectRgnIndirect(LPCRECT lpRect);
    operator HRGN() const { return static_cast<HRGN>(m_hObject); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    BOOL CreateSolidBrush(COLORREF crColor);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Wraps a context owned elsewhere (a paint or window DC).
    BOOL Attach(HDC hDC);
    HDC Detach();
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // A memory context compatible with pDC (the screen when null); this
    // object owns it and deletes it.
    BOOL CreateCompatibleDC(CDC* pDC);
    BOOL DeleteDC();

    BOOL IsPrinting() const { return m_bPrinting; }
    int GetClipBox(LPRECT lpRect) const { return ::GetClipBox(m_hDC, lpRect); }
    int GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hAttribDC, nIndex); }

    // Selects the bitmap and returns the one it replaced (null on failure).
    CBitmap* SelectObject(CBitmap* pBitmap);
    // Selects a copy of the region as clip region (none when null).
    int SelectClipRgn(CRgn* pRgn) { return ::SelectClipRgn(m_hDC, pRgn ? static_cast<HRGN>(pRgn->m_hObject) : nullptr); }
    POINT SetWindowOrg(int x, int y);
    BOOL LPtoDP(LPRECT lpRect) const { return ::LPtoDP(m_hAttribDC, reinterpret_cast<LPPOINT>(lpRect), 2); }

    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    int SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }
    COLORREF SetBkColor(COLORREF crColor) { return ::SetBkColor(m_hDC, crColor); }
    COLORREF SetTextColor(COLORREF crColor) { return ::SetTextColor(m_hDC, crColor); }
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat)
    {
        const std::wstring wide = AfxToWide(str);
        return ::DrawTextW(m_hDC, wide.c_str(), static_cast<int>(wide.size()), lpRect, nFormat);
    }
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop)
    {
        return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc, ySrc, dwRop);
    }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC = nullptr;        // output context
    HDC m_hAttribDC = nullptr;  // attribute context (the same here unless borrowed)
    BOOL m_bPrinting = FALSE;

private:
    bool m_bOwnsDC = false;
    // Wraps the bitmap handed back by SelectObject; never deletes it.
    std::unique_ptr<CBitmap> m_pTempBitmap;
};

class CWnd;

// BeginPaint / EndPaint for the lifetime of the object.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};
