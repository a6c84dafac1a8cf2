// CWinApp: the one application object. The framework's WinMain selects code
// page 936 as the multibyte code page of the program's text (never the
// system's code page: the text crosses into Windows as UTF-16), runs
// InitInstance and, when it returns FALSE, ends the process; otherwise it
// runs a message loop (Run).
//
// Differences from MFC: not a command target (no message map; OnHelp does
// nothing, there is no help file); no profile, document or idle handling.
// Enable3dControls and AfxEnableControlContainer are accepted and do
// nothing: the system draws three-dimensional controls itself and no
// ActiveX control is used.
#pragma once
#include <windows.h>

#include "framework/String.h"

class CWnd;

class CWinApp {
public:
    explicit CWinApp(const char* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int Run();
    virtual int ExitInstance() { return 0; }

    BOOL Enable3dControls() { return TRUE; }
    HICON LoadIcon(UINT nIDResource) const;
    void OnHelp() {}

    const char* m_pszAppName;
    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxEnableControlContainer();
// Loads string resource nID into rString; FALSE (and an empty string) when
// there is none.
BOOL AfxLoadString(UINT nID, CString& rString);
// What follows the program's own name on its command line (as the C
// runtime splits it: quoted, or up to the first blank), read in UTF-16.
CString AfxGetCommandLineArguments();
// The framework's start-up: code page, InitInstance, Run or exit.
int AfxWinMain(HINSTANCE hInstance, int nCmdShow);
