// The installer as its own process on the code page of an English (1252),
// Japanese (932), Korean (949) or Chinese (936, 950) Windows: its texts, a
// folder with Hangul typed or registered, its GBK entry names, the shortcut
// and the client. Only wide functions here, so this side sees the same
// characters on every code page.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Capture.h"
#include "InstallerProcess.h"
#include "resource.h"
#include "support/ArchiveFixtures.h"
#include "support/CodePageText.h"
#include "support/SavedRegistryValue.h"
#include "support/TempDir.h"
#include "framework/WideText.h"

namespace {

UINT g_codePage = 0;  // the run's argument

const char* const kClientKey = "Software\\Microsoft\\Windows\\CurrentVersion\\QXClient";
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::wstring kNewFolderPrefix = L"c:\\Ithra通讯";
const std::wstring kDone =
    L"系统安装结束，桌面已生成程序快捷方式图标.. 用户退出后可点击快捷方式图标运行程序..或等待数秒，程序将自行启动....";

struct WideFile {
    std::wstring name;
    std::string content;
};

// Compared as UTF-8, so that a failure prints the characters themselves.
std::string U8(const std::wstring& text) { return EncodeText(CP_UTF8, text); }

std::wstring Text(HWND hWnd)
{
    wchar_t buffer[2048] = L"";
    DWORD_PTR n = 0;
    SendMessageTimeoutW(hWnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 60000, &n);
    return std::wstring(buffer, n);
}
std::wstring Item(HWND hDlg, int id) { return Text(GetDlgItem(hDlg, id)); }

std::wstring Countdown(int n) { return std::to_wstring(n) + L"秒后 Orvex软件程序将自行启动...."; }

// Waits until the installer has finished (its countdown shows) or given up
// (Start is back, with a status); returns the status.
std::wstring Verdict(HWND hDlg)
{
    WaitUntil(
        [&] {
            return !Item(hDlg, IDC_COUNTDOWN).empty() ||
                   (IsWindowEnabled(GetDlgItem(hDlg, IDC_START)) && !Item(hDlg, IDC_STATUS).empty());
        },
        60000);
    return Item(hDlg, IDC_STATUS);
}

// Files by their UTF-16 names, through the framework's own file layer.
std::string ReadWide(const std::wstring& path)
{
    try {
        return ReadBinaryFile(AfxFromWide(path));
    } catch (const std::exception&) {
        return "<missing>";
    }
}

void WriteWide(const std::wstring& path, const std::string& bytes) { WriteBinaryFile(AfxFromWide(path), bytes); }

// The target a link holds, read back through the shell's own link object
// from its item list, as the shell opens a shortcut (Wine keeps the link's
// path text in the ANSI code page only, losing what that cannot hold).
std::wstring LinkTarget(const std::wstring& link)
{
    std::wstring target = L"<unreadable>";
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t path[MAX_PATH] = L"";
        PIDLIST_ABSOLUTE idList = nullptr;
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) && SUCCEEDED(shellLink->GetIDList(&idList)) && idList &&
            SHGetPathFromIDListW(idList, path))
            target = path;
        CoTaskMemFree(idList);
        file->Release();
    }
    shellLink->Release();
    return target;
}

// The sample client's marker in folder (its path, command line and current
// folder, UTF-8), once all three lines are written.
std::vector<std::string> MarkerLines(const std::wstring& folder)
{
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            lines.clear();
            const std::string text = ReadWide(folder + L"\\rendo-started.txt");
            for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
                lines.push_back(text.substr(start, end - start));
            return lines.size() == 3;
        },
        20000);
    return lines;
}

