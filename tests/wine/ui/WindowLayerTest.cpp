// The framework's window layer with a real dialog template: binding before
// WM_CREATE, message-map lookup through the class chain, data exchange, and
// C++ exceptions stopped at the window procedure.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "DialogDriver.h"
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

TEST(WindowLayer, ExceptionInAHandlerEndsTheDialogInsteadOfCrossingWin32)
{
    ProbeDlg dlg;
    std::vector<DialogEvent> events;
    std::string notes;
    const INT_PTR result = RunDialog(
        dlg,
        [&](DialogDriver& d) {
            Send(d.Dialog(), WM_PROBE, 99);
            DialogDriver::WaitUntil([&] { return !IsWindow(d.Dialog()); }, 20000);
        },
        &events, &notes);
    EXPECT_EQ(-1, result) << notes;
    EXPECT_EQ(CString("handler failed"), AfxGetLastWndProcError());
}

TEST(WindowLayer, ExceptionInOnInitDialogFailsDoModal)
{
    ProbeDlg dlg;
    dlg.m_bThrowInInit = true;
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_EQ(CString("init failed"), AfxGetLastWndProcError());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST(WindowLayer, AFailingNestedDialogLeavesTheOuterOneRunning)
{
    ProbeDlg dlg;
    std::vector<DialogEvent> events;
    std::string notes;
    bool stillThere = false;
    const INT_PTR result = RunDialog(
        dlg,
        [&](DialogDriver& d) {
            Send(d.Dialog(), WM_NESTED);
            stillThere = IsWindow(d.Dialog()) && IsWindowEnabled(d.Dialog());
            d.Click(IDOK);
            DialogDriver::WaitUntil([&] { return !IsWindow(d.Dialog()); }, 20000);
        },
        &events, &notes);
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
