// The folder picker on the real shell browse window: the test thread runs
// Browse while a driver thread finds the window, reads what it shows and
// presses its buttons, as a user would.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DisplayDriver.h"
#include "framework/win32/Wnd.h"
#include "support/TempDir.h"
#include "ui/FolderPicker.h"

namespace {

const char* const kCaption = "Select Extraction Directory";

// Polls until cond() holds or timeoutMs has passed; true when it held.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 15000)
{
    const DWORD start = GetTickCount();
    while (!cond()) {
        if (static_cast<int>(GetTickCount() - start) > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

struct ThreadWindowSearch {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialogOfThread(HWND hWnd, LPARAM lParam)
{
    char cls[32] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hWnd)) {
        reinterpret_cast<ThreadWindowSearch*>(lParam)->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND BrowseWindowOf(DWORD threadId)
{
    ThreadWindowSearch search;
    EnumThreadWindows(threadId, FindDialogOfThread, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND hWnd)
{
    char text[512] = "";
    GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

// Returns once the window's thread has finished the message it was busy
// with (a message sent from another thread is only handled between two
// messages), so that everything a selection change set off has happened.
void Settle(HWND hBrowse)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hBrowse, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &result);
}

// Selects the child of the tree's root item that is labelled name, the way
// a click does; false when there is none.
bool SelectChildOfRoot(HWND hBrowse, const char* name)
{
    HWND hTree = FindWindowExA(hBrowse, nullptr, WC_TREEVIEWA, nullptr);
    HTREEITEM hRoot = reinterpret_cast<HTREEITEM>(SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageA(hTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(hRoot));
    for (HTREEITEM h = reinterpret_cast<HTREEITEM>(SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                                 reinterpret_cast<LPARAM>(hRoot)));
         h; h = reinterpret_cast<HTREEITEM>(SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(h)))) {
        char text[MAX_PATH] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = h;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(hTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (lstrcmpA(text, name) == 0)
            return SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(h)) != 0;
    }
    return false;
}

void Press(HWND hBrowse, int id) { SendMessageA(GetDlgItem(hBrowse, id), BM_CLICK, 0, 0); }

// What the browse window was sent on its own thread, in order: the picker's
// selection, status and OK requests, caption changes, and (as "ASKED") each
// call of IsFolderSelectable. Wine's browse window re-checks OK itself right
// after the callback and cannot match a path to a tree item for a folder
// last changed more than a moment ago, so what the picker asked of the
// window is read here rather than from the window's final state.
struct LoggedMessage {
    std::string kind;
    WPARAM wParam;
    LPARAM lParam;
    std::string text;
};

class MessageLog {
public:
    void Add(LoggedMessage m)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(std::move(m));
    }
    std::vector<LoggedMessage> Items()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_items;
    }
    // The first message of this kind after the n-th "ASKED" entry (1-based;
    // 0: from the start).
    bool FindAfterAsk(int n, const std::string& kind, LoggedMessage* found)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int asked = 0;
        for (const LoggedMessage& m : m_items) {
            if (m.kind == "ASKED")
                ++asked;
            else if (asked == n && m.kind == kind) {
                *found = m;
                return true;
            }
        }
        return false;
    }

private:
    std::mutex m_mutex;
    std::vector<LoggedMessage> m_items;
};

MessageLog* g_pLog = nullptr;

LRESULT CALLBACK RecordBrowseMessages(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* p = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_pLog) {
        char cls[32] = "";
        GetClassNameA(p->hwnd, cls, sizeof cls);
        if (lstrcmpA(cls, "#32770") == 0) {
            switch (p->message) {
            // The picker speaks to the shell in UTF-16.
            case BFFM_SETSELECTIONW:
                g_pLog->Add({"SETSELECTION", p->wParam, p->lParam,
                             p->wParam ? AfxFromWide(reinterpret_cast<const wchar_t*>(p->lParam)).str() : ""});
                break;
            case BFFM_SETSTATUSTEXTW:
                g_pLog->Add({"SETSTATUSTEXT", p->wParam, p->lParam,
                             AfxFromWide(reinterpret_cast<const wchar_t*>(p->lParam)).str()});
                break;
            case BFFM_ENABLEOK:
                g_pLog->Add({"ENABLEOK", p->wParam, p->lParam, ""});
                break;
            case WM_SETTEXT:
                if (p->lParam)
                    g_pLog->Add({"SETTEXT", p->wParam, p->lParam, reinterpret_cast<const char*>(p->lParam)});
                break;
            default:
                break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Records the browse window's messages on this thread while it lives.
class RecordingHook {
public:
    RecordingHook()
    {
        g_pLog = &log;
        m_hHook = SetWindowsHookExA(WH_CALLWNDPROC, RecordBrowseMessages, nullptr, GetCurrentThreadId());
    }
    ~RecordingHook()
    {
        UnhookWindowsHookEx(m_hHook);
        g_pLog = nullptr;
    }
    MessageLog log;

private:
    HHOOK m_hHook;
};

// A picker that remembers every selection it was asked about, and can
// refuse some of them.
class CRecordingPicker : public CFolderPicker {
public:
    BOOL IsFolderSelectable(const char* pszPath, CString& strStatus) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastPath = pszPath;
        ++m_calls;
        if (g_pLog)
            g_pLog->Add({"ASKED", 0, 0, pszPath});
        if (m_refuseUnless.empty())
            return CFolderPicker::IsFolderSelectable(pszPath, strStatus);
        const std::string path(pszPath);
        const bool ok = path.size() >= m_refuseUnless.size() &&
                        path.compare(path.size() - m_refuseUnless.size(), m_refuseUnless.size(), m_refuseUnless) == 0;
        strStatus = ok ? "可以安装到这里" : "请选择另一个文件夹";
        return ok;
    }
    std::string LastPath()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastPath;
    }
    int Calls()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::string m_refuseUnless;  // set before Browse; when set, only paths ending so are allowed

private:
    std::mutex m_mutex;
    std::string m_lastPath;
    int m_calls = 0;
};

// Runs action on the browse window of this thread from a second thread.
// Whatever the action does, the window is cancelled afterwards if it is
// still open, so that Browse always returns.
class Driver {
public:
    explicit Driver(std::function<void(HWND)> action) : m_uiThread(GetCurrentThreadId())
    {
        LoadDisplayDriverBeforeThreads();
        m_thread = std::thread([this, action] {
            HWND hBrowse = nullptr;
            WaitFor([&] { return m_browseReturned || (hBrowse = BrowseWindowOf(m_uiThread)) != nullptr; });
            m_sawWindow = hBrowse != nullptr;
            if (!m_sawWindow)
                return;
            action(hBrowse);
            if (IsWindow(hBrowse))
                PostMessageA(hBrowse, WM_COMMAND, IDCANCEL, 0);
        });
    }
    ~Driver() { Join(); }
    // Called once Browse has returned: a window can no longer appear.
    void Join()
    {
        m_browseReturned = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool SawWindow() const { return m_sawWindow; }

private:
    DWORD m_uiThread;
    std::atomic<bool> m_browseReturned{false};
    bool m_sawWindow = false;
    std::thread m_thread;
};

class FolderPickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = m_root.Path() + "\\誠信安装";
        m_sub = m_folder + "\\sub";
        ASSERT_TRUE(CreateDirectoryA(m_folder, nullptr));
        ASSERT_TRUE(CreateDirectoryA(m_sub, nullptr));
    }
    TempDir m_root;
    CString m_folder, m_sub;
};

TEST_F(FolderPickerTest, OpensWithCaptionAndInitialFolderAndReturnsTheConfirmedFolder)
{
    RecordingHook hook;
    CRecordingPicker picker;
    picker.SetCaption(kCaption);
    picker.SetInitialFolder(m_sub + "\\");
    picker.m_strRootFolder = m_folder;
    std::string caption;
    bool selected = false;
    Driver driver([&](HWND hBrowse) {
        WaitFor([&] { return WindowText(hBrowse) == kCaption; });
        caption = WindowText(hBrowse);
        selected = SelectChildOfRoot(hBrowse, "sub");
        Settle(hBrowse);
        Press(hBrowse, IDOK);
    });
    const int result = picker.Browse(static_cast<CWnd*>(nullptr));
    driver.Join();
    ASSERT_TRUE(driver.SawWindow());
    EXPECT_EQ(kCaption, caption);
    // The folder was asked for as a path, without its trailing backslash,
    // before the caption changed.
    const std::vector<LoggedMessage> log = hook.log.Items();
    size_t selection = log.size(), captionSet = log.size();
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].kind == "SETSELECTION" && selection == log.size()) {
            selection = i;
            EXPECT_EQ(static_cast<WPARAM>(TRUE), log[i].wParam);
            EXPECT_EQ(std::string(m_sub), log[i].text);
        }
        if (log[i].kind == "SETTEXT" && log[i].text == kCaption && captionSet == log.size())
            captionSet = i;
    }
    EXPECT_LT(selection, captionSet);
    ASSERT_TRUE(selected);
    EXPECT_EQ(1, result);
    EXPECT_EQ(std::string(m_sub), picker.GetFolder().str());
    EXPECT_EQ(std::string(m_sub), picker.m_strInitialFolder.str());
}

