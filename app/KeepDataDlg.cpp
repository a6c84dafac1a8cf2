#include "KeepDataDlg.h"

#include "app/SfxApp.h"
#include "ui/DialogColors.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CKeepDataDlg, CDialog)
    ON_BN_CLICKED(IDC_DISCARD_DATA, &CKeepDataDlg::OnDiscardData)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CKeepDataDlg::CKeepDataDlg(CWnd* pParent)
    : CDialog(IDD_KEEP_DATA, pParent), m_pApp(static_cast<CSfxApp*>(AfxGetApp())), m_brBackground(SFX_DIALOG_BACKGROUND)
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
    return SfxDialogCtlColor(pDC, nCtlColor, m_brBackground, hbr);
}
