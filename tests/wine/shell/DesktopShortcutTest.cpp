// The desktop shortcut with real .lnk files written by the shell's link
// object, on a scratch desktop that the "Desktop" value of the current
// user's shell folders names while each test runs.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SavedRegistryValue.h"
#include "support/TempDir.h"
#include "framework/FileSystem.h"
#include "shell/DesktopShortcut.h"

namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const kOldName = "快捷方式 到 Rendo.exe.lnk";
const char* const kNewName = "Orvex 高级通讯管理.lnk";

std::wstring Wide(const char* ansi)
{
    wchar_t buffer[1024];
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, buffer, 1024);
    return std::wstring(buffer, n > 0 ? n - 1 : 0);
}

// Writes a link through the shell's own object, independently of the code
// under test.
void WriteLink(const CString& linkPath, const CString& target)
{
    IShellLinkA* pLink = nullptr;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                              reinterpret_cast<void**>(&pLink)));
    ASSERT_HRESULT_SUCCEEDED(pLink->SetPath(target));
    IPersistFile* pFile = nullptr;
    ASSERT_HRESULT_SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)));
    EXPECT_HRESULT_SUCCEEDED(pFile->Save(Wide(linkPath).c_str(), TRUE));
    pFile->Release();
    pLink->Release();
}

// The target a link file holds, loaded back through IShellLinkA::GetPath.
std::string LinkTarget(const CString& linkPath)
{
    std::string result = "<unreadable>";
    IShellLinkA* pLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&pLink))))
        return result;
    IPersistFile* pFile = nullptr;
    if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
        if (SUCCEEDED(pFile->Load(Wide(linkPath).c_str(), STGM_READ))) {
            char path[MAX_PATH] = "";
            if (SUCCEEDED(pLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
                result = path;
        }
        pFile->Release();
    }
    pLink->Release();
    return result;
}

