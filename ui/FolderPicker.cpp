#include "FolderPicker.h"

#include <shlobj.h>

#include <string>

#include "framework/Mbcs.h"
#include "framework/WideText.h"
#include "framework/win32/Wnd.h"

namespace {

// The browse window's messages in their wide form: every text crosses in
// UTF-16, so a folder with any characters can be shown and chosen.
const UINT kEnableOk = WM_USER + 101;
const UINT kSetSelectionW = WM_USER + 103;
const UINT kSetStatusTextW = WM_USER + 104;

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

    BROWSEINFOW bi;
    ZeroMemory(&bi, sizeof bi);

    LPITEMIDLIST pidlRoot = nullptr;
    IShellFolder* pDesktop = nullptr;
    if (!m_strRootFolder.IsEmpty() && SUCCEEDED(SHGetDesktopFolder(&pDesktop))) {
        std::wstring root = AfxToWide(m_strRootFolder);
        ULONG chEaten = 0;
        const HRESULT hr = pDesktop->ParseDisplayName(nullptr, nullptr, &root[0], &chEaten, &pidlRoot, nullptr);
        pDesktop->Release();
        if (FAILED(hr)) {
            if (pidlRoot)
                pMalloc->Free(pidlRoot);
            pMalloc->Release();
            return 0;
        }
        bi.pidlRoot = pidlRoot;
    }

    wchar_t displayName[MAX_PATH] = L"";
    const std::wstring title = AfxToWide(m_strTitle);
    bi.hwndOwner = hOwner;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = kBrowseFlags | (m_bStatusText ? BIF_STATUSTEXT : 0);
    bi.lpfn = BrowseCallbackProc;
    bi.lParam = reinterpret_cast<LPARAM>(this);

    LPITEMIDLIST pidl = SHBrowseForFolderW(&bi);
    m_strFolder = AfxFromWide(displayName);

    int result = 0;
    if (pidl) {
        m_nImage = bi.iImage;
        wchar_t path[MAX_PATH] = L"";
        const BOOL havePath = SHGetPathFromIDListW(pidl, path);
        m_strFolder = AfxFromWide(path);
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
        if (!pPicker->m_strInitialFolder.IsEmpty()) {
            const std::wstring initial = AfxToWide(pPicker->m_strInitialFolder);
            SendMessageW(hWnd, kSetSelectionW, TRUE, reinterpret_cast<LPARAM>(initial.c_str()));
        }
        if (!pPicker->m_strCaption.IsEmpty())
            SetWindowTextW(hWnd, AfxToWide(pPicker->m_strCaption).c_str());
        break;
    case BFFM_SELCHANGED: {
        wchar_t path[MAX_PATH];
        if (!SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(lParam), path))
            path[0] = L'\0';
        CString strStatus;
        const BOOL bSelectable = pPicker->IsFolderSelectable(AfxFromWide(path), strStatus);
        if (pPicker->m_bStatusText) {
            const std::wstring status = AfxToWide(strStatus);
            SendMessageW(hWnd, kSetStatusTextW, 0, reinterpret_cast<LPARAM>(status.c_str()));
        }
        SendMessageW(hWnd, kEnableOk, 0, bSelectable);
        break;
    }
    default:
        break;
    }
    return 0;
}