TEST_F(FolderPickerTest, CancelReturnsZeroAndTheWindowBelongsToTheOwner)
{
    HWND hOwner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, hOwner);
    CWnd owner;
    owner.Attach(hOwner);

    CRecordingPicker picker;
    picker.SetInitialFolder(m_folder);
    HWND seenOwner = nullptr;
    std::string caption;
    Driver driver([&](HWND hBrowse) {
        Settle(hBrowse);
        seenOwner = GetWindow(hBrowse, GW_OWNER);
        caption = WindowText(hBrowse);
        Press(hBrowse, IDCANCEL);
    });
    EXPECT_EQ(0, picker.Browse(&owner));
    driver.Join();
    ASSERT_TRUE(driver.SawWindow());
    EXPECT_EQ(hOwner, seenOwner);
    // Without a caption of ours the shell keeps its own.
    EXPECT_FALSE(caption.empty());
    EXPECT_NE(kCaption, caption);
    owner.Detach();
    DestroyWindow(hOwner);
}

TEST_F(FolderPickerTest, InitialFolderLosesTrailingBlanksThenOneBackslash)
{
    // A root that cannot be parsed ends Browse before any window opens, after
    // the initial folder has been normalised in place.
    const struct {
        const char* given;
        const char* normalised;
    } cases[] = {
        {"C:\\Orvex\\", "C:\\Orvex"},
        {"C:\\Orvex\\\\", "C:\\Orvex\\"},
        {"C:\\Orvex\\  \t", "C:\\Orvex"},
        {"C:\\Orvex \\", "C:\\Orvex "},
        {"c:\\", "c:"},
        {"C:\\誠", "C:\\誠"},      // its second byte is 0x5C but it is no separator
        {"C:\\誠\\", "C:\\誠"},
    };
    for (const auto& c : cases) {
        CFolderPicker picker;
        picker.m_strRootFolder = m_root.Path() + "\\no such folder\\x";
        picker.SetInitialFolder(c.given);
        Driver driver([](HWND) {});
        EXPECT_EQ(0, picker.Browse(static_cast<CWnd*>(nullptr)));
        driver.Join();
        EXPECT_FALSE(driver.SawWindow()) << c.given;
        EXPECT_EQ(std::string(c.normalised), picker.m_strInitialFolder.str()) << c.given;
    }
}