std::string ReadBytes(const CString& path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

void WriteBytes(const CString& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path.GetString();
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(bytes.size(), written);
}

std::vector<std::string> FolderListing(const CString& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(folder + "\\*", &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

// Points the current user's desktop at a scratch folder while a test runs.
// Wine's shell rewrites the "Shell Folders" values from "User Shell Folders"
// whenever it resolves a special folder (the link object does), so both
// are pointed there; both are put back afterwards.
class DesktopShortcut : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
        m_desktop = m_root.Path() + "\\桌面";
        m_install = m_root.Path() + "\\Orvex安装";
        m_other = m_root.Path() + "\\Other";
        ASSERT_TRUE(CreateDirectoryA(m_desktop, nullptr));
        ASSERT_TRUE(CreateDirectoryA(m_install, nullptr));
        ASSERT_TRUE(CreateDirectoryA(m_other, nullptr));
        WriteBytes(m_install + "\\Rendo.exe", "client");
        WriteBytes(m_other + "\\Rendo.exe", "another client");
        ASSERT_TRUE(m_userShellDesktop.Set(m_desktop.GetString()));
        ASSERT_TRUE(m_shellDesktop.Set(m_desktop.GetString()));
    }

    void TearDown() override
    {
        // The shell must not have moved the desktop back to the prefix's own
        // during the test, or the links went there.
        char value[1024] = "";
        DWORD size = sizeof value;
        if (RegGetValueA(HKEY_CURRENT_USER, kShellFolders, "Desktop", RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS) {
            EXPECT_STREQ(m_desktop.GetString(), value);
        }
        CoUninitialize();
    }

    CString OldLink() const { return m_desktop + "\\" + kOldName; }
    CString NewLink() const { return m_desktop + "\\" + kNewName; }
    CString Target() const { return m_install + "\\Rendo.exe"; }
    CString OtherTarget() const { return m_other + "\\Rendo.exe"; }

    TempDir m_root;
    CString m_desktop, m_install, m_other;
    SavedRegistryValue m_shellDesktop{HKEY_CURRENT_USER, kShellFolders, "Desktop"};
    SavedRegistryValue m_userShellDesktop{HKEY_CURRENT_USER, kUserShellFolders, "Desktop"};
};

TEST_F(DesktopShortcut, WritesTheNewLinkWhenNeitherExists)
{
    UpdateDesktopShortcut(m_install);
    EXPECT_EQ(std::string(Target()), LinkTarget(NewLink()));
    EXPECT_FALSE(FileExists(OldLink()));
    for (const std::string& name : FolderListing(m_desktop))
        EXPECT_TRUE(name == "." || name == ".." || name == kNewName) << name;
}

TEST_F(DesktopShortcut, RenamesAnOldLinkThatPointsAtTheTarget)
{
    WriteLink(OldLink(), Target());
    const std::string before = ReadBytes(OldLink());
    UpdateDesktopShortcut(m_install);
    EXPECT_FALSE(FileExists(OldLink()));
    // The very file, moved: not a link written anew.
    EXPECT_EQ(before, ReadBytes(NewLink()));
    EXPECT_EQ(std::string(Target()), LinkTarget(NewLink()));
}

TEST_F(DesktopShortcut, WritesBesideAnOldLinkThatPointsElsewhere)
{
    WriteLink(OldLink(), OtherTarget());
    const std::string before = ReadBytes(OldLink());
    UpdateDesktopShortcut(m_install);
    EXPECT_EQ(before, ReadBytes(OldLink()));
    EXPECT_EQ(std::string(Target()), LinkTarget(NewLink()));
}

TEST_F(DesktopShortcut, LeavesACorrectNewLinkAloneEvenBesideAnOldOne)
{
    WriteLink(NewLink(), Target());
    WriteLink(OldLink(), Target());
    const std::string newBefore = ReadBytes(NewLink());
    const std::string oldBefore = ReadBytes(OldLink());
    // Nothing is written: not even a read-only new link is touched.
    SetFileAttributesA(NewLink(), FILE_ATTRIBUTE_READONLY);
    UpdateDesktopShortcut(m_install);
    EXPECT_EQ(newBefore, ReadBytes(NewLink()));
    EXPECT_EQ(oldBefore, ReadBytes(OldLink()));
    SetFileAttributesA(NewLink(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DesktopShortcut, OverwritesANewLinkThatPointsElsewhereAndKeepsTheOldOne)
{
    WriteLink(NewLink(), OtherTarget());
    WriteLink(OldLink(), Target());
    const std::string oldBefore = ReadBytes(OldLink());
    UpdateDesktopShortcut(m_install);
    EXPECT_EQ(std::string(Target()), LinkTarget(NewLink()));
    EXPECT_EQ(oldBefore, ReadBytes(OldLink()));
}

TEST_F(DesktopShortcut, WithoutADesktopValueNoFileChanges)
{
    WriteLink(OldLink(), Target());
    const std::string before = ReadBytes(OldLink());
    ASSERT_TRUE(m_shellDesktop.Delete());
    // An empty desktop path would put the link at the root of the drive.
    const CString driveRootLink = CString("\\") + kNewName;
    ASSERT_FALSE(FileExists(driveRootLink));

    UpdateDesktopShortcut(m_install);
    EXPECT_EQ(before, ReadBytes(OldLink()));
    EXPECT_FALSE(FileExists(NewLink()));
    EXPECT_FALSE(FileExists(driveRootLink));
    EXPECT_FALSE(FileExists(m_install + "\\" + kNewName));
}

TEST_F(DesktopShortcut, ATargetDifferingOnlyInLetterCaseDoesNotCount)
{
    CString upper = m_root.Path() + "\\ORVEX安装\\RENDO.EXE";
    WriteLink(OldLink(), upper);
    ASSERT_EQ(std::string(upper), LinkTarget(OldLink()));
    const std::string before = ReadBytes(OldLink());
    UpdateDesktopShortcut(m_install);
    EXPECT_EQ(before, ReadBytes(OldLink()));  // not renamed
    EXPECT_EQ(std::string(Target()), LinkTarget(NewLink()));
}

TEST_F(DesktopShortcut, AStoredPathThatMerelyStartsWithTheTargetCounts)
{
    WriteBytes(m_install + "\\Rendo.exe.bak", "backup");
    WriteLink(OldLink(), m_install + "\\Rendo.exe.bak");
    UpdateDesktopShortcut(m_install);
    EXPECT_FALSE(FileExists(OldLink()));
    EXPECT_EQ(std::string(m_install + "\\Rendo.exe.bak"), LinkTarget(NewLink()));
}

TEST_F(DesktopShortcut, AReadOnlyOldLinkIsStillReadAndRenamed)
{
    WriteLink(OldLink(), Target());
    ASSERT_TRUE(SetFileAttributesA(OldLink(), FILE_ATTRIBUTE_READONLY));
    UpdateDesktopShortcut(m_install);
    EXPECT_FALSE(FileExists(OldLink()));
    EXPECT_EQ(std::string(Target()), LinkTarget(NewLink()));
    SetFileAttributesA(NewLink(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DesktopShortcut, AFailedRenameFallsThroughToWritingTheNewLink)
{
    WriteLink(OldLink(), Target());
    const std::string before = ReadBytes(OldLink());
    // Held open by someone who lets others read but not move it.
    HANDLE hHold = CreateFileA(OldLink(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHold);
    UpdateDesktopShortcut(m_install);
    CloseHandle(hHold);
    EXPECT_EQ(before, ReadBytes(OldLink()));
    EXPECT_EQ(std::string(Target()), LinkTarget(NewLink()));
}

TEST_F(DesktopShortcut, FolderWithTrailingBackslashIsJoinedAsGiven)
{
    // The doubled backslash is part of the target text, so an old link to
    // the single-backslash path does not count and stays.
    WriteLink(OldLink(), Target());
    const std::string before = ReadBytes(OldLink());
    UpdateDesktopShortcut(m_install + "\\");
    EXPECT_EQ(before, ReadBytes(OldLink()));
    EXPECT_TRUE(FileExists(NewLink()));
}

TEST(ReadFileAsText, EveryByteArrivesWithNulsAsBlanksAcrossChunks)
{
    TempDir root;
    std::string content;
    for (int i = 0; i < 7000; ++i)
        content += static_cast<char>(i % 7 == 0 ? 0 : 'a' + i % 26);
    WriteBytes(root.Path() + "\\data.bin", content);

    const CString text = ReadFileAsText(root.Path() + "\\data.bin");
    std::string expected = content;
    for (char& c : expected)
        if (c == '\0')
            c = ' ';
    EXPECT_EQ(expected, text.str());

    EXPECT_EQ(0, ReadFileAsText(root.Path() + "\\missing.bin").GetLength());
}

TEST(FileContainsText, MatchesOnlyWhereACharacterBegins)
{
    TempDir root;
    // "誠" is 0xD5 0x5C in code page 936: its second byte is a backslash.
    WriteBytes(root.Path() + "\\a.lnk", std::string("xx誠Rendo.exe") + '\0' + "yy");
    EXPECT_FALSE(FileContainsText(root.Path() + "\\a.lnk", "\\Rendo.exe"));
    EXPECT_TRUE(FileContainsText(root.Path() + "\\a.lnk", "誠Rendo.exe yy"));
    EXPECT_FALSE(FileContainsText(root.Path() + "\\a.lnk", "rendo.exe"));
    EXPECT_FALSE(FileContainsText(root.Path() + "\\none.lnk", "x"));
}

TEST(CreateShortcutFile, WritesALinkTheShellReadsBack)
{
    TempDir root;
    ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
    const CString target = root.Path() + "\\Rendo.exe";
    WriteBytes(target, "client");
    EXPECT_EQ(1, CreateShortcutFile(target, root.Path() + "\\x.lnk"));
    EXPECT_EQ(std::string(target), LinkTarget(root.Path() + "\\x.lnk"));
    // Overwrites an existing file of that name.
    WriteBytes(root.Path() + "\\y.lnk", "not a link");
    EXPECT_EQ(1, CreateShortcutFile(target, root.Path() + "\\y.lnk"));
    EXPECT_EQ(std::string(target), LinkTarget(root.Path() + "\\y.lnk"));
    // A link path too long for the wide buffer is not saved anywhere.
    const CString longLink = root.Path() + "\\" + CString('a', 300) + ".lnk";
    EXPECT_EQ(0, CreateShortcutFile(target, longLink));
    CoUninitialize();
}

// COM is the caller's business before and after: on a thread without it,
// the call initialises it and takes it down again, so a first
// CoInitialize afterwards starts afresh (S_OK, not S_FALSE); on a thread
// that has it, it stays initialised.
struct ShortcutOnThread {
    CString target, link;
    int result = -1;
    HRESULT afterwards = E_FAIL;
};

DWORD WINAPI MakeShortcutOnThread(void* p)
{
    ShortcutOnThread* r = static_cast<ShortcutOnThread*>(p);
    r->result = CreateShortcutFile(r->target, r->link);
    r->afterwards = CoInitialize(nullptr);
    if (SUCCEEDED(r->afterwards))
        CoUninitialize();
    return 0;
}

TEST(CreateShortcutFile, LeavesTheThreadsComAsItFoundIt)
{
    TempDir root;
    ShortcutOnThread run;
    run.target = root.Path() + "\\Rendo.exe";
    run.link = root.Path() + "\\t.lnk";
    WriteBytes(run.target, "client");
    HANDLE thread = CreateThread(nullptr, 0, MakeShortcutOnThread, &run, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
    CloseHandle(thread);
    EXPECT_EQ(1, run.result);
    EXPECT_EQ(S_OK, run.afterwards) << "COM was left initialised on the thread";
    EXPECT_TRUE(FileExists(run.link));

    // Already initialised by the caller: still initialised afterwards.
    ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
    EXPECT_EQ(1, CreateShortcutFile(run.target, root.Path() + "\\u.lnk"));
    EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
    CoUninitialize();
    CoUninitialize();
}

}  // namespace
