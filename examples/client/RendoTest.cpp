// The sample client, started as the installer starts it: it leaves its
// marker beside itself with its path, command line and current folder (in
// UTF-8), and its window carries the product name and closes by itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/CodePageText.h"
#include "support/TempDir.h"

namespace {

std::string ReadAll(const CString& path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[1024];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    CloseHandle(h);
    return bytes;
}

// Copies the client into a folder whose name has a 0x5C second byte and
// starts it; returns its process handle.
HANDLE StartCopy(const CString& folder, bool quiet)
{
    const CString exe = folder + "\\Rendo.exe";
    if (!CopyFileA(SFX_RENDO_EXE, exe, FALSE))
        return nullptr;
    SetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", quiet ? "1" : nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    CString commandLine = CString("\"") + exe + "\" --from-test";
    const BOOL started = CreateProcessA(exe, commandLine.GetBuffer(commandLine.GetLength()), nullptr, nullptr, FALSE,
                                        0, nullptr, folder, &si, &pi);
    SetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", nullptr);
    if (!started)
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

struct FindByTitle {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND hWnd, LPARAM lParam)
{
    FindByTitle* f = reinterpret_cast<FindByTitle*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == f->pid && IsWindowVisible(hWnd)) {
        f->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

TEST(SampleClient, QuietStartWritesTheMarkerBesideItself)
{
    TempDir root;
    const CString folder = root.Path() + "\\誠信";
    ASSERT_TRUE(CreateDirectoryA(folder, nullptr));
    HANDLE hProcess = StartCopy(folder, true);
    ASSERT_NE(nullptr, hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hProcess, 30000));
    DWORD code = 99;
    GetExitCodeProcess(hProcess, &code);
    CloseHandle(hProcess);
    EXPECT_EQ(0u, code);

    const std::string expected = std::string(folder + "\\Rendo.exe") + "\r\n\"" + std::string(folder + "\\Rendo.exe") +
                                 "\" --from-test\r\n" + std::string(folder) + "\r\n";
    EXPECT_EQ(expected, GbkFromUtf8(ReadAll(folder + "\\rendo-started.txt")));
}

TEST(SampleClient, WindowShowsTheProductNameAndClosesByItself)
{
    TempDir root;
    HANDLE hProcess = StartCopy(root.Path(), false);
    ASSERT_NE(nullptr, hProcess);
    FindByTitle f = {GetProcessId(hProcess), nullptr};
    for (int i = 0; i < 500 && !f.found; ++i) {
        EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&f));
        if (!f.found)
            Sleep(20);
    }
    ASSERT_NE(nullptr, f.found);
    char title[128] = "";
    GetWindowTextA(f.found, title, sizeof title);
    EXPECT_STREQ("Orvex 高级通讯管理", title);
    // It goes away without being asked to.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hProcess, 30000));
    CloseHandle(hProcess);
    EXPECT_NE(std::string("<missing>"), ReadAll(root.Path() + "\\rendo-started.txt"));
}

}  // namespace
