// The installer as the user gets it: the stub executable with the archive
// appended, started as its own process and worked from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "archive/SfxArchiveWriter.h"
#include "support/ArchiveFixtures.h"
#include "Capture.h"
#include "InstallerProcess.h"
#include "support/TempDir.h"

namespace {

const std::string kDone =
    "系统安装结束，桌面已生成程序快捷方式图标.. 用户退出后可点击快捷方式图标运行程序..或等待数秒，程序将自行启动....";

const std::string kCopying = "正在拷贝 ";
const std::string kInUse = "文件正在使用中，请先退出 Orvex 程序，再按“开始安装”：";
const std::string kBadFolder = "无法在该目录中安装，请选择其他目录：";
const std::string kDamaged = "安装程序已损坏，请重新下载后再安装。";
const std::string kNoSpace = "磁盘空间不足，请释放空间或选择其他目录。需要 ";

std::string WindowsPath(const std::string& unixPath) { return WindowsPathOfUnixPath(unixPath); }

bool StartEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, IDC_START)) != FALSE; }

class StubProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", "1");
        m_stub = ReadBinaryFile(WindowsPath(SFX_STUB_EXE).c_str());
        ASSERT_FALSE(m_stub.empty());
    }
    // An earlier installation in dest, and a setup of a newer one.
    CString PrepareReinstall(const CString& dest, const std::vector<FixtureFile>& files)
    {
        CreateDirectoryA(dest, nullptr);
        CreateDirectoryA(dest + "\\data", nullptr);
        WriteBinaryFile(dest + "\\Rendo.exe", "earlier client");
        WriteBinaryFile(dest + "\\data\\text.txt", "earlier text");
        const CString exe = m_tmp.Path() + "\\OrvexSetup.exe";
        WriteBinaryFile(exe, SfxBuildImage(m_stub, PackFiles(files)));
        return exe;
    }
    // Starts the installer on a folder and waits for its verdict.
    HWND StartInstalling(InstallerProcess& installer, const CString& dest)
    {
        const HWND dlg = installer.WaitForDialog();
        if (dlg) {
            SetDialogItemText(dlg, IDC_DEST_PATH, dest.GetString());
            ClickDialogItem(dlg, IDC_START);
        }
        return dlg;
    }
    // A setup whose large entries take a while each (one stream of 64 MiB,
    // packed once), between the entries given: `last` are unpacked first.
    CString WriteLongSetup(int large, const std::vector<SfxPackedEntry>& first, const std::vector<SfxPackedEntry>& last)
    {
        const std::string history = PackBytes(std::string(size_t(64) << 20, '\0'));
        std::vector<SfxPackedEntry> entries = first;
        for (int i = 1; i <= large; ++i)
            entries.push_back({"h" + std::to_string(i) + ".bin.zup", history});
        entries.insert(entries.end(), last.begin(), last.end());
        const CString exe = m_tmp.Path() + "\\OrvexSetup.exe";
        WriteBinaryFile(exe, SfxBuildImage(m_stub, entries));
        return exe;
    }
    // Waits for the completion message, then closes the dialog during the
    // countdown (nothing is started) and waits for the process to end.
    static void ExpectDoneAndClose(InstallerProcess& installer, HWND dlg, int timeoutMs = 60000)
    {
        EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS) == kDone; }, timeoutMs))
            << DialogItemText(dlg, IDC_STATUS);
        PostMessageA(dlg, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, installer.WaitForExit(30000));
    }
    static std::vector<FixtureFile> NewVersion()
    {
        return {{"Rendo.exe", "new client"}, {"data\\text.txt", "new text"}, {"readme.txt", "Orvex\r\n"}};
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

TEST_F(StubProcessTest, ARunningClientIsNamedAndStartWorksOnceItHasQuit)
{
    const CString dest = m_tmp.Path() + "\\Orvex";
    const CString exe = PrepareReinstall(dest, NewVersion());
    // Held as a running program holds its own file: no sharing.
    HANDLE client = CreateFileA(dest + "\\Rendo.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    InstallerProcess installer(exe);
    const HWND dlg = StartInstalling(installer, dest);
    ASSERT_TRUE(dlg);
    const std::string expected = kInUse + (dest + "\\Rendo.exe").GetString();
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS) == expected; }, 60000))
        << DialogItemText(dlg, IDC_STATUS);
    EXPECT_TRUE(WaitUntil([&] { return StartEnabled(dlg); }, 5000));
    WritePng(CaptureWindow(dlg), ScreenshotPath("installer-client-in-use.png"));
    EXPECT_EQ(ReadBinaryFile(dest + "\\data\\text.txt"), "earlier text");

    CloseHandle(client);
    ClickDialogItem(dlg, IDC_START);
    ExpectDoneAndClose(installer, dlg);
    EXPECT_EQ(ReadBinaryFile(dest + "\\Rendo.exe"), "new client");
    EXPECT_EQ(ReadBinaryFile(dest + "\\data\\text.txt"), "new text");
}

