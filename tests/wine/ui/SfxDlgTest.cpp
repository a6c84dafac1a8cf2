// The installer's main dialog, run modally in this process and driven from
// a second thread with real messages: folder proposal, extraction with its
// status texts and bar, failures, countdown, launch of the client and the
// ways the dialog ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/ArchiveFixtures.h"
#include "Capture.h"
#include "support/CodePageText.h"
#include "support/DamagedCorpus.h"
#include "DialogDriver.h"
#include "support/TempDir.h"
#include "app/Registry.h"
#include "archive/SfxArchiveWriter.h"
#include "app/SfxAppState.h"
#include "framework/win32/Time.h"
#include "framework/win32/WinApp.h"
#include "resource.h"
#include "shell/DesktopShortcut.h"
#include "ui/SfxDlg.h"

namespace {

// The texts as the installer must show them, written here independently.
const std::string kCopying = "正在拷贝 ";
const std::string kDone =
    "系统安装结束，桌面已生成程序快捷方式图标.. 用户退出后可点击快捷方式图标运行程序..或等待数秒，程序将自行启动....";
const std::string kNoData = "Archive contins no data";
const std::string kInternal = "Internal Error";
const std::string kDamaged = "安装程序已损坏，请重新下载后再安装。";
const std::string kBadFolder = "无法在该目录中安装，请选择其他目录：";
const std::string kTooLong = "安装目录路径过长，请选择较短的目录。";

std::string CountdownText(int n) { return std::to_string(n) + "秒后 Orvex软件程序将自行启动...."; }

std::string WindowsPath(std::string unixPath)
{
    for (char& c : unixPath)
        if (c == '/')
            c = '\\';
    return "Z:" + unixPath;
}

std::vector<std::string> TextsOf(const std::vector<DialogEvent>& events, DialogEvent::Kind kind)
{
    std::vector<std::string> out;
    for (const DialogEvent& e : events)
        if (e.kind == kind)
            out.push_back(e.text);
    return out;
}

std::vector<int> ValuesOf(const std::vector<DialogEvent>& events, DialogEvent::Kind kind)
{
    std::vector<int> out;
    for (const DialogEvent& e : events)
        if (e.kind == kind)
            out.push_back(e.value);
    return out;
}

bool Exists(const CString& path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// True once the dialog has handled at least n ticks of the close-watch timer
// after the event at index from.
bool CloseWatchTicksAfter(const DialogDriver& d, size_t from, int n)
{
    const std::vector<DialogEvent> ev = d.Events();
    int ticks = 0;
    for (size_t i = from; i < ev.size(); ++i)
        ticks += ev[i].kind == DialogEvent::Timer && ev[i].value == TIMER_CLOSE_WATCH;
    return ticks >= n;
}

class SfxDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_state.AddProtectedFiles();
        // The sample client writes its marker and exits without a window.
        SetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", "1");
    }

    CString WriteInstaller(const std::vector<FixtureFile>& files)
    {
        const CString path = m_tmp.Path() + "\\setup.bin";
        WriteBinaryFile(path, MakeInstallerImage(files));
        return path;
    }
    static std::string RendoBytes() { return ReadBinaryFile(WindowsPath(SFX_RENDO_EXE).c_str()); }

    CSfxAppState m_state;
    TempDir m_tmp;
    std::vector<DialogEvent> m_events;
    std::string m_notes;
};