TEST_F(FolderPickerTest, RootFolderBecomesTheTopOfTheTree)
{
    CRecordingPicker picker;
    picker.m_strRootFolder = m_folder;
    std::string rootItem;
    Driver driver([&](HWND hBrowse) {
        Settle(hBrowse);
        HWND hTree = FindWindowExA(hBrowse, nullptr, WC_TREEVIEWA, nullptr);
        HTREEITEM hRoot = reinterpret_cast<HTREEITEM>(SendMessageA(hTree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        char text[MAX_PATH] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = hRoot;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(hTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        rootItem = text;
        SendMessageA(hTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hRoot));
        Settle(hBrowse);
        Press(hBrowse, IDOK);
    });
    EXPECT_EQ(1, picker.Browse(static_cast<CWnd*>(nullptr)));
    driver.Join();
    EXPECT_EQ("誠信安装", rootItem);
    EXPECT_EQ(std::string(m_folder), picker.GetFolder().str());
}

TEST_F(FolderPickerTest, SelectabilityDrivesOkAndTheStatusLine)
{
    ASSERT_TRUE(CreateDirectoryA(m_folder + "\\ok", nullptr));
    RecordingHook hook;
    CRecordingPicker picker;
    picker.m_refuseUnless = "\\ok";
    picker.m_bStatusText = TRUE;
    picker.m_strRootFolder = m_folder;
    bool refusalShown = false, approvalShown = false;
    int askedAtSub = 0;
    auto statusShown = [](HWND hBrowse, const char* text) {
        return FindWindowExA(hBrowse, nullptr, "Static", text) != nullptr;
    };
    Driver driver([&](HWND hBrowse) {
        Settle(hBrowse);
        EXPECT_TRUE(SelectChildOfRoot(hBrowse, "sub"));
        Settle(hBrowse);
        askedAtSub = picker.Calls();
        refusalShown = statusShown(hBrowse, "请选择另一个文件夹");
        EXPECT_TRUE(SelectChildOfRoot(hBrowse, "ok"));
        Settle(hBrowse);
        approvalShown = statusShown(hBrowse, "可以安装到这里");
        Press(hBrowse, IDOK);
    });
    EXPECT_EQ(1, picker.Browse(static_cast<CWnd*>(nullptr)));
    driver.Join();
    EXPECT_TRUE(refusalShown);
    EXPECT_TRUE(approvalShown);
    // Right after each question: the status text, then OK enabled or not.
    LoggedMessage status, enable;
    ASSERT_TRUE(hook.log.FindAfterAsk(askedAtSub, "SETSTATUSTEXT", &status));
    EXPECT_EQ("请选择另一个文件夹", status.text);
    ASSERT_TRUE(hook.log.FindAfterAsk(askedAtSub, "ENABLEOK", &enable));
    EXPECT_EQ(0, enable.wParam);
    EXPECT_EQ(FALSE, enable.lParam);
    ASSERT_TRUE(hook.log.FindAfterAsk(askedAtSub + 1, "ENABLEOK", &enable));
    EXPECT_EQ(TRUE, enable.lParam);
    EXPECT_EQ(std::string(m_folder + "\\ok"), picker.GetFolder().str());
}

TEST_F(FolderPickerTest, WithoutStatusLineNoStatusTextIsSent)
{
    RecordingHook hook;
    CRecordingPicker picker;
    picker.m_strRootFolder = m_folder;
    Driver driver([&](HWND hBrowse) {
        Settle(hBrowse);
        EXPECT_TRUE(SelectChildOfRoot(hBrowse, "sub"));
        Settle(hBrowse);
        Press(hBrowse, IDCANCEL);
    });
    EXPECT_EQ(0, picker.Browse(static_cast<CWnd*>(nullptr)));
    driver.Join();
    int enables = 0;
    for (const LoggedMessage& m : hook.log.Items()) {
        EXPECT_NE("SETSTATUSTEXT", m.kind);
        // Without a caption of ours the caption is never set by the picker.
        EXPECT_NE(std::string(kCaption), m.text);
        enables += m.kind == "ENABLEOK";
    }
    EXPECT_GE(enables, 2);
}

TEST_F(FolderPickerTest, AnItemWithoutAPathKeepsOkEnabledButConfirmingItReturnsZero)
{
    RecordingHook hook;
    CRecordingPicker picker;
    std::string pathSeen = "<none>";
    int asked = 0;
    Driver driver([&](HWND hBrowse) {
        Settle(hBrowse);
        LPITEMIDLIST pidlComputer = nullptr;
        ASSERT_HRESULT_SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidlComputer));
        SendMessageA(hBrowse, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(pidlComputer));
        CoTaskMemFree(pidlComputer);
        asked = picker.Calls();
        pathSeen = picker.LastPath();
        // The user's click on OK, which the picker left enabled.
        SendMessageA(hBrowse, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(0, picker.Browse(static_cast<CWnd*>(nullptr)));
    driver.Join();
    EXPECT_EQ("", pathSeen);
    LoggedMessage enable;
    ASSERT_TRUE(hook.log.FindAfterAsk(asked, "ENABLEOK", &enable));
    EXPECT_EQ(TRUE, enable.lParam);
}

TEST_F(FolderPickerTest, AMissingInitialFolderStillOpensTheWindow)
{
    CRecordingPicker picker;
    picker.SetCaption(kCaption);
    picker.SetInitialFolder(m_folder + "\\Orvex_20261208\\");
    std::string caption;
    Driver driver([&](HWND hBrowse) {
        WaitFor([&] { return WindowText(hBrowse) == kCaption; });
        caption = WindowText(hBrowse);
        Press(hBrowse, IDCANCEL);
    });
    EXPECT_EQ(0, picker.Browse(static_cast<CWnd*>(nullptr)));
    driver.Join();
    EXPECT_EQ(kCaption, caption);
    EXPECT_EQ(std::string(m_folder + "\\Orvex_20261208"), picker.m_strInitialFolder.str());
}

}  // namespace
