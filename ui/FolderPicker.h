// CFolderPicker: the shell's folder-browse window (SHBrowseForFolderW),
// with an optional root folder, a folder selected when the window opens, a
// caption of our own, an optional status line, and a per-selection say over
// the OK button for derived classes.
//
// One picker serves one browse: construct it, set the members, call Browse
// once, read GetFolder(), destroy it.
#pragma once
#include <windows.h>

#include "framework/String.h"

class CWnd;

class CFolderPicker {
public:
    CFolderPicker();
    virtual ~CFolderPicker();
    CFolderPicker(const CFolderPicker&) = delete;
    CFolderPicker& operator=(const CFolderPicker&) = delete;

    // Called after every change of the selection with the selected item's
    // file-system path ("" when it has none). strStatus arrives empty; what
    // it holds afterwards goes to the status line when m_bStatusText is set.
    // The result enables or disables OK. This one allows every item.
    virtual BOOL IsFolderSelectable(const char* pszPath, CString& strStatus);

    void SetCaption(CString strCaption) { m_strCaption = strCaption; }
    void SetInitialFolder(CString strFolder) { m_strInitialFolder = strFolder; }
    CString GetFolder() const { return m_strFolder; }

    // Shows the browse window modally, owned by pOwner's window (none when
    // pOwner is null). 1 when the user chose a folder with a file-system
    // path, which is then in m_strFolder; 0 when the user cancelled or a
    // shell call failed (m_strFolder then means nothing).
    int Browse(CWnd* pOwner);
    // The same with the owner given as a window handle.
    int Browse(HWND hOwner);

    // The callback handed to the shell; lpData is the picker. Returns 0.
    static int CALLBACK BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData);

    // Written into the browse window's title bar when it opens; empty keeps the shell's.
    CString m_strCaption;
    // The display-name buffer during Browse; afterwards the chosen folder's full path.
    CString m_strFolder;
    // File-system folder shown as the root of the tree; empty: the desktop.
    CString m_strRootFolder;
    // Folder selected when the window opens; Browse drops trailing blanks
    // and then one trailing backslash, in place (never the second byte of a
    // double-byte character).
    CString m_strInitialFolder;
    // Text above the tree (passed as "" when not set).
    CString m_strTitle;
    // The chosen folder's index in the system image list.
    int m_nImage;
    // The window has a status line showing IsFolderSelectable's text.
    BOOL m_bStatusText;
};
