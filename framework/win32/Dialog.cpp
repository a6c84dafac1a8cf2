#include "Dialog.h"

#include <commctrl.h>

#include <vector>

#include "AfxState.h"
#include "DialogFont.h"
#include "framework/WideText.h"
#include "DllSearch.h"
#include "WinApp.h"

namespace {
// Binds the waiting CWnd to the first window created on this thread, so that
// the dialog's own messages (WM_CREATE included) pass through its message
// map before the dialog manager sees them.
LRESULT CALLBACK CbtFilterHook(int code, WPARAM wParam, LPARAM lParam)
{
    AfxThreadState& ts = AfxGetThreadState();
    if (code == HCBT_CREATEWND && ts.pWndInit) {
        CWnd* pWnd = ts.pWndInit;
        ts.pWndInit = nullptr;
        pWnd->SubclassWindow(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(ts.hHookCbt, code, wParam, lParam);
}

// comctl32 is not one of Windows' KnownDLLs: imported, or loaded by name,
// it would be looked for in the program's folder first. It stays loaded:
// its window classes are used until the process ends.
void RegisterCommonControls()
{
    static bool done = false;
    if (done)
        return;
    typedef BOOL(WINAPI * InitFn)(const INITCOMMONCONTROLSEX*);
    if (HMODULE comctl = SfxLoadSystemLibrary(L"comctl32.dll")) {
        const InitFn init = reinterpret_cast<InitFn>(
            reinterpret_cast<void (*)()>(::GetProcAddress(comctl, "InitCommonControlsEx")));
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
        if (init)
            init(&icc);
    }
    done = true;
}

// The template with another face when its own cannot draw its caption (a
// Windows without the face); empty when the template is shown as it is.
std::vector<BYTE> TemplateInDrawingFace(UINT nIDTemplate)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(nIDTemplate), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const size_t size = found ? ::SizeofResource(module, found) : 0;
    AfxDialogTemplateText text;
    if (!data || !AfxReadDialogTemplate(data, size, &text) || text.face.empty())
        return {};
    const std::wstring face = AfxChooseDialogFace(text.face, text.caption);
    if (face == text.face)
        return {};
    return AfxTemplateWithFace(data, size, text, face);
}
}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hCtrl = pDX->PrepareCtrl(nIDC);
    if (!hCtrl)
        return;
    if (pDX->m_bSaveAndValidate) {
        CWnd tmp;
        tmp.m_hWnd = hCtrl;
        tmp.GetWindowText(value);
        tmp.m_hWnd = nullptr;
        return;
    }
    const std::wstring wide = AfxToWide(value);
    wchar_t current[512];
    const int len = ::GetWindowTextW(hCtrl, current, 512);
    if (len == static_cast<int>(wide.size()) && len < 511 && wide.compare(0, wide.size(), current, len) == 0)
        return;
    ::SetWindowTextW(hCtrl, wide.c_str());
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    RegisterCommonControls();

    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hOwner) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain && pMain != this && pMain->m_hWnd && ::IsWindow(pMain->m_hWnd))
            hOwner = ::GetAncestor(pMain->m_hWnd, GA_ROOT);
    }

    AfxThreadState& ts = AfxGetThreadState();
    m_pPrevModal = ts.pModalTop;
    ts.pModalTop = this;
    m_bHandlerFailed = false;
    ts.pWndInit = this;
    HHOOK hPrevHook = ts.hHookCbt;
    ts.hHookCbt = ::SetWindowsHookExW(WH_CBT, &CbtFilterHook, nullptr, ::GetCurrentThreadId());

    // A Unicode dialog: its texts are the template's own UTF-16, whatever
    // the system's code page; in a face that can draw them.
    const std::vector<BYTE> withOtherFace = TemplateInDrawingFace(m_nIDTemplate);
    INT_PTR result =
        withOtherFace.empty()
            ? ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), hOwner, &AfxDlgProc,
                                reinterpret_cast<LPARAM>(this))
            : ::DialogBoxIndirectParamW(AfxGetResourceHandle(),
                                        reinterpret_cast<const DLGTEMPLATE*>(withOtherFace.data()), hOwner,
                                        &AfxDlgProc, reinterpret_cast<LPARAM>(this));

    if (ts.hHookCbt)
        ::UnhookWindowsHookEx(ts.hHookCbt);
    ts.hHookCbt = hPrevHook;
    if (ts.pWndInit == this)
        ts.pWndInit = nullptr;
    ts.pModalTop = m_pPrevModal;
    m_pPrevModal = nullptr;
    if (m_bHandlerFailed)
        result = -1;
    // A dialog that failed before its window was destroyed normally.
    if (m_hWnd)
        UnsubclassWindow();
    return result;
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    if (!pDlg)
        return FALSE;
    // The hook binds the dialog at creation; bind it here should a window
    // created in between (none is expected) have taken the hook's turn.
    if (pDlg->m_hWnd != hWnd) {
        pDlg->Detach();
        pDlg->SubclassWindow(hWnd);
    }
    AfxThreadState& ts = AfxGetThreadState();
    if (ts.hHookCbt) {
        ::UnhookWindowsHookEx(ts.hHookCbt);
        ts.hHookCbt = nullptr;
    }
    return static_cast<INT_PTR>(AfxGuard(hWnd, message, [&] { return static_cast<LRESULT>(pDlg->OnInitDialog()); }));
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::EndDialog(int nResult)
{
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    if (!m_hWnd)
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
