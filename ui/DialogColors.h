// The colour scheme the installer's dialogs share: a light blue background
// behind dark green text. Edit boxes, buttons and scroll bars keep the
// system colours.
#pragma once
#include "framework/win32/Gdi.h"

extern const COLORREF SFX_DIALOG_BACKGROUND;  // RGB(233, 241, 252)
extern const COLORREF SFX_DIALOG_TEXT;        // RGB(20, 90, 0)

// The WM_CTLCOLOR answer of an installer dialog: for the dialog itself,
// message boxes, list boxes and static texts, a transparent background,
// the scheme's text colour and the dialog's background brush; for every
// other request the brush the framework chose.
HBRUSH SfxDialogCtlColor(CDC* pDC, UINT nCtlColor, CBrush& background, HBRUSH frameworkBrush);
