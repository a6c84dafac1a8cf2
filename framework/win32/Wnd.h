// CWnd: a C++ object bound to one window, with the window's messages
// dispatched through the class's message map; and CMenu for the system menu.
//
// Differences from MFC:
// - A CWnd never creates a window itself: it is bound to a dialog while
//   DoModal creates it, or to an existing control by SubclassWindow /
//   SubclassDlgItem (what DDX_Control does). The binding lives in a window
//   property, not in a handle map, and ends on WM_NCDESTROY.
// - GetDlgItem and the CWnd* handed to OnCtlColor are wrappers owned by the
//   asking window and freed when it is detached, not per-idle temporaries.
// - The window procedure catches every C++ exception from a handler: the
//   user is told in a message box (AFX_TEXT_INTERNAL_ERROR), then the
//   innermost running modal dialog ends with -1; the exception's text is
//   kept for AfxGetLastWndProcError(). No exception crosses a Win32 frame.
// - Only Unicode windows: every text crosses to Windows in UTF-16, converted
//   from and to the program's code page 936 text at one boundary
//   (framework/WideText.h), whatever the system's code page. The handlers
//   this program needs exist in CWnd and default to Default(), the
//   original processing of the current message.
#pragma once
#include <windows.h>

#include <map>
#include <memory>

#include "framework/String.h"
#include "framework/WideText.h"
#include "framework/win32/Gdi.h"
#include "framework/win32/MsgMap.h"

// CMenu: a non-owning wrapper of a menu handle (here: the system menu).
// Unlike MFC's it never destroys the menu and has no handle map.
class CMenu {
public:
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr)
    {
        return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, lpszNewItem ? AfxToWide(lpszNewItem).c_str() : nullptr);
    }
    HMENU GetSafeHmenu() const { return m_hMenu; }

    HMENU m_hMenu = nullptr;  // not owned
};

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Binding to a window
    // Attach binds without changing the window procedure; SubclassWindow
    // also routes the window's messages through this object's message map.
    BOOL Attach(HWND hWnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();
    // The object bound to hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Window calls
    CWnd* GetDlgItem(int nID);
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, HRGN hrgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, lpRectUpdate, hrgnUpdate, flags);
    }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void SetWindowText(LPCSTR lpszString) { ::SetWindowTextW(m_hWnd, AfxToWide(lpszString).c_str()); }
    void GetWindowText(CString& rString) const;
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(hIcon)));
    }
    // The window's system menu (null when it has none); the wrapper is owned
    // by this object.
    CMenu* GetSystemMenu(BOOL bRevert);

    // Dispatch
    // The original processing of the message being handled right now.
    LRESULT Default();
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the window is gone and this object is detached.
    virtual void PostNcDestroy() {}

    HWND m_hWnd = nullptr;

protected:
    // Handlers reached through message maps; each defaults to Default().
    void OnPaint() { Default(); }
    BOOL OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
    void OnSize(UINT, int, int) { Default(); }
    void OnTimer(UINT_PTR) { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    int OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
    HBRUSH OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

    // A wrapper for a window that has no object of its own, owned by this one.
    CWnd* FromHandleTemp(HWND hWnd);

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    WNDPROC m_pfnSuper = nullptr;  // the window procedure replaced by SubclassWindow

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    void OnNcDestroyed();
    static const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* pMap, UINT message, UINT nCode, UINT nID);

    std::map<HWND, std::unique_ptr<CWnd>> m_tempWnds;
    CMenu m_sysMenu;
};

// The window procedure of every subclassed window.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// What the user is told when a handler failed: "Internal Error".
extern const char AFX_TEXT_INTERNAL_ERROR[];

// The text of the last exception caught by a window procedure on this
// thread ("" when none).
CString AfxGetLastWndProcError();
