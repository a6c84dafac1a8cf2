#include "InstallerProcess.h"

namespace {

struct Search {
    DWORD pid;
    HWND previous;
    HWND found;
};

BOOL CALLBACK FindProcessDialog(HWND h, LPARAM lParam)
{
    Search* s = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (pid == s->pid && h != s->previous && std::string(cls) == "#32770" && IsWindowVisible(h)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindVisibleWindow(HWND h, LPARAM lParam)
{
    Search* s = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == s->pid && IsWindowVisible(h)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string WindowsPathOfUnixPath(std::string unixPath)
{
    for (char& c : unixPath)
        if (c == '/')
            c = '\\';
    return "Z:" + unixPath;
}

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs))
            return cond();
        Sleep(20);
    }
    return true;
}

std::string WindowText(HWND hWnd)
{
    char buf[2048] = "";
    DWORD_PTR n = 0;
    SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 60000, &n);
    return std::string(buf, n);
}

std::string DialogItemText(HWND hDlg, int id) { return WindowText(GetDlgItem(hDlg, id)); }

void SetDialogItemText(HWND hDlg, int id, const std::string& text)
{
    DWORD_PTR r = 0;
    SendMessageTimeoutA(GetDlgItem(hDlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        60000, &r);
}

void ClickDialogItem(HWND hDlg, int id) { PostMessageA(GetDlgItem(hDlg, id), BM_CLICK, 0, 0); }

InstallerProcess::InstallerProcess(const CString& exe, const char* directory, const char* arguments)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + std::string(exe.GetString()) + "\"";
    if (arguments)
        cmd += std::string(" ") + arguments;
    m_started = CreateProcessA(exe, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, directory, &si, &m_pi) != FALSE;
}

InstallerProcess::~InstallerProcess()
{
    if (!m_started)
        return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(m_pi.hProcess, 1);
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
}

HWND InstallerProcess::WaitForDialog(int timeoutMs, HWND previous)
{
    HWND found = nullptr;
    if (m_started)
        WaitUntil(
            [&] {
                Search s{m_pi.dwProcessId, previous, nullptr};
                EnumWindows(&FindProcessDialog, reinterpret_cast<LPARAM>(&s));
                found = s.found;
                return found != nullptr;
            },
            timeoutMs);
    return found;
}

long InstallerProcess::WaitForExit(int timeoutMs)
{
    if (!m_started || WaitForSingleObject(m_pi.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return static_cast<long>(code);
}

bool InstallerProcess::ShowsAWindow() const
{
    Search s{m_pi.dwProcessId, nullptr, nullptr};
    EnumWindows(&FindVisibleWindow, reinterpret_cast<LPARAM>(&s));
    return s.found != nullptr;
}

HWND InstallerProcess::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(m_pi.dwThreadId, &info) ? info.hwndFocus : nullptr;
}