class CodePage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(g_codePage, GetACP()) << "the locale gave another ANSI code page than this run is for";
        ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
        SetEnvironmentVariableW(L"SFX_RENDO_NO_WINDOW", L"1");
        const std::string stub = ReadBinaryFile(WindowsPathOfUnixPath(SFX_STUB_EXE).c_str());
        m_files = {{L"Rendo.exe", ReadBinaryFile(WindowsPathOfUnixPath(SFX_RENDO_EXE).c_str())},
                   {L"readme.txt", "Orvex\r\n"},
                   {L"data\\深圳\\a.txt", "Shenzhen"},
                   {L"data\\誠信\\说明.txt", "a 0x5C second byte"},
                   {L"user\\keep01.pst", "new data"}};
        // Stored under their GBK names, as the packer stores them.
        std::vector<FixtureFile> packed;
        for (const WideFile& f : m_files)
            packed.push_back({EncodeText(936, f.name), f.content});
        m_exe = m_tmp.Path() + "\\OrvexSetup.exe";
        WriteBinaryFile(m_exe, SfxBuildImage(stub, PackFiles(packed)));

        // A finished installation writes its shortcut: onto a scratch desktop.
        m_root = DecodeText(CP_ACP, m_tmp.Path().GetString());
        m_desktop = m_root + L"\\desktop";
        ASSERT_TRUE(CreateDirectoryW(m_desktop.c_str(), nullptr));
        ASSERT_TRUE(m_userShellDesktop.Set(EncodeText(CP_ACP, m_desktop)));
        ASSERT_TRUE(m_shellDesktop.Set(EncodeText(CP_ACP, m_desktop)));
    }
    void TearDown() override { CoUninitialize(); }

    static bool RegisterEarlierFolder(const std::wstring& folder)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, DecodeText(CP_ACP, kClientKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
            return false;
        const LONG result = RegSetValueExW(key, L"mainpath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                           static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

    TempDir m_tmp;
    CString m_exe;
    std::wstring m_root, m_desktop;
    std::vector<WideFile> m_files;
    SavedRegistryValue m_mainPath{HKEY_LOCAL_MACHINE, kClientKey, "mainpath"};
    SavedRegistryValue m_shellDesktop{HKEY_CURRENT_USER, kShellFolders, "Desktop"};
    SavedRegistryValue m_userShellDesktop{HKEY_CURRENT_USER, kUserShellFolders, "Desktop"};
};

TEST_F(CodePage, AWholeRunShowsItsTextsAndInstallsIntoAFolderWithHangulAndStartsTheClientThere)
{
    m_mainPath.DeleteKey();
    InstallerProcess installer(m_exe);
    const HWND dlg = installer.WaitForDialog();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(U8(L"Orvex通讯管理系统安装提示"), U8(Text(dlg)));
    EXPECT_EQ(U8(L"程序安装目录"), U8(Item(dlg, IDC_BROWSE)));
    EXPECT_EQ(U8(L"开始安装"), U8(Item(dlg, IDC_START)));
    EXPECT_EQ(U8(L"退出"), U8(Item(dlg, IDOK)));
    const std::wstring proposed = Item(dlg, IDC_DEST_PATH);
    EXPECT_TRUE(proposed.size() == kNewFolderPrefix.size() + 8 && proposed.rfind(kNewFolderPrefix, 0) == 0 &&
                proposed.find_first_not_of(L"0123456789", kNewFolderPrefix.size()) == std::wstring::npos)
        << U8(proposed);
    if (g_codePage == 1252 || g_codePage == 932) {
        RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        const std::string name = "codepage-" + std::to_string(g_codePage) + "-ready.png";
        WritePng(CaptureWindow(dlg), ScreenshotPath(name.c_str()));
    }

    // A check before the first write says what to do, in the same words.
    DWORD_PTR unused = 0;
    const std::wstring relative = L"相对 상대";
    SendMessageTimeoutW(GetDlgItem(dlg, IDC_DEST_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(relative.c_str()),
                        SMTO_NORMAL, 60000, &unused);
    ClickDialogItem(dlg, IDC_START);
    EXPECT_EQ(U8(L"无法在该目录中安装，请选择其他目录：" + relative), U8(Verdict(dlg)));

    const std::wstring dest = m_root + L"\\프로그램 通讯";
    SendMessageTimeoutW(GetDlgItem(dlg, IDC_DEST_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(dest.c_str()),
                        SMTO_NORMAL, 60000, &unused);
    ClickDialogItem(dlg, IDC_START);
    // The refusal stays on show until this start is taken up.
    WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(dlg, IDC_START)); }, 10000);
    EXPECT_EQ(U8(kDone), U8(Verdict(dlg)));
    ASSERT_FALSE(Item(dlg, IDC_COUNTDOWN).empty()) << "the installation did not finish";
    for (const WideFile& f : m_files)
        EXPECT_TRUE(f.content == ReadWide(dest + L"\\" + f.name)) << U8(f.name) << " is missing or differs";
    EXPECT_EQ(U8(dest + L"\\Rendo.exe"), U8(LinkTarget(m_desktop + L"\\Orvex 高级通讯管理.lnk")));
    std::wstring countdown;
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::wstring now = Item(dlg, IDC_COUNTDOWN);
            countdown = now.empty() ? countdown : now;
            return !now.empty() && now == Countdown(now[0] - L'0');
        },
        10000))
        << U8(countdown);

    EXPECT_EQ(0, installer.WaitForExit(60000));
    const std::vector<std::string> lines = MarkerLines(dest);
    ASSERT_EQ(3u, lines.size()) << "the client did not start";
    EXPECT_EQ(U8(dest + L"\\Rendo.exe"), lines[0]);
    EXPECT_EQ(U8(dest), lines[2]) << "the client's current folder";
}

TEST_F(CodePage, AnEarlierFolderWithHangulFromTheRegistryIsOfferedAndItsUserDataKept)
{
    const std::wstring previous = m_root + L"\\이전 설치 通讯";
    ASSERT_TRUE(CreateDirectoryW(previous.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((previous + L"\\user").c_str(), nullptr));
    WriteWide(previous + L"\\Rendo.exe", "earlier client");
    WriteWide(previous + L"\\user\\keep01.pst", "the user's messages");
    ASSERT_TRUE(RegisterEarlierFolder(previous));

    InstallerProcess installer(m_exe);
    const HWND keep = installer.WaitForDialog();
    ASSERT_TRUE(keep && GetDlgItem(keep, IDC_KEEP_MESSAGE)) << "no keep-data question: the earlier folder was not found";
    EXPECT_EQ(U8(L"版本更新特别提示"), U8(Text(keep)));
    EXPECT_EQ(U8(L"在" + previous + L"下\r\n发现《Orvex》已使用的历史版本\r\n\r\n建议保留该旧版本下用户历史数据 继续..\r\n"),
              U8(Item(keep, IDC_KEEP_MESSAGE)));
    ClickDialogItem(keep, IDOK);
    const HWND dlg = installer.WaitForNextDialog(keep);
    ASSERT_TRUE(dlg && GetDlgItem(dlg, IDC_START));
    EXPECT_EQ(U8(previous), U8(Item(dlg, IDC_DEST_PATH)));
    ClickDialogItem(dlg, IDC_START);
    EXPECT_EQ(U8(kDone), U8(Verdict(dlg)));
    // Closed during the countdown: nothing is started.
    PostMessageW(dlg, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, installer.WaitForExit(30000));
    EXPECT_TRUE(m_files[0].content == ReadWide(previous + L"\\Rendo.exe")) << "the client was not replaced";
    EXPECT_EQ("the user's messages", ReadWide(previous + L"\\user\\keep01.pst"));
}

}  // namespace

// codepage_test CODE-PAGE: the ANSI code page the locale must have given.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    g_codePage = argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 0;
    return RUN_ALL_TESTS();
}
