// The installer started from its entry point, with the registry of the
// prefix saying there is (or is not) an earlier installation: which dialog
// comes first, what the keep-data question says, what each answer leads to.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Capture.h"
#include "resource.h"
#include "archive/SfxUndo.h"
#include "support/ArchiveFixtures.h"
#include "InstallerProcess.h"
#include "support/CodePageText.h"
#include "support/SavedRegistryValue.h"
#include "support/TempDir.h"

namespace {

const char* const kClientKey = "Software\\Microsoft\\Windows\\CurrentVersion\\QXClient";
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::string kSuffix = "下\r\n发现《Orvex》已使用的历史版本\r\n\r\n建议保留该旧版本下用户历史数据 继续..\r\n";
const std::string kNewFolderPrefix = "c:\\Ithra通讯";
const std::string kDone =
    "系统安装结束，桌面已生成程序快捷方式图标.. 用户退出后可点击快捷方式图标运行程序..或等待数秒，程序将自行启动....";
const std::string kDoneNoShortcut =
    "系统安装结束，桌面快捷方式未能生成.. 可在安装目录中运行 Rendo.exe..或等待数秒，程序将自行启动....";
const char* const kShortcutName = "Orvex 高级通讯管理.lnk";
const char* const kSetupOverrides = "Software\\Wine\\AppDefaults\\OrvexSetup.exe\\DllOverrides";
const char* const kAeDebug = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";

// DLLs that Windows' own components load by bare name, or that the setup
// once imported (comctl32). version.dll is not among them here: Wine's own
// user32 imports it, so Wine loads a planted one before any code of the
// setup runs, whatever the setup does; on Windows user32 does not import it.
const char* const kPlantedNames[] = {
    "comctl32", "uxtheme", "dwmapi",  "cryptbase", "userenv",     "propsys",  "winmm",    "msimg32",  "oleacc",
    "riched20", "apphelp", "secur32", "sspicli",   "textshaping", "wtsapi32", "netapi32", "profapi",  "shfolder",
};

// The lines of the sample client's marker (its path, command line and
// current folder, written in UTF-8), in GBK, once all three are written.
std::vector<std::string> ClientMarkerLines(const CString& folder)
{
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            lines.clear();
            const CString marker = folder + "\\rendo-started.txt";
            if (GetFileAttributesA(marker) == INVALID_FILE_ATTRIBUTES)
                return false;
            const std::string text = GbkFromUtf8(ReadBinaryFile(marker));
            for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
                lines.push_back(text.substr(start, end - start));
            return lines.size() == 3;
        },
        20000);
    return lines;
}

std::string WindowsPath(const std::string& unixPath) { return WindowsPathOfUnixPath(unixPath); }
std::string Text(HWND hWnd) { return WindowText(hWnd); }
using Installer = InstallerProcess;

bool IsKeepDataDialog(HWND h) { return h && GetDlgItem(h, IDC_KEEP_MESSAGE) && GetDlgItem(h, IDC_DISCARD_DATA); }
bool IsMainDialog(HWND h) { return h && GetDlgItem(h, IDC_START) && GetDlgItem(h, IDC_DEST_PATH); }

void PressKey(HWND hFocus, WPARAM key)
{
    PostMessageA(hFocus, WM_KEYDOWN, key, 1);
    PostMessageA(hFocus, WM_KEYUP, key, 0xC0000001);
}

