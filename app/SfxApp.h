// CSfxApp: the installer's one application object. Its start-up reads the
// command line and opens the run's log; without switches it looks for an
// earlier installation of the client, asks whether to keep its user data
// and then runs the main dialog in the chosen install mode; with /S it
// installs without any window (SfxSilent.cpp) and ends with an exit code
// that says what happened.
//
// The run state shared with the extraction engine and the main dialog (the
// install-mode slot, the protected-file list, the created-folder cache, the
// running dialog, the command line and the log) lives in the portable
// CSfxAppState base.
//
// Differs from MFC's shape in one point: CWinApp here is no command target,
// so there is no message map routing ID_HELP to CWinApp::OnHelp (the
// installer has no help file, and nothing sends that command).
#pragma once
#include <windows.h>

#include "app/SfxAppState.h"
#include "app/SfxLog.h"
#include "framework/String.h"
#include "framework/win32/WinApp.h"

// Where an earlier installation of the client is registered.
extern const char* const SFX_CLIENT_KEY;        // under HKEY_LOCAL_MACHINE
extern const char* const SFX_CLIENT_PATH_VALUE;  // "mainpath"
extern const char* const SFX_CLIENT_EXE;         // "\Rendo.exe", appended to the folder
// The keep-data question: prefix + folder + suffix.
extern const char* const SFX_KEEP_MESSAGE_PREFIX;
extern const char* const SFX_KEEP_MESSAGE_SUFFIX;
// The switches, shown when a command line is not understood.
extern const char* const SFX_TEXT_USAGE;
// The run's log when /LOG names none: this name in the user's temporary folder.
extern const char* const SFX_LOG_NAME;

class CSfxApp : public CWinApp, public CSfxAppState {
public:
    CSfxApp();

    // Reads the command line and opens the log, fills the protected-file
    // list, then installs without a window (/S) or runs the previous-
    // installation check and the main dialog. Returns FALSE once done; when
    // the user quits the keep-data question the process ends here with
    // exit code 0.
    BOOL InitInstance() override;
    // The exit code: the interactive setup's 0, or what the silent run set.
    int ExitInstance() override;

    // 0 when no earlier installation is found (no registry value, an empty
    // one, or no Rendo.exe in the registered folder); otherwise asks the
    // keep-data question and returns the mode it left: 2 keep, 1 do not
    // keep, -1 quit. strPrevPath receives the registry value whenever it
    // could be read.
    int CheckPreviousInstallation(CString& strPrevPath);
    // The registry's earlier installation whose folder holds Rendo.exe (an
    // update of it that was killed part way is put back first).
    bool FindPreviousInstallation(CString& strPrevPath);

    // /S: installs with no window at all and returns the exit code.
    int RunSilent();

private:
    void StartLog();
    bool AnotherSetupRuns();

    CSfxLog m_log;
    HANDLE m_hRunning = nullptr;  // held while this setup runs
    int m_nExitCode = 0;
};

extern CSfxApp theApp;
