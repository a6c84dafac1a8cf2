// CKeepDataDlg: the question asked when an earlier installation of the
// client is found: keep that installation's user data, install without it,
// or quit. The answer is written into the application's install-mode slot
// before the dialog ends.
#pragma once
#include <windows.h>

#include "framework/String.h"
#include "framework/win32/Dialog.h"
#include "framework/win32/Gdi.h"

class CSfxApp;

class CKeepDataDlg : public CDialog {
public:
    explicit CKeepDataDlg(CWnd* pParent = nullptr);

    // Where the chosen mode goes: the application object, taken at construction.
    CSfxApp* m_pApp;
    // The message shown in IDC_KEEP_MESSAGE.
    CString m_strMessage;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // "保留历史数据 继续" or Enter: mode 2.
    void OnOK() override;
    // "退出", Esc or the close box: mode -1.
    void OnCancel() override;
    // "不保留数据": mode 1.
    void OnDiscardData();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

    DECLARE_MESSAGE_MAP()

private:
    void SetInstallMode(int nMode);

    CBrush m_brBackground;  // one per dialog, released with it
};
