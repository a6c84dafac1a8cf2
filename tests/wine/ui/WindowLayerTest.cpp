// The framework's window layer with a real dialog template: binding before
// WM_CREATE, message-map lookup through the class chain, data exchange, and
// C++ exceptions stopped at the window procedure.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Capture.h"
#include "DialogDriver.h"
#include "DisplayDriver.h"
#include "framework/win32/Dialog.h"
#include "framework/win32/ProgressCtrl.h"
#include "resource.h"

namespace {

const UINT WM_PROBE = WM_APP + 1;
const UINT WM_BASE_ONLY = WM_APP + 2;
const UINT WM_NESTED = WM_APP + 3;

class ProbeDlg : public CDialog {
public:
    ProbeDlg() : CDialog(IDD_SFX_DIALOG) {}
    std::vector<std::string> m_calls;
    CString m_strPath = "c:\\probe";
    CProgressCtrl m_bar;
    bool m_bThrowInInit = false;
    INT_PTR m_nNestedResult = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_PROGRESS, m_bar);
        DDX_Text(pDX, IDC_DEST_PATH, m_strPath);
    }
    BOOL OnInitDialog() override
    {
        m_calls.push_back("init");
        if (m_bThrowInInit)
            throw std::runtime_error("init failed");
        return CDialog::OnInitDialog();
    }
    int OnCreate(LPCREATESTRUCT)
    {
        m_calls.push_back("create");
        return Default() == -1 ? -1 : 0;
    }
    LRESULT OnProbe(WPARAM wParam, LPARAM)
    {
        if (wParam == 99)
            throw std::runtime_error("handler failed");
        return 1;
    }
    LRESULT OnBaseOnly(WPARAM, LPARAM) { return 7; }
    LRESULT OnNested(WPARAM, LPARAM)
    {
        ProbeDlg inner;
        inner.m_bThrowInInit = true;
        m_nNestedResult = inner.DoModal();
        return 0;
    }
    void OnStart() { m_calls.push_back("start"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDlg, CDialog)
    ON_WM_CREATE()
    ON_MESSAGE(WM_PROBE, &ProbeDlg::OnProbe)
    ON_MESSAGE(WM_BASE_ONLY, &ProbeDlg::OnBaseOnly)
    ON_MESSAGE(WM_NESTED, &ProbeDlg::OnNested)
    ON_BN_CLICKED(IDC_START, &ProbeDlg::OnStart)
END_MESSAGE_MAP()

class DerivedProbeDlg : public ProbeDlg {
protected:
    LRESULT OnProbeAgain(WPARAM, LPARAM) { return 2; }
    void OnOK() override
    {
        m_calls.push_back("ok");
        ProbeDlg::OnOK();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedProbeDlg, ProbeDlg)
    ON_MESSAGE(WM_PROBE, &DerivedProbeDlg::OnProbeAgain)
END_MESSAGE_MAP()

LRESULT Send(HWND h, UINT message, WPARAM wParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(h, message, wParam, 0, SMTO_NORMAL, 20000, &result);
    return static_cast<LRESULT>(result);
}

TEST(WindowLayer, DialogIsBoundBeforeCreateAndExchangesItsData)
{
    DerivedProbeDlg dlg;
    std::vector<DialogEvent> events;
    std::string notes, shown;
    LRESULT probe = 0, baseOnly = 0;
    bool barBound = false;
    const INT_PTR result = RunDialog(
        dlg,
        [&](DialogDriver& d) {
            shown = d.Text(IDC_DEST_PATH);
            barBound = CWnd::FromHandlePermanent(d.Item(IDC_PROGRESS)) == &dlg.m_bar;
            probe = Send(d.Dialog(), WM_PROBE);
            baseOnly = Send(d.Dialog(), WM_BASE_ONLY);
            d.Click(IDC_START);
            d.SetText(IDC_DEST_PATH, "d:\\typed");
            d.Click(IDOK);
            DialogDriver::WaitUntil([&] { return !IsWindow(d.Dialog()); }, 20000);
        },
        &events, &notes);
    EXPECT_EQ(IDOK, result) << notes;
    EXPECT_EQ((std::vector<std::string>{"create", "init", "start", "ok"}), dlg.m_calls);
    EXPECT_EQ("c:\\probe", shown);
    EXPECT_TRUE(barBound);
    EXPECT_EQ(2, probe) << "the derived class's entry wins";
    EXPECT_EQ(7, baseOnly) << "the base class's entries still serve";
    EXPECT_EQ(CString("d:\\typed"), dlg.m_strPath) << "OK reads the controls back";
    EXPECT_EQ(nullptr, dlg.m_hWnd);
    EXPECT_EQ(nullptr, dlg.m_bar.m_hWnd) << "controls are released with the window";
}

TEST(WindowLayer, ExceptionInAHandlerIsReportedThenEndsTheDialog)
{
    ProbeDlg dlg;
    std::vector<DialogEvent> events;
    std::string notes, told;
    const INT_PTR result = RunDialog(
        dlg,
        [&](DialogDriver& d) {
            PostMessageA(d.Dialog(), WM_PROBE, 99, 0);
            told = d.AnswerMessageBox("internal-error-box.png");
            DialogDriver::WaitUntil([&] { return !IsWindow(d.Dialog()); }, 20000);
        },
        &events, &notes);
    EXPECT_EQ("Internal Error", told) << "the user is told before the window goes";
    EXPECT_EQ(-1, result) << notes;
    EXPECT_EQ(CString("handler failed"), AfxGetLastWndProcError());
}

TEST(WindowLayer, ExceptionInOnInitDialogIsReportedAndFailsDoModal)
{
    ProbeDlg dlg;
    dlg.m_bThrowInInit = true;
    DialogDriver answer;
    answer.m_uiThread = GetCurrentThreadId();
    std::string told;
    LoadDisplayDriverBeforeThreads();
    std::thread worker([&] { told = answer.AnswerMessageBox(); });
    EXPECT_EQ(-1, dlg.DoModal());
    worker.join();
    EXPECT_EQ("Internal Error", told);
    EXPECT_EQ(CString("init failed"), AfxGetLastWndProcError());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST(WindowLayer, AFailingNestedDialogLeavesTheOuterOneRunning)
{
    ProbeDlg dlg;
    std::vector<DialogEvent> events;
    std::string notes, told;
    bool stillThere = false;
    const INT_PTR result = RunDialog(
        dlg,
        [&](DialogDriver& d) {
            PostMessageA(d.Dialog(), WM_NESTED, 0, 0);
            told = d.AnswerMessageBox();
            DialogDriver::WaitUntil([&] { return dlg.m_nNestedResult != 0; }, 20000);
            stillThere = IsWindow(d.Dialog()) && IsWindowEnabled(d.Dialog());
            d.Click(IDOK);
            DialogDriver::WaitUntil([&] { return !IsWindow(d.Dialog()); }, 20000);
        },
        &events, &notes);
    EXPECT_EQ("Internal Error", told);
    EXPECT_EQ(-1, dlg.m_nNestedResult);
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(IDOK, result) << notes;
}

TEST(WindowLayer, MissingTemplateFailsDoModal)
{
    CDialog dlg(4711);
    EXPECT_EQ(-1, dlg.DoModal());
}

}  // namespace

namespace {

struct ControlSpec {
    int id;
    const char* cls;
    const char* text;
    RECT dlu;  // x, y, width, height in dialog units
};

// Opens a template, captures it for people to look at, and checks each
// control's class, text and place against the layout it must have.
void CheckTemplate(UINT idd, const char* caption, const std::vector<ControlSpec>& controls, const char* png)
{
    CDialog dlg(idd);
    std::vector<DialogEvent> events;
    std::string notes, shownCaption;
    std::vector<std::string> problems;
    DWORD exStyle = 0;
    RunDialog(
        dlg,
        [&](DialogDriver& d) {
            char text[256] = "";
            GetWindowTextA(d.Dialog(), text, sizeof text);
            shownCaption = text;
            exStyle = static_cast<DWORD>(GetWindowLongA(d.Dialog(), GWL_EXSTYLE));
            for (const ControlSpec& c : controls) {
                HWND h = d.Item(c.id);
                if (!h) {
                    problems.push_back("no control " + std::to_string(c.id));
                    continue;
                }
                char cls[64] = "";
                GetClassNameA(h, cls, sizeof cls);
                if (_stricmp(cls, c.cls) != 0)
                    problems.push_back(std::to_string(c.id) + " is a " + cls);
                if (c.text && d.Text(c.id) != c.text)
                    problems.push_back(std::to_string(c.id) + " reads " + d.Text(c.id));
                // The dialog manager converts position and size separately.
                RECT pos = {c.dlu.left, c.dlu.top, c.dlu.right, c.dlu.bottom};
                MapDialogRect(d.Dialog(), &pos);
                RECT got;
                GetWindowRect(h, &got);
                MapWindowPoints(nullptr, d.Dialog(), reinterpret_cast<POINT*>(&got), 2);
                const RECT want = {pos.left, pos.top, pos.left + pos.right, pos.top + pos.bottom};
                if (!EqualRect(&want, &got))
                    problems.push_back(std::to_string(c.id) + " is at " + std::to_string(got.left) + "," +
                                       std::to_string(got.top) + "-" + std::to_string(got.right) + "," +
                                       std::to_string(got.bottom) + ", not " + std::to_string(want.left) + "," +
                                       std::to_string(want.top) + "-" + std::to_string(want.right) + "," +
                                       std::to_string(want.bottom));
            }
            RedrawWindow(d.Dialog(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            WritePng(CaptureWindow(d.Dialog()), ScreenshotPath(png));
        },
        &events, &notes);
    EXPECT_EQ(caption, shownCaption) << notes;
    EXPECT_EQ(std::vector<std::string>(), problems);
    if (idd == IDD_SFX_DIALOG) {
        EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    }
}

TEST(Resources, MainDialogTemplate)
{
    CheckTemplate(IDD_SFX_DIALOG, "Orvex通讯管理系统安装提示",
                  {{IDOK, "Button", "退出", {15, 85, 54, 14}},
                   {IDC_START, "Button", "开始安装", {15, 60, 54, 14}},
                   {IDC_BROWSE, "Button", "程序安装目录", {15, 29, 54, 14}},
                   {IDC_DEST_PATH, "Edit", "", {79, 29, 168, 14}},
                   {IDC_PROGRESS, "msctls_progress32", nullptr, {80, 85, 168, 14}},
                   {IDC_STATUS, "Static", "", {83, 57, 163, 23}},
                   {IDC_COUNTDOWN, "Static", "", {19, 15, 217, 10}}},
                  "template-main.png");
}

TEST(Resources, KeepDataDialogTemplate)
{
    CheckTemplate(IDD_KEEP_DATA, "版本更新特别提示",
                  {{IDOK, "Button", "保留历史数据 继续", {59, 79, 77, 14}},
                   {IDCANCEL, "Button", "退出", {155, 69, 50, 14}},
                   {IDC_DISCARD_DATA, "Button", "不保留数据", {156, 88, 50, 14}},
                   {IDC_KEEP_MESSAGE, "Static", "", {15, 19, 189, 37}}},
                  "template-keep-data.png");
}

TEST(Resources, AboutBoxAndSystemMenuText)
{
    CheckTemplate(IDD_ABOUTBOX, "关于 Orvex通讯管理系统安装程序", {}, "template-about.png");
    char text[64] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof text);
    EXPECT_EQ(std::string("&About Velkor..."), text);
}

}  // namespace
