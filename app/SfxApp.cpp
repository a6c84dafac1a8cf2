#include "SfxApp.h"

#include <cstdlib>

#include "app/KeepDataDlg.h"
#include "app/Registry.h"
#include "archive/SfxArchive.h"
#include "archive/SfxUndo.h"
#include "framework/File.h"
#include "framework/FileSystem.h"
#include "framework/WideText.h"
#include "framework/win32/DialogFont.h"
#include "ui/SfxDlg.h"

const char* const SFX_CLIENT_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\QXClient";
const char* const SFX_CLIENT_PATH_VALUE = "mainpath";
const char* const SFX_CLIENT_EXE = "\\Rendo.exe";
const char* const SFX_KEEP_MESSAGE_PREFIX = "在";
const char* const SFX_KEEP_MESSAGE_SUFFIX =
    "下\r\n发现《Orvex》已使用的历史版本\r\n\r\n建议保留该旧版本下用户历史数据 继续..\r\n";
const char* const SFX_TEXT_USAGE =
    "用法：OrvexSetup.exe [/S] [/DISCARD]\r\n"
    "            [/RUN] [/LOG=文件] [/D=目录]\r\n"
    "\r\n"
    "/S：静默安装，不显示任何窗口\r\n"
    "/D=目录：安装目录，须为最后一个参数，可含空格，不加引号\r\n"
    "/DISCARD：覆盖旧版本时不保留用户历史数据\r\n"
    "/RUN：安装完成后启动 Orvex\r\n"
    "/LOG=文件：安装记录写入该文件（UTF-8）\r\n"
    "\r\n"
    "退出代码：\r\n"
    "0 安装成功\r\n"
    "1 参数有误\r\n"
    "2 安装程序已损坏，未作任何改动\r\n"
    "3 安装前的检查未通过，未作任何改动\r\n"
    "4 安装失败，原有安装已恢复";
const char* const SFX_LOG_NAME = "OrvexSetup.log";

namespace {
const char* const kAppCaption = "Orvex通讯管理系统安装提示";

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

    m_commandLine = SfxParseCommandLine(AfxGetCommandLineArguments());
    StartLog();
    AddProtectedFiles();

    if (!m_commandLine.error.IsEmpty()) {
        SfxLog("usage: %s", m_commandLine.error.GetString());
        // With /S not even this is shown: nobody is there to read it.
        if (!m_commandLine.silent) {
            const CString text = CString("无法识别的参数：") + m_commandLine.badArgument + "\r\n\r\n" + SFX_TEXT_USAGE;
            ::MessageBoxW(nullptr, AfxToWide(text).c_str(), AfxToWide(kAppCaption).c_str(), MB_OK | MB_ICONWARNING);
        }
        m_nExitCode = SFX_EXIT_USAGE;
        return FALSE;
    }
    if (m_commandLine.silent) {
        m_nExitCode = RunSilent();
        return FALSE;
    }

    // Taken so that a silent setup started meanwhile waits its turn; the
    // interactive setup itself goes on as it always did.
    if (AnotherSetupRuns())
        SfxLog("another setup is running");
    CString strPrevPath;
    const int nMode = CheckPreviousInstallation(strPrevPath);
    if (nMode == -1) {
        SfxLog("the user quit at the keep-data question; exit code 0");
        m_log.Close();
        exit(0);
    }
    SfxLog("install mode %d: %s", nMode,
           nMode == 2 ? "over the earlier installation, its user data kept"
                      : nMode == 1 ? "over the earlier installation, its user data not kept" : "no earlier installation");

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

int CSfxApp::ExitInstance()
{
    SfxLog("exit code %d", m_nExitCode);
    m_log.Close();
    return m_nExitCode;
}

void CSfxApp::StartLog()
{
    // The record goes where /LOG says, else to the user's temporary folder
    // (the last run's, for support to ask for after a failure).
    CString path = m_commandLine.logPath;
    if (!m_commandLine.hasLog) {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        if (n == 0 || n > MAX_PATH)
            return;
        path = AfxFromWide(temp, static_cast<int>(n)) + SFX_LOG_NAME;
    }
    if (!m_log.Open(path))
        return;
    m_pLog = &m_log;
    const CString module = FsModulePath();
    CFile self;
    int64_t size = -1;
    try {
        if (self.Open(module, CFile::modeRead | CFile::shareDenyNone))
            size = self.GetLength();
    } catch (const CFileException&) {
        // The size is for the record only.
    }
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    SfxLog("Orvex setup %s, %s, %lld bytes, started %04u-%02u-%02u %02u:%02u:%02u", SFX_SETUP_VERSION,
           module.GetString(), static_cast<long long>(size), now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
           now.wSecond);
    SfxLog("command line: %s", AfxFromWide(::GetCommandLineW()).GetString());
    SfxLog("system code page %u, %s", ::GetACP(), m_commandLine.silent ? "no window (/S)" : "interactive");
}

bool CSfxApp::AnotherSetupRuns()
{
    // Held for the whole run by every setup, silent or not, in every
    // session: two setups must not write the same installation at once.
    m_hRunning = ::CreateMutexW(nullptr, FALSE, L"Global\\OrvexSetup.Running");
    const DWORD error = ::GetLastError();
    return !m_hRunning || error == ERROR_ALREADY_EXISTS;
}

bool CSfxApp::FindPreviousInstallation(CString& strPrevPath)
{
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, SFX_CLIENT_KEY, SFX_CLIENT_PATH_VALUE, &strPrevPath))
        return false;
    if (strPrevPath.GetString()[0] == '\0')
        return false;
    // An update of that installation killed part way (End task, a power
    // cut) may have moved the client aside: its journal puts the earlier
    // installation back before the client is looked for.
    const CString folder = SfxWithTrailingBackslash(strPrevPath);
    CString notPutBack;
    if (FsIsAbsoluteFolder(folder))
        CSfxUndo::Recover(folder, &notPutBack);
    // Joined as stored: a folder registered with a trailing backslash gives a doubled one.
    const bool found = FileExists(strPrevPath + SFX_CLIENT_EXE);
    SfxLog("earlier installation registered in %s: %s", strPrevPath.GetString(),
           found ? "Rendo.exe found" : "no Rendo.exe there");
    return found;
}

int CSfxApp::CheckPreviousInstallation(CString& strPrevPath)
{
    if (!FindPreviousInstallation(strPrevPath))
        return 0;

    CKeepDataDlg dlg(nullptr);
    dlg.m_strMessage = CString(SFX_KEEP_MESSAGE_PREFIX) + strPrevPath + SFX_KEEP_MESSAGE_SUFFIX;
    dlg.DoModal();
    return m_nInstallMode;
}