TEST_F(StubProcessTest, AChangedPayloadByteIsFoundBeforeTheEarlierInstallationIsTouched)
{
    const CString dest = m_tmp.Path() + "\\Orvex";
    const CString exe = PrepareReinstall(dest, NewVersion());
    // A coded byte of the first payload (unpacked last) changed in place: a
    // bad download of the right size.
    std::string image = ReadBinaryFile(exe);
    image[m_stub.size() + 5] ^= 0x01;
    WriteBinaryFile(exe, image);
    InstallerProcess installer(exe);
    const HWND dlg = StartInstalling(installer, dest);
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS) == kDamaged; }, 60000))
        << DialogItemText(dlg, IDC_STATUS);
    // Only a new download helps: the buttons stay disabled.
    Sleep(500);
    EXPECT_FALSE(StartEnabled(dlg));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_BROWSE)));
    EXPECT_EQ(ReadBinaryFile(dest + "\\Rendo.exe"), "earlier client");
    EXPECT_EQ(ReadBinaryFile(dest + "\\data\\text.txt"), "earlier text");
    EXPECT_EQ(ListFilesBelow(dest).size(), 2u);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, installer.WaitForExit(30000));
}

TEST_F(StubProcessTest, ARelativeFolderIsRefusedAndNothingIsWrittenBesideTheSetup)
{
    const CString exe = m_tmp.Path() + "\\OrvexSetup.exe";
    WriteBinaryFile(exe, SfxBuildImage(m_stub, PackFiles(NewVersion())));
    char here[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, here);
    InstallerProcess installer(exe);
    const HWND dlg = StartInstalling(installer, "relative");
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS) == kBadFolder + "relative"; }, 60000))
        << DialogItemText(dlg, IDC_STATUS);
    EXPECT_TRUE(WaitUntil([&] { return StartEnabled(dlg); }, 5000));
    EXPECT_EQ(GetFileAttributesA((std::string(here) + "\\relative").c_str()), INVALID_FILE_ATTRIBUTES);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, installer.WaitForExit(30000));
}

TEST_F(StubProcessTest, AFullDriveIsFoundBeforeTheFirstWriteAndFreeingSpaceLetsItInstall)
{
    // Drive Q: is a 4 MiB tmpfs (small-drive.sh); 400 KB of it stay free.
    if (GetFileAttributesA("Q:\\") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no small drive Q: (mounting a tmpfs needs root)";
    const CString dest = "Q:\\Orvex";
    TestRandom random(7);
    std::vector<FixtureFile> files = NewVersion();
    files.push_back({"data\\history.bin", random.Bytes(1 << 20)});
    const CString exe = PrepareReinstall(dest, files);
    const CString filler = "Q:\\filler.bin";
    {
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExA("Q:\\", &free, nullptr, nullptr));
        ASSERT_GT(free.QuadPart, 400u * 1024);
        WriteBinaryFile(filler, std::string(static_cast<size_t>(free.QuadPart - 400 * 1024), '\0'));
    }
    InstallerProcess installer(exe);
    const HWND dlg = StartInstalling(installer, dest);
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS).rfind(kNoSpace, 0) == 0; }, 60000))
        << DialogItemText(dlg, IDC_STATUS);
    double needed = 0, available = 0;
    const std::string text = DialogItemText(dlg, IDC_STATUS);
    ASSERT_EQ(std::sscanf(text.c_str() + kNoSpace.size(), "%lf MB，可用 %lf MB。", &needed, &available), 2) << text;
    EXPECT_GE(needed, 1.0);
    EXPECT_NEAR(available, 0.35, 0.051);  // 0.39 MB, shown rounded down
    EXPECT_TRUE(WaitUntil([&] { return StartEnabled(dlg); }, 5000));
    WritePng(CaptureWindow(dlg), ScreenshotPath("installer-drive-full.png"));
    EXPECT_EQ(ReadBinaryFile(dest + "\\Rendo.exe"), "earlier client");

    DeleteFileA(filler);
    ClickDialogItem(dlg, IDC_START);
    ExpectDoneAndClose(installer, dlg);
    for (const FixtureFile& f : files)
        EXPECT_EQ(f.content, ReadBinaryFile(dest + "\\" + f.name.c_str())) << f.name;
    EXPECT_EQ(ListFilesBelow(dest).size(), files.size());
}