TEST_F(SfxDlgTest, Modes0And1ProposeATimestampedFolderAndLeaveBrowseEnabled)
{
    for (char mode : {0, 1}) {
        CSfxDlg dlg;
        EXPECT_EQ(static_cast<CSfxRunState*>(&dlg), m_state.m_pMainDlg);
        dlg.m_strInstallMode = mode;
        dlg.m_strPrevPath = "d:\\old";
        const CString before = CString("c:\\Ithra通讯") + CTime::GetCurrentTime().Format("%m%d%H%M");
        std::string proposed, aboutItem;
        bool browse = false, start = false;
        RunDialog(
            dlg,
            [&](DialogDriver& d) {
                proposed = d.Text(IDC_DEST_PATH);
                browse = d.Enabled(IDC_BROWSE);
                start = d.Enabled(IDC_START);
                char item[64] = "";
                GetMenuStringA(GetSystemMenu(d.Dialog(), FALSE), IDM_ABOUTBOX, item, sizeof item, MF_BYCOMMAND);
                aboutItem = item;
            },
            &m_events, &m_notes);
        const CString after = CString("c:\\Ithra通讯") + CTime::GetCurrentTime().Format("%m%d%H%M");
        EXPECT_TRUE(proposed == before.GetString() || proposed == after.GetString())
            << "mode " << int(mode) << ": " << proposed << m_notes;
        EXPECT_TRUE(browse);
        EXPECT_TRUE(start);
        EXPECT_FALSE(dlg.m_bKeepDataMode);
        EXPECT_EQ("&About Velkor...", aboutItem);
    }
}

TEST_F(SfxDlgTest, Mode2ProposesThePreviousFolderAndDisablesBrowse)
{
    CSfxDlg dlg;
    dlg.m_strInstallMode = static_cast<char>(2);
    dlg.m_strPrevPath = "d:\\旧版\\Orvex";
    std::string proposed;
    bool browse = true, editable = false;
    RunDialog(
        dlg,
        [&](DialogDriver& d) {
            proposed = d.Text(IDC_DEST_PATH);
            browse = d.Enabled(IDC_BROWSE);
            editable = d.Enabled(IDC_DEST_PATH);
        },
        &m_events, &m_notes);
    EXPECT_EQ("d:\\旧版\\Orvex", proposed) << m_notes;
    EXPECT_FALSE(browse);
    EXPECT_TRUE(editable);
    EXPECT_TRUE(dlg.m_bKeepDataMode);
}

