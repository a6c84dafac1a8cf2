// CProgressCtrl: the common progress control ("msctls_progress32").
//
// Differences from MFC: no Create; the object is bound to a control of a
// dialog template (DDX_Control). Only the calls this program needs.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include "framework/win32/Wnd.h"

class CProgressCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
    int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos), 0)); }
    int GetPos() { return static_cast<int>(SendMessage(PBM_GETPOS, 0, 0)); }
};
