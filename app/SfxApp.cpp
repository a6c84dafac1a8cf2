#include "SfxApp.h"

#include <cstdlib>

#include "app/KeepDataDlg.h"
#include "app/Registry.h"
#include "archive/SfxArchive.h"
#include "archive/SfxUndo.h"
#include "framework/FileSystem.h"
#include "framework/win32/DialogFont.h"
#include "ui/SfxDlg.h"

const char* const SFX_CLIENT_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\QXClient";
const char* const SFX_CLIENT_PATH_VALUE = "mainpath";
const char* const SFX_CLIENT_EXE = "\\Rendo.exe";
const char* const SFX_KEEP_MESSAGE_PREFIX = "在";
const char* const SFX_KEEP_MESSAGE_SUFFIX =
    "下\r\n发现《Orvex》已使用的历史版本\r\n\r\n建议保留该旧版本下用户历史数据 继续..\r\n";

namespace {
// Where the dialogs' face is not found by its Chinese name "宋体": SimSun
// by its English name first (the same face, on a Windows that knows only
// that name), then the Simplified Chinese faces Windows most likely has:
// Microsoft YaHei, its Chinese user-interface face, on every Windows since
// Vista whatever its language; SimHei and NSimSun with the Chinese fonts.
const wchar_t* const kChineseFaces[] = {L"SimSun", L"Microsoft YaHei", L"Microsoft YaHei UI", L"SimHei", L"NSimSun",
                                        nullptr};
}  // namespace

CSfxApp::CSfxApp() : CWinApp(nullptr) { AfxSetDialogFallbackFaces(kChineseFaces); }

BOOL CSfxApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    AddProtectedFiles();

    CString strPrevPath;
    const int nMode = CheckPreviousInstallation(strPrevPath);
    if (nMode == -1)
        exit(0);

    {
        CSfxDlg dlg(nullptr);
        m_pMainWnd = &dlg;
        dlg.m_strInstallMode = static_cast<char>(nMode);
        dlg.m_strPrevPath = strPrevPath;
        dlg.DoModal();
        // The dialog is destroyed with this scope; nothing may reach it after.
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

int CSfxApp::CheckPreviousInstallation(CString& strPrevPath)
{
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, SFX_CLIENT_KEY, SFX_CLIENT_PATH_VALUE, &strPrevPath))
        return 0;
    if (strPrevPath.GetString()[0] == '\0')
        return 0;
    // An update of that installation killed part way (End task, a power
    // cut) may have moved the client aside: its journal puts the earlier
    // installation back before the client is looked for.
    const CString folder = SfxWithTrailingBackslash(strPrevPath);
    CString notPutBack;
    if (FsIsAbsoluteFolder(folder))
        CSfxUndo::Recover(folder, &notPutBack);
    // Joined as stored: a folder registered with a trailing backslash gives a doubled one.
    if (!FileExists(strPrevPath + SFX_CLIENT_EXE))
        return 0;

    CKeepDataDlg dlg(nullptr);
    dlg.m_strMessage = CString(SFX_KEEP_MESSAGE_PREFIX) + strPrevPath + SFX_KEEP_MESSAGE_SUFFIX;
    dlg.DoModal();
    return m_nInstallMode;
}
