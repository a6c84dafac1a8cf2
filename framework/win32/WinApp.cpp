#include "WinApp.h"

#include <mbctype.h>

#include "framework/Mbcs.h"
#include "framework/WideText.h"
#include "Wnd.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(const char* pszAppName) : m_pszAppName(pszAppName), m_hInstance(::GetModuleHandleW(nullptr))
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
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDResource));
}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() { return g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr); }

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

void AfxEnableControlContainer() {}

BOOL AfxLoadString(UINT nID, CString& rString)
{
    wchar_t buf[1024];
    const int n = ::LoadStringW(AfxGetResourceHandle(), nID, buf, 1024);
    rString = AfxFromWide(buf, n > 0 ? n : 0);
    return n > 0;
}

CString AfxGetCommandLineArguments()
{
    const wchar_t* s = ::GetCommandLineW();
    if (*s == L'"') {
        for (++s; *s != L'\0' && *s != L'"'; ++s) {
        }
        if (*s == L'"')
            ++s;
    } else {
        while (*s != L'\0' && *s != L' ' && *s != L'\t')
            ++s;
    }
    while (*s == L' ' || *s == L'\t')
        ++s;
    return AfxFromWide(s);
}

int AfxWinMain(HINSTANCE hInstance, int)
{
    // The program's text is code page 936 on every system (its stored
    // names and texts are GBK); string searches step over its double-byte
    // characters. The system's code page never reads it: text crosses into
    // Windows as UTF-16.
    AfxSetMultibyteCodePage(936);
    _setmbcp(936);

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