TEST_F(SfxDlgTest, InstallsIntoTheTypedFolderCountsDownAndStartsTheClient)
{
    const std::vector<FixtureFile> files = {
        {"Rendo.exe", RendoBytes()},
        {"readme.txt", "Orvex\r\n"},
        {"config\\client.ini", "[client]\r\nserver=example\r\n"},
        {"skins\\默认\\theme.ini", "[theme]\r\n"},
        {"skins\\誠信\\说明.txt", std::string(3000, 'z')},
        {"user\\keep01.pst", "new data"},
    };
    CSfxDlg dlg;
    dlg.m_strInstallMode = static_cast<char>(0);
    dlg.m_archive.SetArchivePath(WriteInstaller(files));
    const CString dest = m_tmp.Path() + "\\新目录";
    const CString marker = dest + "\\rendo-started.txt";

    DialogRunOptions options;
    options.markerPath = marker.GetString();
    options.onProgress = [](HWND hDlg, int count) {
        if (count == 3)
            WritePng(CaptureWindow(hDlg), ScreenshotPath("dialog-extracting.png"));
    };
    bool doneShown = false;
    std::string countdownBefore;
    const INT_PTR result = RunDialog(
        dlg,
        [&](DialogDriver& d) {
            // The dialog as it opens, with its proposed folder.
            RedrawWindow(d.Dialog(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            WritePng(CaptureWindow(d.Dialog()), ScreenshotPath("dialog-ready.png"));
            d.SetText(IDC_DEST_PATH, dest.GetString());
            countdownBefore = d.Text(IDC_COUNTDOWN);
            d.Click(IDC_START);
            doneShown = DialogDriver::WaitUntil([&] { return d.Text(IDC_STATUS) == kDone; }, 60000);
            if (DialogDriver::WaitUntil([&] { return d.Text(IDC_COUNTDOWN) == CountdownText(5); }, 10000)) {
                RedrawWindow(d.Dialog(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
                WritePng(CaptureWindow(d.Dialog()), ScreenshotPath("dialog-countdown.png"));
            }
            // The dialog closes itself after starting the client.
            DialogDriver::WaitUntil([&] { return !IsWindow(d.Dialog()); }, 20000);
        },
        &m_events, &m_notes, options);
    ASSERT_TRUE(doneShown) << m_notes;
    EXPECT_EQ(IDCANCEL, result) << "WM_CLOSE ends the dialog as a cancel";
    EXPECT_EQ("", countdownBefore);

    // One status text per entry, last entry first, folder as typed.
    std::vector<std::string> expected;
    for (size_t i = files.size(); i-- > 0;)
        expected.push_back(kCopying + dest.GetString() + "\\" + files[i].name + ".zup");
    std::vector<std::string> statuses = TextsOf(m_events, DialogEvent::StatusText);
    ASSERT_GE(statuses.size(), expected.size() + 1);
    EXPECT_EQ(expected, std::vector<std::string>(statuses.begin(), statuses.begin() + expected.size()));
    EXPECT_EQ(kDone, statuses.back());

    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6}), ValuesOf(m_events, DialogEvent::Progress));
    EXPECT_EQ(100, dlg.m_progress.GetPos());

    for (const FixtureFile& f : files)
        EXPECT_EQ(f.content, ReadBinaryFile(dest + "\\" + f.name.c_str())) << f.name;

    // The countdown runs 7 to 0; the client is started with the 0, and the
    // very next timer tick closes the dialog.
    std::vector<std::string> countdown;
    for (int n = 7; n >= 0; --n)
        countdown.push_back(CountdownText(n));
    EXPECT_EQ(countdown, TextsOf(m_events, DialogEvent::CountdownText));
    for (const DialogEvent& e : m_events) {
        if (e.kind == DialogEvent::CountdownText && e.text != CountdownText(0)) {
            EXPECT_FALSE(e.markerExisted) << "client started before the eighth tick: " << e.text;
        }
    }
    size_t zeroAt = 0;
    for (size_t i = 0; i < m_events.size(); ++i)
        if (m_events[i].kind == DialogEvent::CountdownText && m_events[i].text == CountdownText(0))
            zeroAt = i;
    int ticksAfterLaunch = 0;
    bool destroyed = false;
    for (size_t i = zeroAt + 1; i < m_events.size(); ++i) {
        ticksAfterLaunch += m_events[i].kind == DialogEvent::Timer;
        destroyed |= m_events[i].kind == DialogEvent::Destroyed;
    }
    EXPECT_EQ(1, ticksAfterLaunch);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(dlg.m_bLaunched);
    EXPECT_TRUE(DialogDriver::WaitUntil([&] { return Exists(marker); }, 20000)) << "the client never ran";

    // The desktop now holds the shortcut to this installation's client.
    CString desktop;
    ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                   "Desktop", &desktop));
    EXPECT_TRUE(FileContainsText(desktop + "\\Orvex 高级通讯管理.lnk", dest + "\\Rendo.exe"));
}

TEST_F(SfxDlgTest, AFolderTypedWithATrailingBackslashShowsItDoubledInTheStatus)
{
    CSfxDlg dlg;
    dlg.m_strInstallMode = static_cast<char>(0);
    dlg.m_archive.SetArchivePath(WriteInstaller({{"readme.txt", "text"}}));
    const CString dest = m_tmp.Path() + "\\带斜杠\\";
    bool done = false;
    RunDialog(
        dlg,
        [&](DialogDriver& d) {
            d.SetText(IDC_DEST_PATH, dest.GetString());
            d.Click(IDC_START);
            done = DialogDriver::WaitUntil([&] { return d.Text(IDC_STATUS) == kDone; }, 60000);
            d.Close();
        },
        &m_events, &m_notes);
    ASSERT_TRUE(done) << m_notes;
    // The status joins the folder as typed, the engine's own copy aside.
    const std::vector<std::string> statuses = TextsOf(m_events, DialogEvent::StatusText);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(kCopying + dest.GetString() + "\\readme.txt.zup", statuses.front());
    EXPECT_EQ(dest, dlg.m_strDestPath);
    EXPECT_EQ("text", ReadBinaryFile(dest + "readme.txt"));
}

