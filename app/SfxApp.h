// CSfxApp: the installer's one application object. Its start-up looks for
// an earlier installation of the client, asks whether to keep its user data
// and then runs the main dialog in the chosen install mode.
//
// The run state shared with the extraction engine and the main dialog (the
// install-mode slot, the protected-file list, the created-folder cache and
// the running dialog) lives in the portable CSfxAppState base.
//
// Differs from MFC's shape in one point: CWinApp here is no command target,
// so there is no message map routing ID_HELP to CWinApp::OnHelp (the
// installer has no help file, and nothing sends that command).
#pragma once
#include "app/SfxAppState.h"
#include "framework/String.h"
#include "framework/win32/WinApp.h"

// Where an earlier installation of the client is registered.
extern const char* const SFX_CLIENT_KEY;        // under HKEY_LOCAL_MACHINE
extern const char* const SFX_CLIENT_PATH_VALUE;  // "mainpath"
extern const char* const SFX_CLIENT_EXE;         // "\Rendo.exe", appended to the folder
// The keep-data question: prefix + folder + suffix.
extern const char* const SFX_KEEP_MESSAGE_PREFIX;
extern const char* const SFX_KEEP_MESSAGE_SUFFIX;

class CSfxApp : public CWinApp, public CSfxAppState {
public:
    CSfxApp();

    // Fills the protected-file list, runs the previous-installation check,
    // then the main dialog. Returns FALSE once the dialog has closed; when
    // the user quits the keep-data question the process ends here with
    // exit code 0.
    BOOL InitInstance() override;

    // 0 when no earlier installation is found (no registry value, an empty
    // one, or no Rendo.exe in the registered folder); otherwise asks the
    // keep-data question and returns the mode it left: 2 keep, 1 do not
    // keep, -1 quit. strPrevPath receives the registry value whenever it
    // could be read.
    int CheckPreviousInstallation(CString& strPrevPath);
};

extern CSfxApp theApp;
