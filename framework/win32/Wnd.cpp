#include "Wnd.h"

#include <vector>

#include "AfxState.h"
#include "Dialog.h"
#include "WinApp.h"

namespace {
// The window property that holds the bound CWnd.
const wchar_t kWndProp[] = L"SfxCWndObject";
}  // namespace

AfxThreadState& AfxGetThreadState()
{
    static thread_local AfxThreadState state;
    return state;
}

const char AFX_TEXT_INTERNAL_ERROR[] = "Internal Error";

LRESULT AfxOnWndProcException(HWND hWnd, const char* what, UINT message)
{
    AfxThreadState& ts = AfxGetThreadState();
    ts.strLastError = what ? what : "";
    ::OutputDebugStringW(AfxToWide(ts.strLastError).c_str());
    // A paint handler that failed would be asked again at once, behind the box.
    if (message == WM_PAINT)
        ::ValidateRect(hWnd, nullptr);
    CDialog* pDlg = ts.pModalTop;
    if (pDlg)
        pDlg->m_bHandlerFailed = true;
    // The user is told before the dialog goes; failures while the box is up
    // (its own message loop runs the window's other messages) add no second box.
    if (!ts.bReporting) {
        ts.bReporting = true;
        HWND hOwner = pDlg && pDlg->m_hWnd ? pDlg->m_hWnd : ::GetAncestor(hWnd, GA_ROOT);
        CWinApp* pApp = AfxGetApp();
        const std::wstring caption = AfxToWide(pApp ? pApp->m_pszAppName : nullptr);
        ::MessageBoxW(hOwner, AfxToWide(AFX_TEXT_INTERNAL_ERROR).c_str(), pApp && pApp->m_pszAppName ? caption.c_str() : nullptr,
                      MB_OK | MB_ICONSTOP);
        ts.bReporting = false;
    }
    if (pDlg && pDlg->m_hWnd)
        ::EndDialog(pDlg->m_hWnd, -1);
    // A window whose creation handler failed is not created.
    return message == WM_CREATE ? -1 : 0;
}

CString AfxGetLastWndProcError() { return AfxGetThreadState().strLastError; }

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);

    AfxThreadState& ts = AfxGetThreadState();
    const MSG saved = ts.lastSentMsg;
    ts.lastSentMsg.hwnd = hWnd;
    ts.lastSentMsg.message = message;
    ts.lastSentMsg.wParam = wParam;
    ts.lastSentMsg.lParam = lParam;
    const LRESULT result = AfxGuard(hWnd, message, [&] { return pWnd->WindowProc(message, wParam, lParam); });
    ts.lastSentMsg = saved;

    if (message == WM_NCDESTROY && CWnd::FromHandlePermanent(hWnd) == pWnd)
        pWnd->OnNcDestroyed();
    return result;
}

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

CWnd::~CWnd()
{
    // The window outlives a C++ object only when it is destroyed early;
    // give the window its own procedure back.
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) {
        if (m_pfnSuper)
            UnsubclassWindow();
        else
            Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    return static_cast<CWnd*>(::GetPropW(hWnd, kWndProp));
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd))
        return FALSE;
    if (!::SetPropW(hWnd, kWndProp, this))
        return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND h = m_hWnd;
    if (h && FromHandlePermanent(h) == this)
        ::RemovePropW(h, kWndProp);
    m_hWnd = nullptr;
    m_tempWnds.clear();
    m_sysMenu.m_hMenu = nullptr;
    return h;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    WNDPROC old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (old != &AfxWndProc)
        m_pfnSuper = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hCtrl = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hCtrl ? SubclassWindow(hCtrl) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper && m_hWnd)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

void CWnd::OnNcDestroyed()
{
    UnsubclassWindow();
    PostNcDestroy();
}

CWnd* CWnd::FromHandleTemp(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* p = FromHandlePermanent(hWnd))
        return p;
    std::unique_ptr<CWnd>& slot = m_tempWnds[hWnd];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hWnd;  // a plain wrapper: no property, no subclassing
    }
    return slot.get();
}

