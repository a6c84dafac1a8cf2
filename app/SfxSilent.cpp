// The setup without any window (/S), for deployment tools and login
// scripts: the same engine, the same checks and the same all or nothing as
// the interactive run, with the keep-data question answered by the command
// line, and an exit code that says what happened.
#include "SfxApp.h"

#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"
#include "shell/DesktopShortcut.h"
#include "ui/SfxDlg.h"

int CSfxApp::RunSilent()
{
    if (AnotherSetupRuns()) {
        SfxLog("another setup is running: nothing was done");
        return SFX_EXIT_NOT_STARTED;
    }
    // The folder: /D=, else the registered earlier installation, else the
    // one the dialog would propose. Over the earlier installation its user
    // data is kept (the question's first answer) unless /DISCARD says no; a
    // folder elsewhere gets every file.
    CString previous;
    const bool found = FindPreviousInstallation(previous);
    const CString folder = m_commandLine.hasFolder ? m_commandLine.folder : found ? previous : SfxProposedFolder();
    const int mode = found && SfxIsSameFolder(folder, previous) ? (m_commandLine.discard ? 1 : 2) : 0;
    SfxLog("install mode %d; folder %s", mode, folder.GetString());

    CSfxRunState state;
    state.m_bKeepDataMode = mode == 2;
    m_pMainDlg = &state;
    CSfxArchive archive;
    const int result = archive.ExtractAll(folder, nullptr, nullptr);
    m_pMainDlg = nullptr;
    SfxLog("result: %s", SfxResultText(result));
    const int exitCode = SfxExitCodeFor(result, archive.HasWritten());
    if (exitCode != SFX_EXIT_INSTALLED)
        return exitCode;

    UpdateDesktopShortcut(folder);
    SfxLog("desktop shortcut: %s", DesktopShortcutExists() ? "there" : "could not be made");
    if (m_commandLine.run) {
        LaunchInstalledProgram(folder + SFX_CLIENT_EXE);
        SfxLog("started %s%s", folder.GetString(), SFX_CLIENT_EXE);
    }
    return SFX_EXIT_INSTALLED;
}
