#include "SfxDlg.h"

#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "app/SfxLog.h"
#include "archive/SfxRunChecks.h"
#include "framework/win32/TargetAbi.h"
#include "framework/win32/Time.h"
#include "framework/win32/WinApp.h"
#include "resource.h"
#include "shell/DesktopShortcut.h"
#include "ui/DialogColors.h"
#include "ui/FolderPicker.h"

const char* const SFX_TEXT_COPYING = "正在拷贝 ";
const char* const SFX_TEXT_DONE =
    "系统安装结束，桌面已生成程序快捷方式图标.. 用户退出后可点击快捷方式图标运行程序..或等待数秒，程序将自行启动....";
const char* const SFX_TEXT_DONE_NO_SHORTCUT =
    "系统安装结束，桌面快捷方式未能生成.. 可在安装目录中运行 Rendo.exe..或等待数秒，程序将自行启动....";
const char* const SFX_TEXT_NO_DATA = "Archive contins no data";
// The same words as the framework's report of a failed handler.
const char* const SFX_TEXT_INTERNAL = AFX_TEXT_INTERNAL_ERROR;
const char* const SFX_FORMAT_COUNTDOWN = "%d秒后 Orvex软件程序将自行启动....";
const char* const SFX_TEXT_DAMAGED = "安装程序已损坏，请重新下载后再安装。";
const char* const SFX_TEXT_IN_USE = "文件正在使用中，请先退出 Orvex 程序，再按“开始安装”：";
const char* const SFX_FORMAT_NO_SPACE = "磁盘空间不足，请释放空间或选择其他目录。需要 %s MB，可用 %s MB。";
const char* const SFX_TEXT_BAD_FOLDER = "无法在该目录中安装，请选择其他目录：";
const char* const SFX_TEXT_PATH_TOO_LONG = "安装目录路径过长，请选择较短的目录。";
const char* const SFX_NEW_FOLDER_PREFIX = "c:\\Ithra通讯";

namespace {
const char* const kDefaultFolder = "c:\\Orvex通讯";
const char* const kClientName = "\\Rendo.exe";
const char* const kBrowseCaption = "Select Extraction Directory";
// How often the window answers while the engine works: well inside the
// five seconds after which Windows calls a window "not responding".
const DWORD kPulseMs = 50;

bool IsCloseRequest(UINT message, WPARAM wParam)
{
    return message == WM_CLOSE || (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) ||
           (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL));
}
}  // namespace

BEGIN_MESSAGE_MAP(CSfxDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_BROWSE, &CSfxDlg::OnBrowse)
    ON_BN_CLICKED(IDC_START, &CSfxDlg::OnStart)
    ON_WM_CTLCOLOR()
    ON_WM_CREATE()
    ON_MESSAGE(WM_SFX_PROGRESS, &CSfxDlg::OnSfxProgress)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CSfxDlg::CSfxDlg(CWnd* pParent)
    : CDialog(IDD_SFX_DIALOG, pParent),
      m_pApp(AfxGetAppState()),
      m_strDestPath(kDefaultFolder),
      m_hIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_brBackground(SFX_DIALOG_BACKGROUND)
{
    if (m_pApp)
        m_pApp->m_pMainDlg = this;
}

CSfxDlg::~CSfxDlg()
{
    // The engine must never reach a dialog that is gone.
    if (m_pApp && m_pApp->m_pMainDlg == this)
        m_pApp->m_pMainDlg = nullptr;
}

void CSfxDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Text(pDX, IDC_DEST_PATH, m_strDestPath);
    DDX_Text(pDX, IDC_STATUS, m_strStatus);
    DDX_Text(pDX, IDC_COUNTDOWN, m_strCountdown);
}

BOOL CSfxDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        CString strAboutMenu;
        AfxLoadString(IDS_ABOUTBOX, strAboutMenu);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // Install mode 2: the earlier installation's folder, data kept, and no
    // other folder to pick.
    if (m_strInstallMode.Compare(CString(static_cast<char>(2))) == 0) {
        m_bKeepDataMode = true;
        m_strDestPath = m_strPrevPath;
        GetDlgItem(IDC_BROWSE)->EnableWindow(FALSE);
    } else {
        m_strDestPath = SfxProposedFolder();
        m_bKeepDataMode = false;
    }

    UpdateData(FALSE);
    SetTimer(TIMER_CLOSE_WATCH, 500, nullptr);
    return TRUE;
}

void CSfxDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        Default();
    }
}

void CSfxDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CSfxDlg::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(m_hIcon); }

void CSfxDlg::OnBrowse()
{
    CFolderPicker picker;
    picker.SetCaption(kBrowseCaption);
    // The member as last exchanged, not what is typed in the box right now.
    picker.SetInitialFolder(m_strDestPath);
    if (picker.Browse(this) == 1) {
        m_strDestPath = picker.GetFolder();
        UpdateData(FALSE);
    }
}

void CSfxDlg::OnStart()
{
    // Both buttons come back only when nothing was written and the user can
    // change something: close the client, free space, pick another folder.
    GetDlgItem(IDC_START)->EnableWindow(FALSE);
    GetDlgItem(IDC_BROWSE)->EnableWindow(FALSE);
    GetDlgItem(IDC_DEST_PATH)->GetWindowText(m_strDestPath);

    // Runs to its end here; the callback repaints the dialog meanwhile, and
    // the pulse keeps the window answering.
    m_bExtracting = true;
    m_bCloseHeld = false;
    m_archive.SetPulse(&CSfxDlg::Pulse, this);
    SfxLog("start pressed: installing into %s", m_strDestPath.GetString());
    const int result = m_archive.ExtractAll(m_strDestPath, &CSfxDlg::ProgressCallback, this);
    m_bExtracting = false;
    SfxLog("result: %s", SfxResultText(result));

    m_strStatus = "";
    UpdateData(FALSE);

    CWnd* pStatus = GetDlgItem(IDC_STATUS);
    if (result == SFX_OK) {
        UpdateDesktopShortcut(m_strDestPath);
        // Only a shortcut that is there is announced as made.
        const bool shortcut = DesktopShortcutExists();
        SfxLog("desktop shortcut: %s", shortcut ? "there" : "could not be made");
        pStatus->SetWindowText(shortcut ? SFX_TEXT_DONE : SFX_TEXT_DONE_NO_SHORTCUT);
        SetTimer(TIMER_COUNTDOWN, 1000, nullptr);
    } else {
        pStatus->SetWindowText(FailureText(result));
        if (CanTryAgain(result)) {
            GetDlgItem(IDC_START)->EnableWindow(TRUE);
            // Install mode 2 offers no other folder.
            GetDlgItem(IDC_BROWSE)->EnableWindow(m_strInstallMode.Compare(CString(static_cast<char>(2))) != 0);
        }
    }
    if (m_bCloseHeld)
        PostMessage(WM_CLOSE, 0, 0);
}

CString CSfxDlg::FailureText(int result) const
{
    CString text;
    switch (result) {
    case SFX_ERR_NO_MAGIC:
    case SFX_ERR_EMPTY: return SFX_TEXT_NO_DATA;
    case SFX_ERR_DAMAGED:
        // Damage found after the first write was undone like any failure.
        return m_archive.HasWritten() ? SFX_TEXT_INTERNAL : SFX_TEXT_DAMAGED;
    case SFX_ERR_IN_USE: return CString(SFX_TEXT_IN_USE) + m_archive.GetProblemPath();
    case SFX_ERR_NO_SPACE:
        text.Format(SFX_FORMAT_NO_SPACE, SfxMegabytes(m_archive.GetSpaceNeeded(), true).c_str(),
                    SfxMegabytes(m_archive.GetSpaceAvailable(), false).c_str());
        return text;
    case SFX_ERR_BAD_FOLDER: return CString(SFX_TEXT_BAD_FOLDER) + m_strDestPath;
    case SFX_ERR_PATH_TOO_LONG: return SFX_TEXT_PATH_TOO_LONG;
    default: return SFX_TEXT_INTERNAL;
    }
}

bool CSfxDlg::CanTryAgain(int result) const
{
    return !m_archive.HasWritten() && (result == SFX_ERR_IN_USE || result == SFX_ERR_NO_SPACE ||
                                       result == SFX_ERR_BAD_FOLDER || result == SFX_ERR_PATH_TOO_LONG);
}

