// The installer as the user gets it: the stub executable with the archive
// appended, started as its own process and worked from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "support/ArchiveFixtures.h"
#include "InstallerProcess.h"
#include "support/TempDir.h"

namespace {

const std::string kDone =
    "系统安装结束，桌面已生成程序快捷方式图标.. 用户退出后可点击快捷方式图标运行程序..或等待数秒，程序将自行启动....";

std::string WindowsPath(const std::string& unixPath) { return WindowsPathOfUnixPath(unixPath); }

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
    InstallerProcess installer(exe);
    const HWND dlg = installer.WaitForDialog();
    ASSERT_TRUE(dlg);
    SetDialogItemText(dlg, IDC_DEST_PATH, (m_tmp.Path() + "\\target").GetString());
    ClickDialogItem(dlg, IDC_START);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS) == "Archive contins no data"; }, 30000))
        << DialogItemText(dlg, IDC_STATUS);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
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

    InstallerProcess installer(exe);
    const HWND dlg = installer.WaitForDialog();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(0u, DialogItemText(dlg, IDC_DEST_PATH).find("c:\\Ithra通讯"));
    SetDialogItemText(dlg, IDC_DEST_PATH, dest.GetString());
    ClickDialogItem(dlg, IDC_START);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS) == kDone; }, 60000))
        << DialogItemText(dlg, IDC_STATUS);
    // Eight seconds of countdown, then the client starts and the installer ends.
    EXPECT_EQ(0, installer.WaitForExit(60000));
    for (const FixtureFile& f : files)
        EXPECT_EQ(f.content, ReadBinaryFile(dest + "\\" + f.name.c_str())) << f.name;
    EXPECT_TRUE(WaitUntil(
        [&] { return GetFileAttributesA(dest + "\\rendo-started.txt") != INVALID_FILE_ATTRIBUTES; }, 20000));
}

TEST_F(StubProcessTest, SignedInstallerInstallsItsPayload)
{
    // Signed with a throwaway certificate by the sfxpack_signed_setup test.
    const std::string dir = WindowsPath(SFX_SIGNED_SETUP_DIR);
    const CString exe = m_tmp.Path() + "\\OrvexSetup.exe";
    const std::string signedSetup = ReadBinaryFile((dir + "\\signed.exe").c_str());
    ASSERT_FALSE(signedSetup.empty());
    WriteBinaryFile(exe, signedSetup);
    const CString dest = m_tmp.Path() + "\\signed";

    InstallerProcess installer(exe);
    const HWND dlg = installer.WaitForDialog();
    ASSERT_TRUE(dlg);
    SetDialogItemText(dlg, IDC_DEST_PATH, dest.GetString());
    ClickDialogItem(dlg, IDC_START);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS) == kDone; }, 60000))
        << DialogItemText(dlg, IDC_STATUS);
    EXPECT_EQ(0, installer.WaitForExit(60000));
    const CString payload = (dir + "\\payload").c_str();
    const std::vector<std::string> files = ListFilesBelow(payload);
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& name : files)
        EXPECT_EQ(ReadBinaryFile(payload + "\\" + name.c_str()), ReadBinaryFile(dest + "\\" + name.c_str())) << name;
}

}  // namespace
