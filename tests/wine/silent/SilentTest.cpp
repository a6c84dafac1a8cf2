// The setup deployed without anyone at the screen: /S with /D=, /DISCARD,
// /LOG= and the exit codes, started as its own process the way a
// software-distribution tool starts it, and watched for any window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InstallerProcess.h"
#include "archive/SfxArchiveWriter.h"
#include "support/ArchiveFixtures.h"
#include "support/CodePageText.h"
#include "support/HeldOpen.h"
#include "support/SavedRegistryValue.h"
#include "support/TempDir.h"

namespace {

const char* const kClientKey = "Software\\Microsoft\\Windows\\CurrentVersion\\QXClient";
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

bool Exists(const CString& path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

std::string ReadOr(const CString& path, const char* missing)
{
    return Exists(path) ? ReadBinaryFile(path) : std::string(missing);
}

// The log is UTF-8; the test's texts are GBK.
std::string Utf8(const std::string& gbk) { return EncodeText(CP_UTF8, DecodeText(936, gbk)); }

BOOL CALLBACK AddText(HWND child, LPARAM all)
{
    char text[1024] = "";
    GetWindowTextA(child, text, sizeof text);
    *reinterpret_cast<std::string*>(all) += std::string(text) + "\n";
    return TRUE;
}

// Every text a window's controls show.
std::string TextsOf(HWND window)
{
    std::string texts;
    EnumChildWindows(window, &AddText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

class SilentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", "1");
        m_desktop = m_tmp.Path() + "\\desktop";
        CreateDirectoryA(m_desktop, nullptr);
        ASSERT_TRUE(m_shellDesktop.Set(m_desktop.GetString()));
        ASSERT_TRUE(m_userShellDesktop.Set(m_desktop.GetString()));
        m_client.Delete();
        m_files = {{"Rendo.exe", ReadBinaryFile(WindowsPathOfUnixPath(SFX_RENDO_EXE).c_str())},
                   {"data\\深圳\\a.txt", "shenzhen"},
                   {"user\\keep02.pst", "empty mailbox"}};
        const std::string stub = ReadBinaryFile(WindowsPathOfUnixPath(SFX_STUB_EXE).c_str());
        m_stubSize = stub.size();
        m_setup = m_tmp.Path() + "\\OrvexSetup.exe";
        WriteBinaryFile(m_setup, SfxBuildImage(stub, PackFiles(m_files)));
        m_log = m_tmp.Path() + "\\setup.log";
    }
    // Runs the setup with these arguments to its end; no window may appear.
    long Run(const std::string& arguments)
    {
        InstallerProcess setup(m_setup, nullptr, arguments.c_str());
        bool window = false;
        const bool ended = WaitUntil(
            [&] {
                window = window || setup.ShowsAWindow();
                return setup.WaitForExit(0) != -1;
            },
            60000);
        EXPECT_TRUE(ended) << arguments;
        EXPECT_FALSE(window) << arguments << ": a window appeared";
        return setup.WaitForExit(0);
    }
    std::string Log() const { return ReadOr(m_log, ""); }
    // An earlier installation, registered as the client registers it.
    CString EarlierInstallation()
    {
        const CString folder = m_tmp.Path() + "\\旧版 Orvex";
        CreateDirectoryA(folder, nullptr);
        CreateDirectoryA(folder + "\\user", nullptr);
        WriteBinaryFile(folder + "\\Rendo.exe", "earlier client");
        WriteBinaryFile(folder + "\\user\\keep02.pst", "the user's messages");
        EXPECT_TRUE(m_client.Set(folder.GetString()));
        return folder;
    }

    TempDir m_tmp;
    CString m_desktop, m_setup, m_log;
    size_t m_stubSize = 0;
    std::vector<FixtureFile> m_files;
    SavedRegistryValue m_shellDesktop{HKEY_CURRENT_USER, kShellFolders, "Desktop"};
    SavedRegistryValue m_userShellDesktop{HKEY_CURRENT_USER, kUserShellFolders, "Desktop"};
    SavedRegistryValue m_client{HKEY_LOCAL_MACHINE, kClientKey, "mainpath"};
};

TEST_F(SilentTest, InstallsIntoTheGivenFolderWithoutAWindowAndRecordsEveryStep)
{
    const CString dest = m_tmp.Path() + "\\安装 通讯";
    // /D= takes the rest of the line, spaces and all; switches in any case.
    EXPECT_EQ(0, Run("/s \"/LOG=" + std::string(m_log) + "\" /D=" + dest.GetString()));
    for (const FixtureFile& f : m_files)
        EXPECT_EQ(f.content, ReadOr(dest + "\\" + f.name.c_str(), "<missing>")) << f.name;
    EXPECT_TRUE(Exists(m_desktop + "\\Orvex 高级通讯管理.lnk"));
    EXPECT_FALSE(Exists(dest + "\\rendo-started.txt")) << "the client starts only with /RUN";

    const std::string log = Log();
    for (const char* line : {"Orvex setup " SFX_PROJECT_VERSION ", ", "command line: ", "install mode 0; folder ",
                             "check digests: ok", "check files to replace are free: ok", "wrote ",
                             "result: success", "desktop shortcut: there", "exit code 0"})
        EXPECT_NE(std::string::npos, log.find(line)) << line << " missing from:\n" << log;
    // UTF-8, whatever the system's code page.
    EXPECT_NE(std::string::npos, log.find(Utf8("data\\深圳\\a.txt"))) << log;

    // /RUN starts the client in its folder once the installation is done; a
    // log that cannot be written changes nothing.
    EXPECT_EQ(0, Run("/S /RUN \"/LOG=" + std::string(m_tmp.Path()) + "\\no such folder\\setup.log\" /D=" + dest.GetString()));
    EXPECT_TRUE(WaitUntil([&] { return Exists(dest + "\\rendo-started.txt"); }, 20000));
}

TEST_F(SilentTest, OverAnEarlierInstallationKeepsItsDataUnlessToldToDiscardIt)
{
    const CString earlier = EarlierInstallation();
    EXPECT_EQ(0, Run("/S"));
    EXPECT_EQ(m_files[0].content, ReadOr(earlier + "\\Rendo.exe", "<missing>"));
    EXPECT_EQ("the user's messages", ReadOr(earlier + "\\user\\keep02.pst", "<missing>"));

    EXPECT_EQ(0, Run("/S /DISCARD"));
    EXPECT_EQ("empty mailbox", ReadOr(earlier + "\\user\\keep02.pst", "<missing>"));

    // Another folder is no installation over the earlier one: every file goes in.
    const CString elsewhere = m_tmp.Path() + "\\elsewhere";
    EXPECT_EQ(0, Run("/S /D=" + std::string(elsewhere)));
    EXPECT_EQ("empty mailbox", ReadOr(elsewhere + "\\user\\keep02.pst", "<missing>"));
}

TEST_F(SilentTest, ARunningClientIsNamedAndNothingChangesUntilItQuits)
{
    const CString earlier = EarlierInstallation();
    {
        HeldOpen client(earlier + "\\Rendo.exe");
        EXPECT_EQ(3, Run("/S /LOG=" + std::string(m_log)));
    }
    EXPECT_EQ("earlier client", ReadOr(earlier + "\\Rendo.exe", "<missing>"));
    EXPECT_FALSE(Exists(earlier + "\\data"));
    EXPECT_NE(std::string::npos, Log().find(Utf8("in use: " + std::string(earlier) + "\\Rendo.exe"))) << Log();
    EXPECT_EQ(0, Run("/S"));
    EXPECT_EQ(m_files[0].content, ReadOr(earlier + "\\Rendo.exe", "<missing>"));

    // Another setup at work: this one waits its turn, changing nothing.
    HANDLE running = CreateMutexW(nullptr, FALSE, L"Global\\OrvexSetup.Running");
    EXPECT_EQ(3, Run("/S /LOG=" + std::string(m_log)));
    EXPECT_NE(std::string::npos, Log().find("another setup is running")) << Log();
    CloseHandle(running);
}

TEST_F(SilentTest, ADamagedSetupWritesNothing)
{
    std::string bytes = ReadBinaryFile(m_setup);
    bytes[m_stubSize + 8] ^= 0x40;  // a byte of the first payload: the digests find it
    WriteBinaryFile(m_setup, bytes);
    const CString dest = m_tmp.Path() + "\\dest";
    EXPECT_EQ(2, Run("/S /D=" + std::string(dest)));
    EXPECT_FALSE(Exists(dest));
}

TEST_F(SilentTest, ASwitchNotUnderstoodEndsWithTheUsageCode)
{
    // Silent: not even the usage is shown; the record says why.
    EXPECT_EQ(1, Run("/S /LOG=" + std::string(m_log) + " /QUIET"));
    EXPECT_NE(std::string::npos, Log().find("usage: unknown switch: /QUIET")) << Log();
    // Without /LOG the record goes to the user's temporary folder.
    EXPECT_EQ(1, Run("/S /D"));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    EXPECT_NE(std::string::npos, ReadOr(CString(temp) + "OrvexSetup.log", "").find("usage: unknown switch: /D"));

    // Interactive: a message box lists the switches, then the same code.
    InstallerProcess setup(m_setup, nullptr, "/X");
    const HWND box = setup.WaitForDialog();
    ASSERT_TRUE(box);
    const std::string shown = TextsOf(box);
    for (const char* word : {"/X", "/S", "/D=", "/DISCARD", "/RUN", "/LOG="})
        EXPECT_NE(std::string::npos, shown.find(word)) << word << " not in: " << shown;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1, setup.WaitForExit(30000));
}

}  // namespace