bool CSfxDlg::Pulse(void* pContext)
{
    CSfxDlg* pDlg = static_cast<CSfxDlg*>(pContext);
    const DWORD now = ::GetTickCount();
    if (now - pDlg->m_dwLastPump < kPulseMs)
        return true;
    pDlg->m_dwLastPump = now;
    // Messages that other threads and programs send are handled inside
    // PeekMessage. Nothing posted is removed except paint: the user's input,
    // the timers and close requests wait for the engine, as they always did.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    for (int i = 0; i < 64 && ::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        ::DispatchMessageW(&msg);
    return true;
}

LRESULT CSfxDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A close request sent while the engine works (another program's
    // WM_CLOSE, the system's End task) waits until the run is whole or undone.
    if (m_bExtracting && IsCloseRequest(message, wParam)) {
        m_bCloseHeld = true;
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

int CSfxDlg::ProgressCallback(SfxEntry* pEntry, void* pContext)
{
    CSfxDlg* pDlg = static_cast<CSfxDlg*>(pContext);
    pDlg->m_strStatus = CString(SFX_TEXT_COPYING) + pDlg->m_strDestPath + "\\" + pEntry->GetName();
    char count[16];
    _itoa(pDlg->m_nProcessed, count, 10);
    // Sent, so the bar has repainted before the engine goes on.
    pDlg->SendMessage(WM_SFX_PROGRESS, reinterpret_cast<WPARAM>(count), 0);
    pDlg->UpdateData(FALSE);
    return 0;
}

LRESULT CSfxDlg::OnSfxProgress(WPARAM wParam, LPARAM)
{
    const char* text = reinterpret_cast<const char*>(wParam);
    const int count = text ? std::atoi(text) : 0;
    // The engine reports no entry before it has set a positive total; a
    // stray message must not divide by zero.
    if (m_nTotal > 0)
        m_progress.SetPos(count * 100 / m_nTotal);
    UpdateData(FALSE);
    return 1;
}

void CSfxDlg::OnTimer(UINT_PTR nIDEvent)
{
    // The client has been started: the next tick of either timer closes.
    if (m_bLaunched)
        SendMessage(WM_CLOSE, 0, 0);

    if (nIDEvent == TIMER_COUNTDOWN) {
        --m_nCountdown;
        if (m_nCountdown <= 0 && !m_bLaunched) {
            LaunchInstalledProgram(m_strDestPath + kClientName);
            SfxLog("countdown over: started %s%s", m_strDestPath.GetString(), kClientName);
            m_bLaunched = true;
        }
        CString text;
        text.Format(SFX_FORMAT_COUNTDOWN, m_nCountdown);
        if (m_nCountdown >= 0)
            GetDlgItem(IDC_COUNTDOWN)->SetWindowText(text);
    }
    Default();
}

HBRUSH CSfxDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
{
    const HBRUSH hbr = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    return SfxDialogCtlColor(pDC, nCtlColor, m_brBackground, hbr);
}

int CSfxDlg::OnCreate(LPCREATESTRUCT)
{
    if (Default() == -1)
        return -1;
    return 0;
}

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CString SfxProposedFolder() { return CString(SFX_NEW_FOLDER_PREFIX) + CTime::GetCurrentTime().Format("%m%d%H%M"); }

void LaunchInstalledProgram(CString path)
{
    SHELLEXECUTEINFOW info;
    std::memset(&info, 0, sizeof info);
    static_assert(sizeof(SHELLEXECUTEINFOW) == kSfxShellExecuteInfoSize, "the structure Windows expects");
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;  // the default verb
    const std::wstring file = AfxToWide(path);
    info.lpFile = file.c_str();
    info.lpParameters = L"";
    // The client starts in its own folder, not in the setup's (usually
    // Downloads), where a DLL it loads by bare name could be waiting.
    const std::wstring folder = AfxToWide(path.Left(path.ReverseFind('\\')));
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    info.hInstApp = nullptr;
    // Whether it started is not reported; the handle is not kept.
    if (::ShellExecuteExW(&info) && info.hProcess)
        ::CloseHandle(info.hProcess);
}
