#include "WinApp.h"

#include <mbctype.h>

#include "framework/Mbcs.h"
#include "Wnd.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(const char* pszAppName) : m_pszAppName(pszAppName), m_hInstance(::GetModuleHandleA(nullptr))
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() { return g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleA(nullptr); }

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

void AfxEnableControlContainer() {}

BOOL AfxLoadString(UINT nID, CString& rString)
{
    char buf[1024];
    const int n = ::LoadStringA(AfxGetResourceHandle(), nID, buf, sizeof buf);
    rString = CString(buf, n > 0 ? n : 0);
    return n > 0;
}

int AfxWinMain(HINSTANCE hInstance, int)
{
    // String searches step over double-byte characters of the ANSI code page.
    AfxSetMultibyteCodePage(static_cast<int>(::GetACP()));
    _setmbcp(_MB_CP_ANSI);

    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    try {
        if (!pApp->InitInstance())
            return pApp->ExitInstance();
        return pApp->Run();
    } catch (...) {
        return -1;
    }
}