// Folders the installer would propose for a new installation ("c:\Ithra通讯" + time).
int CountNewFolders()
{
    int n = 0;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((kNewFolderPrefix + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        ++n;
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return n;
}

// The client area rectangle of control id, in the dialog's client coordinates.
RECT ControlRect(HWND hDlg, int id)
{
    RECT r{};
    GetWindowRect(GetDlgItem(hDlg, id), &r);
    MapWindowPoints(HWND_DESKTOP, hDlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The question is painted on the light blue background, its text in green
// (polled: the window shows before its controls have painted).
void ExpectKeepDataColours(HWND hKeep)
{
    const RECT message = ControlRect(hKeep, IDC_KEEP_MESSAGE);
    const RECT keep = ControlRect(hKeep, IDOK);
    COLORREF background = 0;
    bool green = false;
    WaitUntil(
        [&] {
            const Image image = CaptureClient(hKeep);
            if (image.width <= message.right || image.height <= keep.top)
                return false;
            // Between the message and the keep button, left of the button.
            background = image.At(message.left + 2, (message.bottom + keep.top) / 2);
            green = false;
            for (int y = message.top; y < message.bottom && !green; ++y)
                for (int x = message.left; x < message.right && !green; ++x)
                    green = image.At(x, y) == RGB(20, 90, 0);
            return green && background == RGB(233, 241, 252);
        },
        10000);
    EXPECT_EQ(RGB(233, 241, 252), background);
    EXPECT_TRUE(green) << "no pixel of the message is in the text colour";
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", "1");
        const std::string stub = ReadBinaryFile(WindowsPath(SFX_STUB_EXE).c_str());
        ASSERT_FALSE(stub.empty());
        m_newFiles.push_back({"Rendo.exe", ReadBinaryFile(WindowsPath(SFX_RENDO_EXE).c_str())});
        m_newFiles.push_back({"readme.txt", "new readme\r\n"});
        for (int i = 1; i <= 10; ++i) {
            char name[32];
            wsprintfA(name, "user\\keep%02d.pst", i);
            m_newFiles.push_back({name, std::string("new data ") + name});
        }
        m_exe = m_tmp.Path() + "\\OrvexSetup.exe";
        WriteBinaryFile(m_exe, SfxBuildImage(stub, PackFiles(m_newFiles)));

        // A finished installation writes its shortcut: onto a scratch desktop.
        m_desktop = m_tmp.Path() + "\\desktop";
        ASSERT_TRUE(CreateDirectoryA(m_desktop, nullptr));
        ASSERT_TRUE(m_userShellDesktop.Set(m_desktop.GetString()));
        ASSERT_TRUE(m_shellDesktop.Set(m_desktop.GetString()));
        m_newFoldersBefore = CountNewFolders();
    }

    // An earlier installation: the old client, an old readme and old user data.
    CString MakePreviousInstallation(const char* name)
    {
        const CString folder = m_tmp.Path() + "\\" + name;
        CreateDirectoryA(folder, nullptr);
        CreateDirectoryA(folder + "\\user", nullptr);
        WriteBinaryFile(folder + "\\Rendo.exe", "old client");
        WriteBinaryFile(folder + "\\readme.txt", "old readme");
        for (int i = 1; i <= 10; ++i) {
            char file[32];
            wsprintfA(file, "\\user\\keep%02d.pst", i);
            WriteBinaryFile(folder + file, std::string("old data ") + file);
        }
        return folder;
    }

    // Starts the installation in the main dialog and waits for the process
    // to end (the countdown runs out and the client starts); then every
    // file is the new one except the ten user-data files, which are as the
    // earlier installation left them.
    void InstallAndExpectUserDataKept(InstallerProcess& installer, HWND hMain, const CString& folder)
    {
        ClickDialogItem(hMain, IDC_START);
        EXPECT_TRUE(WaitUntil([&] { return DialogItemText(hMain, IDC_STATUS) == kDone; }, 60000));
        EXPECT_EQ(0, installer.WaitForExit(60000));
        for (const FixtureFile& f : m_newFiles) {
            const std::string now = ReadBinaryFile(folder + "\\" + f.name.c_str());
            if (f.name.compare(0, 5, "user\\") == 0)
                EXPECT_EQ("old data \\" + f.name, now) << f.name;
            else
                EXPECT_EQ(f.content, now) << f.name;
        }
    }

    // Every file below folder with its content, for before/after comparisons.
    std::vector<std::string> Snapshot(const CString& folder)
    {
        std::vector<std::string> result;
        for (const std::string& name : ListFilesBelow(folder))
            result.push_back(name + "=" + ReadBinaryFile(folder + "\\" + name.c_str()));
        return result;
    }

    TempDir m_tmp;
    CString m_exe, m_desktop;
    std::vector<FixtureFile> m_newFiles;
    int m_newFoldersBefore = 0;
    SavedRegistryValue m_mainPath{HKEY_LOCAL_MACHINE, kClientKey, "mainpath"};
    SavedRegistryValue m_shellDesktop{HKEY_CURRENT_USER, kShellFolders, "Desktop"};
    SavedRegistryValue m_userShellDesktop{HKEY_CURRENT_USER, kUserShellFolders, "Desktop"};
};

TEST_F(Startup, WithoutAnEarlierInstallationTheMainDialogOpensAtOnce)
{
    const CString noClient = m_tmp.Path() + "\\没有客户端";
    CreateDirectoryA(noClient, nullptr);
    WriteBinaryFile(noClient + "\\readme.txt", "not a client");
    const struct {
        const char* what;
        std::function<void()> prepare;
    } cases[] = {
        {"no key", [&] { m_mainPath.DeleteKey(); }},
        {"empty mainpath", [&] { ASSERT_TRUE(m_mainPath.Set("")); }},
        {"folder without Rendo.exe", [&] { ASSERT_TRUE(m_mainPath.Set(noClient.GetString())); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        Installer installer(m_exe);
        HWND hDlg = installer.WaitForDialog();
        ASSERT_TRUE(IsMainDialog(hDlg)) << "the first dialog is not the main one";
        EXPECT_EQ(0u, Text(GetDlgItem(hDlg, IDC_DEST_PATH)).find(kNewFolderPrefix));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hDlg, IDC_BROWSE)));
        PostMessageA(hDlg, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, installer.WaitForExit(30000));
    }
    EXPECT_EQ(std::vector<std::string>{"readme.txt=not a client"}, Snapshot(noClient));
}

TEST_F(Startup, KeepingInstallsIntoTheEarlierFolderAndLeavesTheUserDataAlone)
{
    const CString previous = MakePreviousInstallation("旧版 誠");
    ASSERT_TRUE(m_mainPath.Set(previous.GetString()));
    Installer installer(m_exe);
    HWND hKeep = installer.WaitForDialog();
    ASSERT_TRUE(IsKeepDataDialog(hKeep));
    EXPECT_EQ("版本更新特别提示", Text(hKeep));
    EXPECT_EQ("在" + std::string(previous) + kSuffix, Text(GetDlgItem(hKeep, IDC_KEEP_MESSAGE)));
    EXPECT_EQ("保留历史数据 继续", Text(GetDlgItem(hKeep, IDOK)));
    EXPECT_EQ("不保留数据", Text(GetDlgItem(hKeep, IDC_DISCARD_DATA)));
    EXPECT_EQ("退出", Text(GetDlgItem(hKeep, IDCANCEL)));
    ExpectKeepDataColours(hKeep);
    WritePng(CaptureWindow(hKeep), ScreenshotPath("keep-data-question.png"));

    PostMessageA(GetDlgItem(hKeep, IDOK), BM_CLICK, 0, 0);
    HWND hMain = installer.WaitForNextDialog(hKeep);
    ASSERT_TRUE(IsMainDialog(hMain));
    EXPECT_EQ(std::string(previous), Text(GetDlgItem(hMain, IDC_DEST_PATH)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hMain, IDC_BROWSE)));

    InstallAndExpectUserDataKept(installer, hMain, previous);
}

TEST_F(Startup, AnUpdateKilledPartWayIsPutBackBeforeTheEarlierClientIsLookedFor)
{
    const CString previous = MakePreviousInstallation("Orvex");
    const std::vector<std::string> before = Snapshot(previous);
    {
        // As End task leaves an update: the client moved aside, the new one
        // half written, the journal there.
        CSfxUndo killed(previous + "\\");
        CString error;
        ASSERT_TRUE(killed.StartJournal(&error));
        ASSERT_TRUE(killed.WillWriteFile(previous + "\\Rendo.exe.zup", true));
        ASSERT_TRUE(MoveFileA(previous + "\\Rendo.exe", previous + "\\Rendo.exe.zbk"));
        WriteBinaryFile(previous + "\\Rendo.exe.zun", "half a client");
    }
    ASSERT_TRUE(m_mainPath.Set(previous.GetString()));
    Installer installer(m_exe);
    HWND hKeep = installer.WaitForDialog();
    EXPECT_TRUE(IsKeepDataDialog(hKeep));
    EXPECT_EQ(before, Snapshot(previous));
    PostMessageA(hKeep, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, installer.WaitForExit(30000));
}

TEST_F(Startup, EnterKeepsTheEarlierFolder)
{
    const CString previous = MakePreviousInstallation("Orvex");
    ASSERT_TRUE(m_mainPath.Set(previous.GetString()));
    Installer installer(m_exe);
    HWND hKeep = installer.WaitForDialog();
    ASSERT_TRUE(IsKeepDataDialog(hKeep));
    ASSERT_TRUE(WaitUntil([&] { return installer.Focus() == GetDlgItem(hKeep, IDOK); }, 10000));
    PressKey(installer.Focus(), VK_RETURN);
    HWND hMain = installer.WaitForNextDialog(hKeep);
    ASSERT_TRUE(IsMainDialog(hMain));
    EXPECT_EQ(std::string(previous), Text(GetDlgItem(hMain, IDC_DEST_PATH)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hMain, IDC_BROWSE)));
    PostMessageA(hMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, installer.WaitForExit(30000));
}

