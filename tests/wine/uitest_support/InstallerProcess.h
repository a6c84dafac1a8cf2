// An installer started as its own process and worked from outside, the way
// a user (or the demo driver) meets it: its dialogs are found by process,
// their controls read and clicked with real messages, its exit code read.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "framework/String.h"

// The Windows path of a Unix path under Wine (drive Z: is the root).
std::string WindowsPathOfUnixPath(std::string unixPath);

// Polls cond every 20 ms until it holds or timeoutMs pass; returns cond().
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs);

// A control's text, asked with WM_GETTEXT (waits at most a minute).
std::string WindowText(HWND hWnd);
std::string DialogItemText(HWND hDlg, int id);
void SetDialogItemText(HWND hDlg, int id, const std::string& text);
// Posts a click, so that a handler that runs long never blocks the caller.
void ClickDialogItem(HWND hDlg, int id);

class InstallerProcess {
public:
    // Started in the folder directory, or in this process's current folder,
    // with the arguments given after its quoted name.
    explicit InstallerProcess(const CString& exe, const char* directory = nullptr, const char* arguments = nullptr);
    ~InstallerProcess();  // ends a process that still runs
    InstallerProcess(const InstallerProcess&) = delete;
    InstallerProcess& operator=(const InstallerProcess&) = delete;

    bool Started() const { return m_started; }
    // A visible dialog of the process other than `previous`, or null after
    // the timeout.
    HWND WaitForDialog(int timeoutMs = 30000, HWND previous = nullptr);
    HWND WaitForNextDialog(HWND previous, int timeoutMs = 30000) { return WaitForDialog(timeoutMs, previous); }
    // The exit code, or -1 when the process still runs after the timeout.
    long WaitForExit(int timeoutMs);
    // The control that has the keyboard focus in the installer.
    HWND Focus() const;
    // True when the process shows a window (any visible top-level one).
    bool ShowsAWindow() const;

private:
    bool m_started = false;
    PROCESS_INFORMATION m_pi{};
};
