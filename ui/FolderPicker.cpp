#include "FolderPicker.h"

#include <shlobj.h>

#include "framework/Mbcs.h"
#include "framework/win32/Wnd.h"

namespace {

// The browse window's messages in their ANSI form; the shell headers pick
// the wide ones when UNICODE is set.
const UINT kSetStatusTextA = WM_USER + 100;
const UINT kEnableOk = WM_USER + 101;
const UINT kSetSelectionA = WM_USER + 102;

const UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;  // 9

// Byte index where the text's last character starts, -1 for "".
int LastCharStart(const CString& text)
{
    int last = -1;
    for (int i = 0; i < text.GetLength(); i += AfxCharLength(text.GetString() + i))
        last = i;
    return last;
}

}  // namespace

CFolderPicker::CFolderPicker() : m_nImage(0), m_bStatusText(FALSE) {}

CFolderPicker::~CFolderPicker() {}

BOOL CFolderPicker::IsFolderSelectable(const char*, CString&) { return TRUE; }

int CFolderPicker::Browse(CWnd* pOwner) { return Browse(pOwner ? pOwner->GetSafeHwnd() : nullptr); }

int CFolderPicker::Browse(HWND hOwner)
{
    if (!m_strInitialFolder.IsEmpty()) {
        m_strInitialFolder.TrimRight();
        // Only one backslash goes; a drive root "c:\" becomes "c:". A final
        // double-byte character whose second byte is 0x5C ("誠") stays whole.
        const int lastChar = LastCharStart(m_strInitialFolder);
        if (lastChar >= 0 && m_strInitialFolder[lastChar] == '\\')
            m_strInitialFolder = m_strInitialFolder.Left(lastChar);
    }

    IMalloc* pMalloc = nullptr;
    if (SHGetMalloc(&pMalloc) != S_OK)
        return 0;

    BROWSEINFOA bi;
    ZeroMemory(&bi, sizeof bi);

    LPITEMIDLIST pidlRoot = nullptr;
    IShellFolder* pDesktop = nullptr;
    if (!m_strRootFolder.IsEmpty() && SUCCEEDED(SHGetDesktopFolder(&pDesktop))) {
        WCHAR wszRoot[MAX_PATH];
        MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, m_strRootFolder, -1, wszRoot, MAX_PATH);
        ULONG chEaten = 0;
        const HRESULT hr = pDesktop->ParseDisplayName(nullptr, nullptr, wszRoot, &chEaten, &pidlRoot, nullptr);
        pDesktop->Release();
        if (FAILED(hr)) {
            if (pidlRoot)
                pMalloc->Free(pidlRoot);
            pMalloc->Release();
            return 0;
        }
        bi.pidlRoot = pidlRoot;
    }

    bi.hwndOwner = hOwner;
    bi.pszDisplayName = m_strFolder.GetBuffer(MAX_PATH);
    bi.lpszTitle = m_strTitle;
    bi.ulFlags = kBrowseFlags | (m_bStatusText ? BIF_STATUSTEXT : 0);
    bi.lpfn = BrowseCallbackProc;
    bi.lParam = reinterpret_cast<LPARAM>(this);

    LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
    m_strFolder.ReleaseBuffer();

    int result = 0;
    if (pidl) {
        m_nImage = bi.iImage;
        const BOOL havePath = SHGetPathFromIDListA(pidl, m_strFolder.GetBuffer(MAX_PATH));
        m_strFolder.ReleaseBuffer();
        result = havePath ? 1 : 0;
        pMalloc->Free(pidl);
    }
    if (pidlRoot)
        pMalloc->Free(pidlRoot);
    pMalloc->Release();
    return result;
}

int CALLBACK CFolderPicker::BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData)
{
    CFolderPicker* pPicker = reinterpret_cast<CFolderPicker*>(lpData);
    switch (uMsg) {
    case BFFM_INITIALIZED:
        // A folder that does not exist yet simply leaves the shell's own selection.
        if (!pPicker->m_strInitialFolder.IsEmpty())
            SendMessageA(hWnd, kSetSelectionA, TRUE, reinterpret_cast<LPARAM>(pPicker->m_strInitialFolder.GetString()));
        if (!pPicker->m_strCaption.IsEmpty())
            SetWindowTextA(hWnd, pPicker->m_strCaption);
        break;
    case BFFM_SELCHANGED: {
        char szPath[MAX_PATH];
        if (!SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), szPath))
            szPath[0] = '\0';
        CString strStatus;
        const BOOL bSelectable = pPicker->IsFolderSelectable(szPath, strStatus);
        if (pPicker->m_bStatusText)
            SendMessageA(hWnd, kSetStatusTextA, 0, reinterpret_cast<LPARAM>(strStatus.GetString()));
        SendMessageA(hWnd, kEnableOk, 0, bSelectable);
        break;
    }
    default:
        break;
    }
    return 0;
}