TEST_F(SfxDlgTest, KeepModeEndsTheBarAt90AndClosingDuringTheCountdownStartsNothing)
{
    // Ten entries; entry 0, handled last, is a protected file and skipped.
    std::vector<FixtureFile> files = {{"user\\keep01.pst", "new data"}, {"Rendo.exe", RendoBytes()}};
    for (int i = 2; i < 10; ++i)
        files.push_back({"data\\file" + std::to_string(i) + ".dat", std::string(100 + i, char('a' + i))});
    const CString prev = m_tmp.Path() + "\\installed";
    CreateDirectoryA(prev, nullptr);
    CreateDirectoryA(prev + "\\user", nullptr);
    WriteBinaryFile(prev + "\\user\\keep01.pst", "the user's own data");

    CSfxDlg dlg;
    dlg.m_strInstallMode = static_cast<char>(2);
    dlg.m_strPrevPath = prev;
    dlg.m_archive.SetArchivePath(WriteInstaller(files));
    bool counting = false;
    RunDialog(
        dlg,
        [&](DialogDriver& d) {
            d.Click(IDC_START);
            counting = DialogDriver::WaitUntil([&] { return d.Text(IDC_COUNTDOWN) == CountdownText(7); }, 60000);
            d.Close();
        },
        &m_events, &m_notes);
    ASSERT_TRUE(counting) << m_notes;
    EXPECT_EQ(90, dlg.m_progress.GetPos());
    EXPECT_EQ(9, ValuesOf(m_events, DialogEvent::Progress).back());
    EXPECT_EQ("the user's own data", ReadBinaryFile(prev + "\\user\\keep01.pst"));
    EXPECT_EQ(std::string(109, 'j'), ReadBinaryFile(prev + "\\data\\file9.dat"));
    EXPECT_FALSE(dlg.m_bLaunched);
    EXPECT_FALSE(Exists(prev + "\\rendo-started.txt"));
}

struct FailureCase {
    const char* label;
    std::string (*image)();  // null: no archive file at all
    const std::string* text;
    enum Folder { Fresh, BelowAFile, Relative, TooLong } folder = Fresh;
    // Found before the first write: the text names the folder as typed, and
    // the buttons come back (browse not in install mode 2).
    bool tryAgain = false;
    int mode = 0;
};

std::string ImageWithoutArchive() { return std::string(4096, 'M'); }
std::string ImageWithNoEntries() { return MakeInstallerImage({}); }
std::string ImageWithOneEntry() { return MakeInstallerImage({{"readme.txt", "text"}}); }
std::string DamagedImageBytes()
{
    for (const DamagedImage& d : MakeDamagedCorpus())
        if (d.expected == SFX_ERR_DAMAGED)
            return d.bytes;
    return std::string();
}
// A stream cut by one byte, unpacked after a whole one: found only once the
// run has written, and then undone.
std::string ImageDamagedInsideAStream()
{
    const std::string cut = PackBytes("cut short");
    return SfxBuildImage(std::string(4096, 'M'),
                         {{"b.txt.zup", cut.substr(0, cut.size() - 1)}, {"a.txt.zup", PackBytes("whole")}});
}

class SfxDlgFailureTest : public SfxDlgTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SfxDlgFailureTest, ShowsTheFailureTextAndCountsDownNothing)
{
    const FailureCase& c = GetParam();
    const CString archive = m_tmp.Path() + "\\setup.bin";
    if (c.image) {
        const std::string image = c.image();
        ASSERT_FALSE(image.empty());
        WriteBinaryFile(archive, image);
    }
    CString dest = m_tmp.Path() + "\\target";
    if (c.folder == FailureCase::BelowAFile) {
        WriteBinaryFile(dest, "a file, not a folder");
        dest += "\\sub";
    } else if (c.folder == FailureCase::Relative) {
        dest = "target";
    } else if (c.folder == FailureCase::TooLong) {
        dest += "\\" + CString(std::string(250, 'x').c_str());
    }
    const std::string expected = *c.text + (c.text == &kBadFolder ? dest.GetString() : "");

