// CSfxDlg: the installer's main window. It proposes an installation folder,
// runs the extraction engine synchronously when the start button is
// pressed while the status line and the percent bar follow each entry,
// makes the desktop shortcut, counts down eight seconds, starts the
// installed client and closes itself.
//
// The engine reaches the dialog's run state (keep flag, entry total,
// visited count) through the CSfxRunState base, registered in the shared
// application state by the constructor.
#pragma once
#include <windows.h>

#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"
#include "framework/String.h"
#include "framework/win32/Dialog.h"
#include "ui/PercentProgressCtrl.h"

// Sent (not posted) by the progress callback: wParam points at the visited
// count in decimal, lParam is 0; the handler returns 1.
#define WM_SFX_PROGRESS (WM_USER + 10)

enum {
    TIMER_COUNTDOWN = 1,    // 1000 ms, after a successful extraction
    TIMER_CLOSE_WATCH = 2,  // 500 ms, from OnInitDialog on
};

class CSfxDlg : public CDialog, public CSfxRunState {
public:
    explicit CSfxDlg(CWnd* pParent = nullptr);
    ~CSfxDlg() override;

    // SfxProgressFn: shows the entry just unpacked and moves the bar.
    static int ProgressCallback(SfxEntry* pEntry, void* pContext);
    // SfxPulseFn: while the engine works, lets paint and the messages other
    // programs send through, so that the window answers the system.
    static bool Pulse(void* pContext);

    CSfxArchive m_archive;
    // The install mode as a one-character string whose character code is the mode.
    CString m_strInstallMode;
    // The previous installation's folder (used in install mode 2).
    CString m_strPrevPath;
    int m_nCountdown = 8;
    CSfxAppState* m_pApp;
    bool m_bLaunched = false;
    CPercentProgressCtrl m_progress;
    CString m_strDestPath;
    CString m_strStatus;
    // Stays empty: the countdown text is written into the control directly.
    CString m_strCountdown;
    HICON m_hIcon;

protected:
    // Holds close requests while the engine works.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBrowse();
    void OnStart();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    LRESULT OnSfxProgress(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    // The status text for a failed run; and whether the user can change
    // something and start again (nothing was written).
    CString FailureText(int result) const;
    bool CanTryAgain(int result) const;

    CBrush m_brBackground;  // one per dialog, released with it
    bool m_bExtracting = false;
    bool m_bCloseHeld = false;  // a close request came while the engine worked
    DWORD m_dwLastPump = 0;
};

// The about box, opened from the system menu.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};

// Starts the program at path with the default verb and no arguments, in
// its own folder (path up to its last backslash).
void LaunchInstalledProgram(CString path);

// The folder proposed for a new installation: "c:\Ithra通讯" and the
// month, day, hour and minute (MMDDHHMM).
CString SfxProposedFolder();

// The status texts the dialog shows (GBK).
extern const char* const SFX_TEXT_COPYING;     // "正在拷贝 "
extern const char* const SFX_TEXT_DONE;        // the completion message
extern const char* const SFX_TEXT_DONE_NO_SHORTCUT; // the same when no shortcut is on the desktop
extern const char* const SFX_TEXT_NO_DATA;     // "Archive contins no data"
extern const char* const SFX_TEXT_INTERNAL;    // "Internal Error"
// A failure found before the first write, which says what to do about it.
extern const char* const SFX_TEXT_DAMAGED;       // a damaged download: only a new one helps
extern const char* const SFX_TEXT_IN_USE;        // followed by the file's path
extern const char* const SFX_FORMAT_NO_SPACE;    // needed and available, in MB with one decimal
extern const char* const SFX_TEXT_BAD_FOLDER;    // followed by the folder as typed
extern const char* const SFX_TEXT_PATH_TOO_LONG;
extern const char* const SFX_FORMAT_COUNTDOWN; // "%d秒后 Orvex软件程序将自行启动...."
extern const char* const SFX_NEW_FOLDER_PREFIX; // "c:\Ithra通讯"
