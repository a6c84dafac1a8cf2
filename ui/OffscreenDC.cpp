#include "OffscreenDC.h"

COffscreenDC::COffscreenDC(CDC* pTarget) : m_pTargetDC(pTarget), m_bOffscreen(!pTarget->IsPrinting())
{
    if (m_bOffscreen) {
        pTarget->GetClipBox(&m_rcArea);
        CreateCompatibleDC(pTarget);
        m_bmpOffscreen.CreateCompatibleBitmap(pTarget, m_rcArea.right - m_rcArea.left, m_rcArea.bottom - m_rcArea.top);
        m_pPrevBitmap = SelectObject(&m_bmpOffscreen);
        // Drawing in the target's coordinates lands in the bitmap.
        SetWindowOrg(m_rcArea.left, m_rcArea.top);
    } else {
        m_bPrinting = pTarget->m_bPrinting;
        m_hDC = pTarget->m_hDC;
        m_hAttribDC = pTarget->m_hAttribDC;
    }
}

COffscreenDC::~COffscreenDC()
{
    if (m_bOffscreen) {
        m_pTargetDC->BitBlt(m_rcArea.left, m_rcArea.top, m_rcArea.right - m_rcArea.left,
                            m_rcArea.bottom - m_rcArea.top, this, m_rcArea.left, m_rcArea.top, SRCCOPY);
        if (m_pPrevBitmap)
            SelectObject(m_pPrevBitmap);
    } else {
        // Borrowed from the target: not ours to release.
        m_hDC = nullptr;
        m_hAttribDC = nullptr;
    }
    m_bmpOffscreen.DeleteObject();
    DeleteDC();
}