TEST_F(Startup, NotKeepingProposesANewFolder)
{
    const CString previous = MakePreviousInstallation("Orvex");
    ASSERT_TRUE(m_mainPath.Set(previous.GetString()));
    Installer installer(m_exe);
    HWND hKeep = installer.WaitForDialog();
    ASSERT_TRUE(IsKeepDataDialog(hKeep));
    PostMessageA(GetDlgItem(hKeep, IDC_DISCARD_DATA), BM_CLICK, 0, 0);
    HWND hMain = installer.WaitForNextDialog(hKeep);
    ASSERT_TRUE(IsMainDialog(hMain));
    EXPECT_EQ(0u, Text(GetDlgItem(hMain, IDC_DEST_PATH)).find(kNewFolderPrefix));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hMain, IDC_BROWSE)));
    PostMessageA(hMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, installer.WaitForExit(30000));
}

TEST_F(Startup, QuitEscAndTheCloseBoxEndTheProcessWithoutInstalling)
{
    const CString previous = MakePreviousInstallation("Orvex");
    ASSERT_TRUE(m_mainPath.Set(previous.GetString()));
    const std::vector<std::string> before = Snapshot(previous);
    const struct {
        const char* what;
        std::function<void(Installer&, HWND)> act;
    } cases[] = {
        {"quit button", [](Installer&, HWND h) { PostMessageA(GetDlgItem(h, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Esc",
         [](Installer& installer, HWND h) {
             WaitUntil([&] { return installer.Focus() != nullptr; }, 10000);
             PressKey(installer.Focus() ? installer.Focus() : h, VK_ESCAPE);
         }},
        {"close box", [](Installer&, HWND h) { PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Installer installer(m_exe);
        HWND hKeep = installer.WaitForDialog();
        ASSERT_TRUE(IsKeepDataDialog(hKeep));
        c.act(installer, hKeep);
        EXPECT_EQ(0, installer.WaitForExit(30000));
    }
    EXPECT_EQ(before, Snapshot(previous));
    EXPECT_EQ(m_newFoldersBefore, CountNewFolders());
    EXPECT_TRUE(ListFilesBelow(m_desktop).empty());
}

// Started from a downloads folder where DLLs named like system DLLs wait:
// none of them is ever loaded, and the client starts in its installation
// folder, not in the downloads.
TEST_F(Startup, DllsBesideTheSetupNeverLoadAndTheClientStartsInItsFolder)
{
    m_mainPath.DeleteKey();
    const CString downloads = m_tmp.Path() + "\\下载";
    ASSERT_TRUE(CreateDirectoryA(downloads, nullptr));
    const CString setup = downloads + "\\OrvexSetup.exe";
    ASSERT_TRUE(CopyFileA(m_exe, setup, FALSE));
    const std::string planted = ReadBinaryFile(WindowsPath(SFX_PLANTED_DLL).c_str());
    ASSERT_FALSE(planted.empty());
    // Wine is told to take these names from the setup's folder before its
    // own, as Windows does for a DLL that is not a KnownDLL: the registry
    // form of WINEDLLOVERRIDES="name=n,b", kept to this one program (Wine
    // reads the variable from the host's environment, which a process
    // started from here cannot be given). A setup that crashes on a planted
    // DLL ends at once: no debugger starts.
    std::vector<std::unique_ptr<SavedRegistryValue>> overrides;
    for (const char* name : kPlantedNames) {
        WriteBinaryFile(downloads + "\\" + name + ".dll", planted);
        overrides.emplace_back(new SavedRegistryValue(HKEY_CURRENT_USER, kSetupOverrides, name));
        ASSERT_TRUE(overrides.back()->Set("native,builtin"));
    }
    overrides.emplace_back(new SavedRegistryValue(HKEY_LOCAL_MACHINE, kAeDebug, "Debugger"));
    ASSERT_TRUE(overrides.back()->Set("no-debugger-here.exe"));
    const CString folder = m_tmp.Path() + "\\安装";
    Installer installer(setup, downloads);

    HWND hMain = installer.WaitForDialog();
    EXPECT_TRUE(IsMainDialog(hMain));
    if (hMain) {
        SetDialogItemText(hMain, IDC_DEST_PATH, folder.GetString());
        ClickDialogItem(hMain, IDC_START);
        EXPECT_TRUE(WaitUntil([&] { return DialogItemText(hMain, IDC_STATUS) == kDone; }, 60000));
    }
    EXPECT_EQ(0, installer.WaitForExit(60000));
    std::vector<std::string> marks;
    for (const std::string& name : ListFilesBelow(downloads))
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".mark") == 0)
            marks.push_back(name);
    EXPECT_EQ(std::vector<std::string>{}, marks) << "DLLs loaded from the setup's folder";

    const std::vector<std::string> lines = ClientMarkerLines(folder);
    ASSERT_EQ(3u, lines.size()) << "the client did not start";
    EXPECT_EQ(std::string(folder), lines[2]) << "the client's current folder";
}

// A folder with the shortcut's name stands where the shortcut would go: the
// status says that no shortcut was made, and the countdown and the client's
// start go on.
TEST_F(Startup, AFolderInPlaceOfTheShortcutIsReported)
{
    m_mainPath.DeleteKey();
    const CString blocker = m_desktop + "\\" + kShortcutName;
    ASSERT_TRUE(CreateDirectoryA(blocker, nullptr));
    const CString folder = m_tmp.Path() + "\\安装";
    Installer installer(m_exe);
    HWND hMain = installer.WaitForDialog();
    ASSERT_TRUE(IsMainDialog(hMain));
    SetDialogItemText(hMain, IDC_DEST_PATH, folder.GetString());
    ClickDialogItem(hMain, IDC_START);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(hMain, IDC_STATUS) == kDoneNoShortcut; }, 60000))
        << DialogItemText(hMain, IDC_STATUS);
    WritePng(CaptureWindow(hMain), ScreenshotPath("no-shortcut.png"));
    EXPECT_EQ(0, installer.WaitForExit(60000));
    EXPECT_EQ(3u, ClientMarkerLines(folder).size()) << "the client did not start";
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(blocker) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Startup, AMarkerInTheChosenFolderKeepsTheUserDataWithoutAQuestion)
{
    m_mainPath.DeleteKey();
    const CString target = MakePreviousInstallation("已有数据");
    Installer installer(m_exe);
    HWND hMain = installer.WaitForDialog();
    ASSERT_TRUE(IsMainDialog(hMain));
    SetDialogItemText(hMain, IDC_DEST_PATH, target.GetString());
    InstallAndExpectUserDataKept(installer, hMain, target);
}

}  // namespace
