// The installer as the user gets it: the stub executable with the archive
// appended, started as its own process and worked from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "support/ArchiveFixtures.h"
#include "support/TempDir.h"

namespace {

const std::string kDone =
    "系统安装结束，桌面已生成程序快捷方式图标.. 用户退出后可点击快捷方式图标运行程序..或等待数秒，程序将自行启动....";

std::string WindowsPath(std::string unixPath)
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

struct Found {
    DWORD pid;
    HWND hWnd;
};

BOOL CALLBACK FindProcessDialog(HWND h, LPARAM lParam)
{
    Found* f = reinterpret_cast<Found*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (pid == f->pid && std::string(cls) == "#32770" && IsWindowVisible(h)) {
        f->hWnd = h;
        return FALSE;
    }
    return TRUE;
}

// One started installer process and its dialog.
class Installer {
public:
    explicit Installer(const CString& exe)
    {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string cmd = "\"" + std::string(exe.GetString()) + "\"";
        m_started = CreateProcessA(exe, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi) != FALSE;
    }
    ~Installer()
    {
        if (!m_started)
            return;
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_pi.hProcess, 1);
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }
    bool WaitForDialog()
    {
        return m_started && WaitUntil(
                                [&] {
                                    Found f{m_pi.dwProcessId, nullptr};
                                    EnumWindows(&FindProcessDialog, reinterpret_cast<LPARAM>(&f));
                                    m_hDlg = f.hWnd;
                                    return m_hDlg != nullptr;
                                },
                                30000);
    }
    std::string Text(int id)
    {
        char buf[1024] = "";
        DWORD_PTR n = 0;
        SendMessageTimeoutA(GetDlgItem(m_hDlg, id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL,
                            60000, &n);
        return std::string(buf, n);
    }
    void SetText(int id, const std::string& text)
    {
        DWORD_PTR r = 0;
        SendMessageTimeoutA(GetDlgItem(m_hDlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_NORMAL, 60000, &r);
    }
    void Click(int id) { PostMessageA(GetDlgItem(m_hDlg, id), BM_CLICK, 0, 0); }
    // The exit code, or -1 when the process still runs after the timeout.
    long WaitForExit(int timeoutMs)
    {
        if (WaitForSingleObject(m_pi.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(m_pi.hProcess, &code);
        return static_cast<long>(code);
    }
    HWND m_hDlg = nullptr;

private:
    bool m_started = false;
    PROCESS_INFORMATION m_pi{};
};

class StubProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", "1");
        m_stub = ReadBinaryFile(WindowsPath(SFX_STUB_EXE).c_str());
        ASSERT_FALSE(m_stub.empty());
    }
    TempDir m_tmp;
    std::string m_stub;
};

TEST_F(StubProcessTest, BareStubReportsNoDataAndQuitsOnClose)
{
    const CString exe = m_tmp.Path() + "\\OrvexStub.exe";
    WriteBinaryFile(exe, m_stub);
    Installer installer(exe);
    ASSERT_TRUE(installer.WaitForDialog());
    installer.SetText(IDC_DEST_PATH, (m_tmp.Path() + "\\target").GetString());
    installer.Click(IDC_START);
    EXPECT_TRUE(WaitUntil([&] { return installer.Text(IDC_STATUS) == "Archive contins no data"; }, 30000))
        << installer.Text(IDC_STATUS);
    PostMessageA(installer.m_hDlg, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, installer.WaitForExit(30000));
}

TEST_F(StubProcessTest, InstallerUnpacksItsOwnArchiveStartsTheClientAndEnds)
{
    const std::vector<FixtureFile> files = {
        {"Rendo.exe", ReadBinaryFile(WindowsPath(SFX_RENDO_EXE).c_str())},
        {"skins\\默认\\theme.ini", "[theme]\r\n"},
        {"readme.txt", "Orvex\r\n"},
    };
    const CString exe = m_tmp.Path() + "\\OrvexSetup.exe";
    WriteBinaryFile(exe, SfxBuildImage(m_stub, PackFiles(files)));
    const CString dest = m_tmp.Path() + "\\安装";

    Installer installer(exe);
    ASSERT_TRUE(installer.WaitForDialog());
    EXPECT_EQ(0u, installer.Text(IDC_DEST_PATH).find("c:\\Ithra通讯"));
    installer.SetText(IDC_DEST_PATH, dest.GetString());
    installer.Click(IDC_START);
    EXPECT_TRUE(WaitUntil([&] { return installer.Text(IDC_STATUS) == kDone; }, 60000)) << installer.Text(IDC_STATUS);
    // Eight seconds of countdown, then the client starts and the installer ends.
    EXPECT_EQ(0, installer.WaitForExit(60000));
    for (const FixtureFile& f : files)
        EXPECT_EQ(f.content, ReadBinaryFile(dest + "\\" + f.name.c_str())) << f.name;
    EXPECT_TRUE(WaitUntil(
        [&] { return GetFileAttributesA(dest + "\\rendo-started.txt") != INVALID_FILE_ATTRIBUTES; }, 20000));
}

}  // namespace
