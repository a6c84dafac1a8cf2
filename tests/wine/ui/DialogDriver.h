// Runs a modal dialog on the test's main thread while a driver thread works
// it from outside with real messages, and records what the dialog shows.
//
// The driver only collects: every check runs on the main thread after the
// dialog has ended (the test framework is built without thread support).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CDialog;

// Something the dialog did, in the order it happened.
struct DialogEvent {
    enum Kind { StatusText, CountdownText, Progress, Timer, Destroyed } kind;
    std::string text;  // StatusText, CountdownText
    int value = 0;     // Progress: the count sent; Timer: the timer id
    bool markerExisted = false;  // CountdownText: the client's marker file existed then
};

// The driver's view of the running dialog.
class DialogDriver {
public:
    // Waits for the dialog of the UI thread to show; false after the timeout.
    bool WaitForDialog(int timeoutMs = 20000);
    HWND Dialog() const { return m_hDlg; }
    HWND Item(int id) const { return GetDlgItem(m_hDlg, id); }
    // WM_GETTEXT / WM_SETTEXT, sent to the control (waits while the UI
    // thread is busy, up to the timeout).
    std::string Text(int id) const;
    void SetText(int id, const std::string& text) const;
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    // Posted, so the driver does not wait for what the click starts.
    void Click(int id) const { PostMessageA(Item(id), BM_CLICK, 0, 0); }
    void Close() const { PostMessageA(m_hDlg, WM_CLOSE, 0, 0); }
    // Waits for a message box of the UI thread, saves its picture as png
    // (when given), reads its text and presses its OK button; "" when none
    // appeared before the timeout.
    std::string AnswerMessageBox(const char* png = nullptr, int timeoutMs = 20000) const;
    // Polls cond until true or the timeout; returns the last result.
    static bool WaitUntil(const std::function<bool()>& cond, int timeoutMs);
    // Recorded events so far (copied under a lock).
    std::vector<DialogEvent> Events() const;
    // A note for the test to show when it fails.
    void Note(const std::string& what) { m_notes += what + "\n"; }

    DWORD m_uiThread = 0;
    HWND m_hDlg = nullptr;
    std::string m_notes;
};

struct DialogRunOptions {
    // File whose existence is noted with each countdown text.
    std::string markerPath;
    // Called (on the UI thread) after the n-th progress message is handled.
    std::function<void(HWND hDlg, int count)> onProgress;
};

// Runs dlg.DoModal() on this thread while script runs on a driver thread;
// the dialog is closed when the script returns and it still runs. Returns
// the DoModal result; events receives everything recorded.
INT_PTR RunDialog(CDialog& dlg, const std::function<void(DialogDriver&)>& script, std::vector<DialogEvent>* events,
                  std::string* notes, const DialogRunOptions& options = {});
