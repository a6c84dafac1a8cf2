// The state that lasts for the whole run and that the start-up code, the
// extraction engine and the main dialog share: the install-mode slot, the
// protected-file list, the created-folder cache and the running dialog.
//
// The Windows application object (CSfxApp) derives from this; tools and
// tests that drive the engine without a window construct one directly. The
// most recently constructed state is the one AfxGetAppState() returns.
#pragma once
#include "app/SfxCommandLine.h"
#include "framework/StringArray.h"

class CSfxLog;
class CSfxRunState;

class CSfxAppState {
public:
    CSfxAppState();
    virtual ~CSfxAppState();
    CSfxAppState(const CSfxAppState&) = delete;
    CSfxAppState& operator=(const CSfxAppState&) = delete;

    // Appends the ten user-data files of an installed client, in order.
    void AddProtectedFiles();

    // 2 keep, 1 do not keep, -1 quit: as last set by the keep-data dialog.
    int m_nInstallMode = 2;
    // Relative paths of the user-data files that keep mode leaves alone.
    CStringArray m_protectedFiles;
    // Full folder paths the engine has tried to create, in order; never shrinks.
    CStringArray m_createdFolders;
    // The running main dialog (its run-state part), or null.
    CSfxRunState* m_pMainDlg = nullptr;
    // The run's record (SfxLog.h), or null when it keeps none.
    CSfxLog* m_pLog = nullptr;
    // The switches the run was started with (none: the interactive setup).
    SfxCommandLine m_commandLine;
};

// The application's shared state (the CSfxApp object in the installer).
CSfxAppState* AfxGetAppState();

// The marker of an earlier installation's user data: the first protected file.
extern const char* const SFX_KEEP_MARKER;
