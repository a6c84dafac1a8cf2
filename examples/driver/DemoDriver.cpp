// Drives a running installer the way a person would, for the demo: answers
// the keep-data question (keep), looks at the folder picker and cancels it,
// presses the start button and waits for the countdown and the end. At
// each step it saves a picture of the window as DIR\NAME.bmp.
//
// It runs as its own process beside the installer and never waits on the
// installer's message loop: clicks are posted, texts are read with
// GetWindowText (which, across processes, reads the stored text without a
// message) and pictures are copied from the screen. Texts are read and
// printed in Unicode (UTF-8), so it drives the installer on any system code
// page (SFX_WINE_LANG).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "res/resource.h"

namespace {

const wchar_t kMainCaption[] = L"Orvex通讯管理系统安装提示";
const wchar_t kKeepCaption[] = L"版本更新特别提示";
const wchar_t kPickerCaption[] = L"Select Extraction Directory";
const wchar_t kCopying[] = L"正在拷贝 ";

std::wstring g_outDir;

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

bool SaveWindowPicture(HWND hwnd, const char* name)
{
    RECT r;
    if (!GetWindowRect(hwnd, &r))
        return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);

    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof bi;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    const DWORD stride = ((w * 3 + 3) / 4) * 4;
    std::string pixels(stride * h, '\0');
    GetDIBits(mem, bmp, 0, h, &pixels[0], reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER bf = {};
    bf.bfType = 0x4D42;
    bf.bfOffBits = sizeof bf + sizeof bi;
    bf.bfSize = bf.bfOffBits + static_cast<DWORD>(pixels.size());
    const std::wstring path = g_outDir + L"\\" + std::wstring(name, name + std::strlen(name)) + L".bmp";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    std::fwrite(&bf, sizeof bf, 1, f);
    std::fwrite(&bi, sizeof bi, 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
    std::printf("picture: %s\n", name);
    std::fflush(stdout);
    return true;
}

template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (condition())
            return true;
        Sleep(50);
    }
    return condition();
}

std::wstring Text(HWND hwnd)
{
    wchar_t buffer[1024] = L"";
    GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

// An edit box keeps its text to itself: ask it, but never wait long on a
// busy installer.
std::wstring EditText(HWND hwnd)
{
    wchar_t buffer[1024] = L"";
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &result);
    return buffer;
}

void Click(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))); }

int Fail(const char* what)
{
    std::printf("demo driver: %s\n", what);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Fail("usage: DemoDriver OUTDIR");
    g_outDir = argv[1];

    HWND keep = nullptr, main = nullptr;
    if (!WaitFor([&] {
            keep = FindWindowW(nullptr, kKeepCaption);
            main = FindWindowW(nullptr, kMainCaption);
            return (keep && IsWindowVisible(keep)) || (main && IsWindowVisible(main));
        }, 60000))
        return Fail("no installer window appeared");

    if (keep && IsWindowVisible(keep)) {
        Sleep(300);  // let it paint
        SaveWindowPicture(keep, "keep-data");
        std::printf("question: keep the user data\n");
        Click(keep, IDOK);
        if (!WaitFor([&] { return (main = FindWindowW(nullptr, kMainCaption)) != nullptr && IsWindowVisible(main); }, 30000))
            return Fail("the main dialog did not appear");
    }
    Sleep(300);
    SaveWindowPicture(main, "ready");
    std::printf("folder: %s\n", Utf8(EditText(GetDlgItem(main, IDC_DEST_PATH))).c_str());

    if (IsWindowEnabled(GetDlgItem(main, IDC_BROWSE))) {
        Click(main, IDC_BROWSE);
        HWND picker = nullptr;
        if (WaitFor([&] { return (picker = FindWindowW(nullptr, kPickerCaption)) != nullptr && IsWindowVisible(picker); }, 15000)) {
            Sleep(500);
            SaveWindowPicture(picker, "folder-picker");
            PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
            // The picker is modal: the main dialog takes clicks again once it is enabled.
            WaitFor([&] { return FindWindowW(nullptr, kPickerCaption) == nullptr && IsWindowEnabled(main); }, 10000);
            Sleep(200);
        } else {
            std::printf("demo driver: the folder picker did not open\n");
        }
    } else {
        std::printf("browse button disabled: installing over the earlier installation\n");
    }

    std::fflush(stdout);
    Click(main, IDC_START);
    HWND status = GetDlgItem(main, IDC_STATUS);
    HWND countdown = GetDlgItem(main, IDC_COUNTDOWN);
    // Catch the bar while it moves; a small payload may finish before that.
    // The picture is taken a moment after the status names a new entry, so
    // that the installer has painted it.
    std::wstring first;
    for (int waited = 0; waited < 30000 && Text(countdown).empty() && IsWindow(main); waited += 5) {
        const std::wstring copying = Text(status);
        if (copying.rfind(kCopying, 0) == 0) {
            if (first.empty()) {
                first = copying;
            } else if (copying != first) {
                Sleep(30);
                SaveWindowPicture(main, "extracting");
                std::printf("extracting: %s\n", Utf8(copying).c_str());
                break;
            }
        }
        Sleep(5);
    }
    const auto failed = [&] {
        const std::wstring text = Text(status);
        return text == L"Internal Error" || text == L"Archive contins no data";
    };
    if (!WaitFor([&] { return !Text(countdown).empty() || !IsWindow(main) || failed(); }, 600000))
        return Fail("the installation did not finish");
    if (failed()) {
        SaveWindowPicture(main, "failed");
        std::printf("status: %s\n", Utf8(Text(status)).c_str());
        PostMessageA(main, WM_CLOSE, 0, 0);
        return Fail("the installation failed");
    }
    if (!IsWindow(main))
        return Fail("the dialog closed before the countdown");
    SaveWindowPicture(main, "counting-down");
    std::printf("status: %s\n", Utf8(Text(status)).c_str());
    if (!WaitFor([&] { return !IsWindow(main); }, 20000))
        return Fail("the dialog did not close after the countdown");
    std::printf("the installer closed after starting the client\n");
    return 0;
}
