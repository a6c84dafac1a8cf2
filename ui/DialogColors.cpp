#include "ui/DialogColors.h"

const COLORREF SFX_DIALOG_BACKGROUND = RGB(233, 241, 252);
const COLORREF SFX_DIALOG_TEXT = RGB(20, 90, 0);

HBRUSH SfxDialogCtlColor(CDC* pDC, UINT nCtlColor, CBrush& background, HBRUSH frameworkBrush)
{
    switch (nCtlColor) {
    case CTLCOLOR_MSGBOX:
    case CTLCOLOR_LISTBOX:
    case CTLCOLOR_DLG:
    case CTLCOLOR_STATIC:
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetTextColor(SFX_DIALOG_TEXT);
        return background;
    default:
        return frameworkBrush;
    }
}