TEST_F(StubProcessTest, TheWindowAnswersOtherProgramsWhileALongEntryUnpacks)
{
    const CString exe = WriteLongSetup(6, {}, {{"readme.txt.zup", PackBytes("Orvex")}});
    InstallerProcess installer(exe);
    const HWND dlg = StartInstalling(installer, m_tmp.Path() + "\\long");
    ASSERT_TRUE(dlg);
    ASSERT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS).rfind(kCopying, 0) == 0; }, 60000));
    // Asked as Windows asks a window before it calls it "not responding".
    int answeredWhileBusy = 0;
    for (;;) {
        char caption[256] = "";
        DWORD_PTR length = 0;
        const bool answered =
            SendMessageTimeoutA(dlg, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption), SMTO_NORMAL, 300, &length) != 0;
        if (DialogItemText(dlg, IDC_STATUS).rfind(kCopying, 0) != 0)
            break;  // the engine has returned
        EXPECT_TRUE(answered);
        EXPECT_EQ(std::string(caption), "Orvex通讯管理系统安装提示");
        answeredWhileBusy += answered;
        Sleep(20);
    }
    EXPECT_GE(answeredWhileBusy, 5);
    ExpectDoneAndClose(installer, dlg);
}

TEST_F(StubProcessTest, EndTaskDuringExtractionLeavesBackupsThatTheNextRunPutsBackFirst)
{
    const CString dest = m_tmp.Path() + "\\Orvex";
    PrepareReinstall(dest, NewVersion());
    const CString exe = WriteLongSetup(3, {{"Rendo.exe.zup", PackBytes("new client")}},
                                       {{"data\\text.txt.zup", PackBytes("new text")}});
    {
        InstallerProcess installer(exe);
        const HWND dlg = StartInstalling(installer, dest);
        ASSERT_TRUE(dlg);
        // The text file is replaced; a large one is being unpacked.
        ASSERT_TRUE(WaitUntil([&] { return DialogItemText(dlg, IDC_STATUS).rfind(kCopying, 0) == 0; }, 60000));
        DWORD pid = 0;
        GetWindowThreadProcessId(dlg, &pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        ASSERT_TRUE(process);
        TerminateProcess(process, 1);  // as End task ends a program
        WaitForSingleObject(process, 30000);
        CloseHandle(process);
    }
    EXPECT_EQ(ReadBinaryFile(dest + "\\data\\text.txt.zbk"), "earlier text");
    EXPECT_EQ(ReadBinaryFile(dest + "\\Rendo.exe"), "earlier client");
    EXPECT_NE(GetFileAttributesA(dest + "\\sfxundo.zjn"), INVALID_FILE_ATTRIBUTES);

    InstallerProcess again(exe);
    const HWND dlg = StartInstalling(again, dest);
    ASSERT_TRUE(dlg);
    ExpectDoneAndClose(again, dlg, 120000);
    EXPECT_EQ(ReadBinaryFile(dest + "\\Rendo.exe"), "new client");
    EXPECT_EQ(ReadBinaryFile(dest + "\\data\\text.txt"), "new text");
    EXPECT_EQ(ListFilesBelow(dest),
              (std::vector<std::string>{"Rendo.exe", "data\\text.txt", "h1.bin", "h2.bin", "h3.bin"}));
}

}  // namespace