CWnd* CWnd::GetDlgItem(int nID) { return FromHandleTemp(::GetDlgItem(m_hWnd, nID)); }

void CWnd::GetWindowText(CString& rString) const
{
    const int n = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(m_hWnd, buf.data(), n + 1);
    rString = AfxFromWide(buf.data(), got > 0 ? got : 0);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert)
{
    m_sysMenu.m_hMenu = ::GetSystemMenu(m_hWnd, bRevert);
    return m_sysMenu.m_hMenu ? &m_sysMenu : nullptr;
}

LRESULT CWnd::Default()
{
    const MSG& m = AfxGetThreadState().lastSentMsg;
    return DefWindowProc(m.message, m.wParam, m.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

const AFX_MSGMAP_ENTRY* CWnd::FindEntry(const AFX_MSGMAP* pMap, UINT message, UINT nCode, UINT nID)
{
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != message)
                continue;
            if (message != WM_COMMAND)
                return e;
            if (e->nCode == nCode && e->nID <= nID && nID <= e->nLastID)
                return e;
        }
    }
    return nullptr;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    UINT lookup = message;
    UINT nCtlType = 0;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        lookup = WM_CTLCOLOR;
        nCtlType = message - WM_CTLCOLORMSGBOX;
    }
    UINT nCode = 0, nID = 0;
    if (message == WM_COMMAND) {
        nCode = HIWORD(wParam);
        nID = LOWORD(wParam);
        // Menu commands and accelerators (code 1) reach ON_COMMAND entries.
        if (lParam == 0 && nCode == 1)
            nCode = 0;
    }
    const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), lookup, nCode, nID);
    if (!e)
        return FALSE;

    LRESULT r = 0;
    // Each handler is cast back from the table's member type to the shape
    // its entry recorded (see MsgMap.h): the warning does not apply here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
    switch (e->nSig) {
    case AfxSig_vv:
        (this->*e->pfn)();
        break;
    case AfxSig_bD: {
        CDC dc;
        dc.Attach(reinterpret_cast<HDC>(wParam));
        r = (this->*reinterpret_cast<BOOL (CWnd::*)(CDC*)>(e->pfn))(&dc);
        dc.Detach();
        break;
    }
    case AfxSig_vwii:
        (this->*reinterpret_cast<void (CWnd::*)(UINT, int, int)>(e->pfn))(
            static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        break;
    case AfxSig_vt:
        (this->*reinterpret_cast<void (CWnd::*)(UINT_PTR)>(e->pfn))(static_cast<UINT_PTR>(wParam));
        break;
    case AfxSig_vwl:
        (this->*reinterpret_cast<void (CWnd::*)(UINT, LPARAM)>(e->pfn))(static_cast<UINT>(wParam), lParam);
        break;
    case AfxSig_is:
        r = (this->*reinterpret_cast<int (CWnd::*)(LPCREATESTRUCT)>(e->pfn))(reinterpret_cast<LPCREATESTRUCT>(lParam));
        break;
    case AfxSig_hDWw: {
        CDC dc;
        dc.Attach(reinterpret_cast<HDC>(wParam));
        CWnd* pCtl = FromHandleTemp(reinterpret_cast<HWND>(lParam));
        HBRUSH hbr = (this->*reinterpret_cast<HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)>(e->pfn))(&dc, pCtl, nCtlType);
        dc.Detach();
        r = reinterpret_cast<LRESULT>(hbr);
        break;
    }
    case AfxSig_hv:
        r = reinterpret_cast<LRESULT>((this->*reinterpret_cast<HCURSOR (CWnd::*)()>(e->pfn))());
        break;
    case AfxSig_lwl:
        r = (this->*reinterpret_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(e->pfn))(wParam, lParam);
        break;
    default:
        return FALSE;
    }
#pragma GCC diagnostic pop
    *pResult = r;
    return TRUE;
}
