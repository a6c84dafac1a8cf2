#include "KeepDataDlg.h"

#include "app/SfxApp.h"
#include "resource.h"

namespace {
// Shared with the main dialog.
const COLORREF kBackground = RGB(233, 241, 252);
const COLORREF kText = RGB(20, 90, 0);
}  // namespace

BEGIN_MESSAGE_MAP(CKeepDataDlg, CDialog)
    ON_BN_CLICKED(IDC_DISCARD_DATA, &CKeepDataDlg::OnDiscardData)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CKeepDataDlg::CKeepDataDlg(CWnd* pParent)
    : CDialog(IDD_KEEP_DATA, pParent), m_pApp(static_cast<CSfxApp*>(AfxGetApp())), m_brBackground(kBackground)
{
}

void CKeepDataDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_KEEP_MESSAGE, m_strMessage);
}

void CKeepDataDlg::SetInstallMode(int nMode)
{
    if (m_pApp)
        m_pApp->m_nInstallMode = nMode;
}

void CKeepDataDlg::OnOK()
{
    SetInstallMode(2);
    CDialog::OnOK();
}

void CKeepDataDlg::OnDiscardData()
{
    SetInstallMode(1);
    CDialog::OnOK();
}

void CKeepDataDlg::OnCancel()
{
    SetInstallMode(-1);
    CDialog::OnCancel();
}

HBRUSH CKeepDataDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    const HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    switch (nCtlColor) {
    case CTLCOLOR_MSGBOX:
    case CTLCOLOR_LISTBOX:
    case CTLCOLOR_DLG:
    case CTLCOLOR_STATIC:
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetTextColor(kText);
        return m_brBackground;
    default:
        // Edit boxes, buttons and scroll bars keep the system colours.
        return hbr;
    }
}
