// Per-thread state of the window layer, shared by its source files.
#pragma once
#include <windows.h>

#include <exception>

#include "framework/File.h"
#include "framework/String.h"

class CWnd;
class CDialog;

struct AfxThreadState {
    MSG lastSentMsg{};                // the message being handled (for Default)
    CDialog* pModalTop = nullptr;     // innermost running modal dialog
    CWnd* pWndInit = nullptr;         // object waiting for the next created window
    HHOOK hHookCbt = nullptr;         // the hook that binds it
    CString strLastError;             // last exception caught in a window procedure
    bool bReporting = false;          // the failure message box is up
};

AfxThreadState& AfxGetThreadState();

// Records the failure, tells the user in a message box ("Internal Error"),
// ends the innermost modal dialog with -1 and returns the result the
// message gets instead.
LRESULT AfxOnWndProcException(HWND hWnd, const char* what, UINT message);

// Runs f(); a C++ exception never leaves it (Win32 frames lie above).
template <class F>
LRESULT AfxGuard(HWND hWnd, UINT message, F&& f)
{
    try {
        return f();
    } catch (const CFileException& e) {
        return AfxOnWndProcException(hWnd, e.GetErrorText(), message);
    } catch (const std::exception& e) {
        return AfxOnWndProcException(hWnd, e.what(), message);
    } catch (...) {
        return AfxOnWndProcException(hWnd, "unknown exception", message);
    }
}
