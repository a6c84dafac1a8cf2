// Temporary start-up of the installer, until the real one (registry check
// and keep-data question) is in place: runs the main dialog with the
// install mode and previous folder taken from SFX_TEST_INSTALL_MODE and
// SFX_TEST_PREV_PATH (mode 0 and no folder when unset).
#include <windows.h>

#include <cstdlib>

#include "app/SfxAppState.h"
#include "framework/win32/WinApp.h"
#include "ui/SfxDlg.h"

class CSfxDevApp : public CWinApp, public CSfxAppState {
public:
    BOOL InitInstance() override;
};

CSfxDevApp theApp;

BOOL CSfxDevApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();
    AddProtectedFiles();

    int mode = 0;
    char value[MAX_PATH] = "";
    if (::GetEnvironmentVariableA("SFX_TEST_INSTALL_MODE", value, sizeof value) > 0)
        mode = std::atoi(value);
    CString prevPath;
    const DWORD n = ::GetEnvironmentVariableA("SFX_TEST_PREV_PATH", value, sizeof value);
    if (n > 0 && n < sizeof value)
        prevPath = value;

    CSfxDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.m_strInstallMode = static_cast<char>(mode);
    dlg.m_strPrevPath = prevPath;
    dlg.DoModal();
    return FALSE;
}