    CSfxDlg dlg;
    dlg.m_strInstallMode = static_cast<char>(c.mode);
    dlg.m_strPrevPath = dest;
    dlg.m_archive.SetArchivePath(archive);
    std::string status;
    bool start = true, browse = true, waited = false;
    RunDialog(
        dlg,
        [&](DialogDriver& d) {
            d.SetText(IDC_DEST_PATH, dest.GetString());
            d.Click(IDC_START);
            DialogDriver::WaitUntil([&] { return d.Text(IDC_STATUS) == expected; }, 60000);
            const size_t from = d.Events().size();
            status = d.Text(IDC_STATUS);
            WritePng(CaptureWindow(d.Dialog()), ScreenshotPath((std::string("failure-") + c.label + ".png").c_str()));
            // A countdown would tick within a second: let the close-watch
            // timer tick three times (1.5 s) first.
            waited = DialogDriver::WaitUntil([&] { return CloseWatchTicksAfter(d, from, 3); }, 20000);
            start = d.Enabled(IDC_START);
            browse = d.Enabled(IDC_BROWSE);
        },
        &m_events, &m_notes);
    EXPECT_EQ(expected, status) << m_notes;
    EXPECT_TRUE(waited);
    EXPECT_EQ(c.tryAgain, start);
    EXPECT_EQ(c.tryAgain && c.mode != 2, browse);
    EXPECT_TRUE(TextsOf(m_events, DialogEvent::CountdownText).empty());
    for (int id : ValuesOf(m_events, DialogEvent::Timer))
        EXPECT_NE(TIMER_COUNTDOWN, id);
    // Nothing of a failed run stays, whether or not it had begun to write.
    EXPECT_TRUE(ListFilesBelow(m_tmp.Path() + "\\target").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Archives, SfxDlgFailureTest,
    ::testing::Values(FailureCase{"NoMagic", &ImageWithoutArchive, &kNoData},
                      FailureCase{"NoEntries", &ImageWithNoEntries, &kNoData},
                      // Damage found before the first write: only a new download helps.
                      FailureCase{"Damaged", &DamagedImageBytes, &kDamaged},
                      FailureCase{"DamagedInsideAStream", &ImageDamagedInsideAStream, &kInternal},
                      // SFX_ERR_OPEN_SELF: the executable's own file cannot be opened.
                      FailureCase{"NoArchiveFile", nullptr, &kInternal},
                      FailureCase{"FolderCannotBeCreated", &ImageWithOneEntry, &kBadFolder, FailureCase::BelowAFile, true},
                      FailureCase{"FolderCannotBeCreatedInMode2", &ImageWithOneEntry, &kBadFolder,
                                  FailureCase::BelowAFile, true, 2},
                      FailureCase{"RelativeFolder", &ImageWithOneEntry, &kBadFolder, FailureCase::Relative, true},
                      FailureCase{"PathTooLong", &ImageWithOneEntry, &kTooLong, FailureCase::TooLong, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.label; });

TEST_F(SfxDlgTest, EnterInTheFolderBoxEndsTheDialogWithoutInstalling)
{
    CSfxDlg dlg;
    dlg.m_strInstallMode = static_cast<char>(0);
    dlg.m_archive.SetArchivePath(WriteInstaller({{"readme.txt", "text"}}));
    const CString dest = m_tmp.Path() + "\\never";
    const INT_PTR result = RunDialog(
        dlg,
        [&](DialogDriver& d) {
            d.SetText(IDC_DEST_PATH, dest.GetString());
            PostMessageA(d.Item(IDC_DEST_PATH), WM_KEYDOWN, VK_RETURN, 0);
            DialogDriver::WaitUntil([&] { return !IsWindow(d.Dialog()); }, 20000);
        },
        &m_events, &m_notes);
    EXPECT_EQ(IDOK, result) << m_notes;
    EXPECT_EQ(dest, dlg.m_strDestPath) << "the exchange on OK reads the box";
    EXPECT_TRUE(ValuesOf(m_events, DialogEvent::Progress).empty());
    EXPECT_FALSE(Exists(dest));
}

TEST_F(SfxDlgTest, StaticTextsAndTheDialogTakeItsColoursEditBoxesKeepTheSystemOnes)
{
    auto dlg = std::make_unique<CSfxDlg>();
    dlg->m_strInstallMode = static_cast<char>(0);
    struct Answer {
        HBRUSH brush = nullptr;
        COLORREF text = 0;
        int bkMode = 0;
    } stat, stat2, dialog, edit;
    RunDialog(
        *dlg,
        [&](DialogDriver& d) {
            HDC hdc = CreateCompatibleDC(nullptr);
            const auto ask = [&](UINT message, HWND ctl, Answer* a) {
                SetTextColor(hdc, RGB(1, 2, 3));
                SetBkMode(hdc, OPAQUE);
                DWORD_PTR r = 0;
                SendMessageTimeoutA(d.Dialog(), message, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(ctl),
                                    SMTO_NORMAL, 20000, &r);
                a->brush = reinterpret_cast<HBRUSH>(r);
                a->text = GetTextColor(hdc);
                a->bkMode = GetBkMode(hdc);
            };
            ask(WM_CTLCOLORSTATIC, d.Item(IDC_STATUS), &stat);
            ask(WM_CTLCOLORSTATIC, d.Item(IDC_COUNTDOWN), &stat2);
            ask(WM_CTLCOLORDLG, d.Dialog(), &dialog);
            ask(WM_CTLCOLOREDIT, d.Item(IDC_DEST_PATH), &edit);
            DeleteDC(hdc);
        },
        &m_events, &m_notes);
    LOGBRUSH lb{};
    ASSERT_NE(nullptr, stat.brush) << m_notes;
    EXPECT_EQ(stat.brush, stat2.brush) << "one brush per dialog";
    EXPECT_EQ(stat.brush, dialog.brush);
    EXPECT_EQ(RGB(20, 90, 0), stat.text);
    EXPECT_EQ(TRANSPARENT, stat.bkMode);
    EXPECT_EQ(RGB(20, 90, 0), dialog.text);
    EXPECT_NE(stat.brush, edit.brush);
    EXPECT_NE(RGB(20, 90, 0), edit.text);
    ASSERT_EQ(static_cast<int>(sizeof lb), GetObjectA(stat.brush, sizeof lb, &lb));
    EXPECT_EQ(RGB(233, 241, 252), lb.lbColor);
    EXPECT_EQ(static_cast<UINT>(BS_SOLID), lb.lbStyle);
    dlg.reset();
    EXPECT_EQ(0, GetObjectA(stat.brush, sizeof lb, &lb)) << "the brush is released with the dialog";
}

TEST_F(SfxDlgTest, LaunchStartsTheGivenFileWithoutArgumentsInItsFolder)
{
    // A folder with a blank and GBK text, as an installation folder may have.
    const CString folder = m_tmp.Path() + "\\客户 端";
    ASSERT_TRUE(CreateDirectoryA(folder, nullptr));
    const CString exe = folder + "\\Rendo.exe";
    WriteBinaryFile(exe, RendoBytes());
    const CString marker = folder + "\\rendo-started.txt";

    LaunchInstalledProgram(exe);

    // The client writes its own path, its command line and its current
    // folder, each ending in CRLF; while it writes, the file is locked.
    std::vector<std::string> lines;
    const auto complete = [&] {
        lines.clear();
        HANDLE h = CreateFileA(marker, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        std::string written;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
            written.append(buffer, got);
        CloseHandle(h);
        written = GbkFromUtf8(written);
        for (size_t start = 0, end; (end = written.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(written.substr(start, end - start));
        return lines.size() == 3;
    };
    ASSERT_TRUE(DialogDriver::WaitUntil(complete, 20000)) << "the client never ran";
    EXPECT_EQ(std::string(exe), lines[0]);
    const std::string& commandLine = lines[1];
    // The program itself, quoted or not, and nothing after it.
    const std::string program(exe);
    size_t rest = std::string::npos;
    if (commandLine.compare(0, program.size() + 2, '"' + program + '"') == 0)
        rest = program.size() + 2;
    else if (commandLine.compare(0, program.size(), program) == 0)
        rest = program.size();
    ASSERT_NE(std::string::npos, rest) << "the command line does not start with the program: " << commandLine;
    EXPECT_EQ(std::string::npos, commandLine.find_first_not_of(' ', rest)) << "arguments given: " << commandLine;
    // Its own folder, not the setup's (which may hold anything downloaded).
    EXPECT_EQ(std::string(folder), lines[2]);
}

BOOL CALLBACK FindAboutBox(HWND h, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "#32770" && GetWindow(h, GW_OWNER) != nullptr && IsWindowVisible(h)) {
        *reinterpret_cast<HWND*>(lParam) = h;
        return FALSE;
    }
    return TRUE;
}

// The folder-browse window opened by the browse button, once it shows.
HWND WaitForBrowseWindow(DialogDriver& d)
{
    HWND browse = nullptr;
    DialogDriver::WaitUntil(
        [&] {
            EnumThreadWindows(d.m_uiThread, &FindAboutBox, reinterpret_cast<LPARAM>(&browse));
            return browse != nullptr;
        },
        20000);
    return browse;
}

TEST_F(SfxDlgTest, BrowseCancelKeepsTheTypedFolderAndConfirmingReplacesIt)
{
    for (const bool confirm : {false, true}) {
        CSfxDlg dlg;
        dlg.m_strInstallMode = static_cast<char>(0);
        std::string caption, shown;
        HWND owner = nullptr, mainWindow = nullptr;
        bool closed = false;
        RunDialog(
            dlg,
            [&](DialogDriver& d) {
                mainWindow = d.Dialog();
                d.SetText(IDC_DEST_PATH, "x:\\typed");
                d.Click(IDC_BROWSE);
                HWND browse = WaitForBrowseWindow(d);
                if (!browse)
                    return;
                char text[128] = "";
                GetWindowTextA(browse, text, sizeof text);
                caption = text;
                owner = GetWindow(browse, GW_OWNER);
                PostMessageA(browse, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
                closed = DialogDriver::WaitUntil([&] { return !IsWindow(browse); }, 20000);
                shown = d.Text(IDC_DEST_PATH);
            },
            &m_events, &m_notes);
        ASSERT_TRUE(closed) << m_notes;
        EXPECT_EQ("Select Extraction Directory", caption);
        EXPECT_EQ(mainWindow, owner);
        if (confirm) {
            // The shell's own selection (the proposed folder does not exist):
            // a real folder, now in the member and in the box.
            EXPECT_NE("x:\\typed", shown);
            EXPECT_EQ(CString(shown.c_str()), dlg.m_strDestPath);
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(shown.c_str())) << shown;
        } else {
            EXPECT_EQ("x:\\typed", shown);
            EXPECT_EQ(0, dlg.m_strDestPath.Find("c:\\Ithra通讯")) << "the member keeps the proposal";
        }
    }
}

TEST_F(SfxDlgTest, SystemMenuOpensTheAboutBoxOwnedByTheDialog)
{
    // As at start-up: the dialog is the application's main window.
    CWinApp app;
    CSfxDlg dlg;
    app.m_pMainWnd = &dlg;
    dlg.m_strInstallMode = static_cast<char>(0);
    HWND owner = nullptr, mainWindow = nullptr;
    bool mainDisabled = false, aboutGone = false;
    RunDialog(
        dlg,
        [&](DialogDriver& d) {
            PostMessageA(d.Dialog(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            HWND about = nullptr;
            DialogDriver::WaitUntil(
                [&] {
                    EnumThreadWindows(d.m_uiThread, &FindAboutBox, reinterpret_cast<LPARAM>(&about));
                    return about != nullptr;
                },
                20000);
            if (!about)
                return;
            owner = GetWindow(about, GW_OWNER);
            mainWindow = d.Dialog();
            mainDisabled = !IsWindowEnabled(d.Dialog());
            PostMessageA(about, WM_COMMAND, IDOK, 0);
            aboutGone = DialogDriver::WaitUntil([&] { return !IsWindow(about); }, 20000);
        },
        &m_events, &m_notes);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    ASSERT_NE(nullptr, owner) << m_notes;
    EXPECT_EQ(mainWindow, owner);
    EXPECT_TRUE(mainDisabled) << "the about box is modal to the dialog";
    EXPECT_TRUE(aboutGone);
}

}  // namespace
