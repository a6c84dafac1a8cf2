// CPercentProgressCtrl: a progress bar that paints itself, double-buffered:
// the filled part, the rest, and a text centred over the bar (by default the
// percentage) drawn twice through two clip regions, so the text takes the
// colour of the other part on each side and changes colour exactly at the
// bar's edge.
//
// The object is bound to a progress control of a dialog by DDX_Control and
// moved only through SetPos; the common control's own position plays no
// part in what is painted.
#pragma once
#include <windows.h>

#include "framework/String.h"
#include "framework/win32/ProgressCtrl.h"

class CPercentProgressCtrl : public CProgressCtrl {
public:
    CPercentProgressCtrl();

    // Stores the position and repaints at once when the filled width in
    // pixels changes. Returns the previous position; -1 (storing nothing)
    // while the object has no window.
    int SetPos(int nPos);
    // The position last stored by SetPos.
    int GetPos() const { return m_nPosition; }

protected:
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetText(WPARAM wParam, LPARAM lParam);

    // The filled fraction of the bar, in double precision.
    double Fraction() const;

    int m_nPosition = 0;
    int m_nRangeHigh = 100;
    int m_nRangeLow = 0;
    CString m_strCustomText;   // printed instead of the percentage when not empty
    BOOL m_bDrawText = TRUE;
    int m_nFilledWidth = -1;   // as last computed by SetPos; -1 not yet computed
    COLORREF m_crFill;
    COLORREF m_crEmpty;
    COLORREF m_crTextOnEmpty;
    COLORREF m_crTextOnFill;

    DECLARE_MESSAGE_MAP()
};
