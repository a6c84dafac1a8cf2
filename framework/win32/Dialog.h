// CDialog: a modal dialog run from a dialog template resource, with data
// exchange (DDX) between members and controls.
//
// Differences from MFC: modal only (no Create); no validation (DDV), so
// UpdateData always succeeds; no help, no Ctl3d. A template whose face
// cannot draw its caption on this system is shown in one that can
// (DialogFont.h). A C++ exception from a
// handler is reported in a message box, as MFC does, and then also ends
// DoModal with -1. The owner of a
// dialog without a parent is the application's main window when one exists.
#pragma once
#include <windows.h>

#include "framework/String.h"
#include "framework/win32/Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    // The control's window; null when the dialog has no such control.
    HWND PrepareCtrl(int nIDC) const { return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC); }

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// Text of control nIDC to or from value. Loading leaves the control alone
// when it already shows the text, so repeated exchanges do not flicker.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// Binds rControl to control nIDC (subclasses it) on the first exchange.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Runs the dialog; returns what EndDialog was given, -1 when the
    // template cannot be loaded or a handler threw.
    virtual INT_PTR DoModal();
    // Loads the controls from the members (UpdateData(FALSE)); TRUE lets the
    // dialog manager set the focus.
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    // IDOK: UpdateData(TRUE), then EndDialog(IDOK). IDCANCEL: EndDialog(IDCANCEL).
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT AfxOnWndProcException(HWND, const char*, UINT);
    CDialog* m_pPrevModal = nullptr;  // the modal dialog running below this one
    bool m_bHandlerFailed = false;    // a handler threw while this dialog ran
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
