// COffscreenDC: stands in for a target device context while a picture is
// composed in a bitmap, and copies the finished picture to the target in
// one BitBlt when it is destroyed. Over a printing context it draws
// straight to the target instead.
#pragma once
#include <windows.h>

#include "framework/win32/Gdi.h"

class COffscreenDC : public CDC {
public:
    explicit COffscreenDC(CDC* pTarget);
    ~COffscreenDC() override;

private:
    CBitmap m_bmpOffscreen;             // the size of the area being painted
    CBitmap* m_pPrevBitmap = nullptr;   // selected into this context before m_bmpOffscreen
    CDC* m_pTargetDC;                   // receives the picture
    RECT m_rcArea{};                    // target's clip box, in its logical coordinates
    BOOL m_bOffscreen;                  // FALSE over a printing context
};
