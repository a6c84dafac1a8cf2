#include "DialogDriver.h"

#include <cstdlib>
#include <mutex>
#include <thread>

#include "Capture.h"
#include "DisplayDriver.h"
#include "framework/WideText.h"
#include "framework/win32/Dialog.h"
#include "resource.h"
#include "ui/SfxDlg.h"

namespace {
std::mutex g_lock;
std::vector<DialogEvent>* g_pEvents = nullptr;
const DialogRunOptions* g_pOptions = nullptr;
HHOOK g_hCallRet = nullptr;
HHOOK g_hGetMsg = nullptr;

bool IsTopDialog(HWND h)
{
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof cls);
    return std::string(cls) == "#32770" && GetWindow(h, GW_OWNER) == nullptr;
}

void Record(DialogEvent e)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_pEvents)
        g_pEvents->push_back(std::move(e));
}

bool MarkerExists()
{
    return g_pOptions && !g_pOptions->markerPath.empty() &&
           GetFileAttributesA(g_pOptions->markerPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

LRESULT CALLBACK CallRetHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPRETSTRUCT* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        HWND parent = GetParent(m->hwnd);
        if (m->message == WM_SETTEXT && parent && IsTopDialog(parent) && m->lParam) {
            const int id = GetDlgCtrlID(m->hwnd);
            // The dialog's windows are Unicode: the text arrives in UTF-16.
            const std::string text = AfxFromWide(reinterpret_cast<const wchar_t*>(m->lParam)).str();
            if (id == IDC_STATUS)
                Record({DialogEvent::StatusText, text, 0, false});
            else if (id == IDC_COUNTDOWN)
                Record({DialogEvent::CountdownText, text, 0, MarkerExists()});
        } else if (m->message == WM_SFX_PROGRESS && IsTopDialog(m->hwnd)) {
            const int count = std::atoi(reinterpret_cast<const char*>(m->wParam));
            Record({DialogEvent::Progress, "", count, false});
            if (g_pOptions && g_pOptions->onProgress)
                g_pOptions->onProgress(m->hwnd, count);
        } else if (m->message == WM_DESTROY && IsTopDialog(m->hwnd)) {
            Record({DialogEvent::Destroyed, "", 0, false});
        }
    }
    return CallNextHookEx(g_hCallRet, code, wParam, lParam);
}

LRESULT CALLBACK GetMsgHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* m = reinterpret_cast<const MSG*>(lParam);
        if (m->message == WM_TIMER && IsTopDialog(m->hwnd))
            Record({DialogEvent::Timer, "", static_cast<int>(m->wParam), false});
    }
    return CallNextHookEx(g_hGetMsg, code, wParam, lParam);
}

BOOL CALLBACK CloseOwnedDialogs(HWND h, LPARAM)
{
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "#32770" && GetWindow(h, GW_OWNER) != nullptr)
        PostMessageA(h, WM_CLOSE, 0, 0);
    return TRUE;
}

BOOL CALLBACK FindDialog(HWND h, LPARAM lParam)
{
    if (IsTopDialog(h) && IsWindowVisible(h)) {
        *reinterpret_cast<HWND*>(lParam) = h;
        return FALSE;
    }
    return TRUE;
}
// A message box's text is the static control 0xFFFF of a "#32770" window.
const int kMessageBoxText = 0xFFFF;

BOOL CALLBACK FindMessageBox(HWND h, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(h) && GetDlgItem(h, kMessageBoxText)) {
        *reinterpret_cast<HWND*>(lParam) = h;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

std::string DialogDriver::AnswerMessageBox(const char* png, int timeoutMs) const
{
    HWND box = nullptr;
    WaitUntil([&] { return !EnumThreadWindows(m_uiThread, &FindMessageBox, reinterpret_cast<LPARAM>(&box)); },
              timeoutMs);
    if (!box)
        return "";
    char text[256] = "";
    DWORD_PTR n = 0;
    SendMessageTimeoutA(GetDlgItem(box, kMessageBoxText), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 20000, &n);
    if (png) {
        RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        WritePng(CaptureWindow(box), ScreenshotPath(png));
    }
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return std::string(text, n);
}

bool DialogDriver::WaitUntil(const std::function<bool()>& cond, int timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs))
            return cond();
        Sleep(20);
    }
}

bool DialogDriver::WaitForDialog(int timeoutMs)
{
    return WaitUntil(
        [&] {
            HWND found = nullptr;
            EnumThreadWindows(m_uiThread, &FindDialog, reinterpret_cast<LPARAM>(&found));
            m_hDlg = found;
            return found != nullptr;
        },
        timeoutMs);
}

std::string DialogDriver::Text(int id) const
{
    char buf[1024] = "";
    DWORD_PTR n = 0;
    SendMessageTimeoutA(Item(id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 60000, &n);
    return std::string(buf, n);
}

void DialogDriver::SetText(int id, const std::string& text) const
{
    DWORD_PTR r = 0;
    SendMessageTimeoutA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 60000, &r);
}

std::vector<DialogEvent> DialogDriver::Events() const
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_pEvents ? *g_pEvents : std::vector<DialogEvent>();
}

INT_PTR RunDialog(CDialog& dlg, const std::function<void(DialogDriver&)>& script, std::vector<DialogEvent>* events,
                  std::string* notes, const DialogRunOptions& options)
{
    events->clear();
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_pEvents = events;
    }
    g_pOptions = &options;
    g_hCallRet = SetWindowsHookExW(WH_CALLWNDPROCRET, &CallRetHook, nullptr, GetCurrentThreadId());
    g_hGetMsg = SetWindowsHookExA(WH_GETMESSAGE, &GetMsgHook, nullptr, GetCurrentThreadId());

    LoadDisplayDriverBeforeThreads();
    DialogDriver driver;
    driver.m_uiThread = GetCurrentThreadId();
    std::thread worker([&] {
        if (!driver.WaitForDialog()) {
            driver.Note("the dialog did not appear");
            return;
        }
        script(driver);
        // Whatever the script left running ends here, inner dialogs first.
        EnumThreadWindows(driver.m_uiThread, &CloseOwnedDialogs, 0);
        if (IsWindow(driver.m_hDlg))
            driver.Close();
    });
    const INT_PTR result = dlg.DoModal();
    worker.join();

    UnhookWindowsHookEx(g_hCallRet);
    UnhookWindowsHookEx(g_hGetMsg);
    g_pOptions = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_pEvents = nullptr;
    }
    *notes = driver.m_notes;
    return result;
}
