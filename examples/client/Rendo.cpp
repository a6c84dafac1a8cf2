// Rendo.exe: a stand-in for the messaging client that the installer puts in
// place and starts at the end. It proves that it ran, and how: it writes
// "rendo-started.txt" beside itself (its own path on the first line, its
// command line on the second, the folder it was started in on the third,
// each in UTF-8, so that a folder any code page lacks, Hangul on a Chinese
// Windows, comes out whole), then shows a small window titled with the
// product name for three seconds and exits. It calls only the wide
// functions, so it runs the same whatever the system's code page.
//
// With the environment variable SFX_RENDO_NO_WINDOW set to 1 it writes the
// file and exits at once, so that test runs stay quiet.
#include <windows.h>

#include <string>

namespace {

const wchar_t* const kTitle = L"Orvex 高级通讯管理";
const wchar_t* const kMessage = L"Orvex 已启动。本窗口三秒后自动关闭。";
const wchar_t* const kMarkerName = L"rendo-started.txt";
const UINT_PTR kCloseTimer = 1;
const UINT kShowMilliseconds = 3000;

std::string Utf8(const wchar_t* text, int length)
{
    std::string out;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n > 0) {
        out.resize(n);
        WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
    }
    return out;
}

bool WriteMarker()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    wchar_t current[MAX_PATH];
    const DWORD currentLength = GetCurrentDirectoryW(MAX_PATH, current);
    if (currentLength == 0 || currentLength >= MAX_PATH)
        return false;
    const wchar_t* commandLine = GetCommandLineW();
    const std::string text = Utf8(path, static_cast<int>(n)) + "\r\n" + Utf8(commandLine, lstrlenW(commandLine)) +
                             "\r\n" + Utf8(current, static_cast<int>(currentLength)) + "\r\n";
    std::wstring marker(path, n);
    marker.replace(marker.rfind(L'\\') + 1, std::wstring::npos, kMarkerName);

    HANDLE h = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    ok = CloseHandle(h) && ok;
    return ok;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        CreateWindowExW(0, L"STATIC", kMessage, WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 25, 340, 40, hWnd, nullptr,
                        nullptr, nullptr);
        SetTimer(hWnd, kCloseTimer, kShowMilliseconds, nullptr);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kCloseTimer) {
            KillTimer(hWnd, kCloseTimer);
            DestroyWindow(hWnd);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
}

bool WindowWanted()
{
    wchar_t value[8];
    const DWORD n = GetEnvironmentVariableW(L"SFX_RENDO_NO_WINDOW", value, 8);
    return !(n == 1 && value[0] == L'1');
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow)
{
    const bool written = WriteMarker();
    if (!WindowWanted())
        return written ? 0 : 1;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"OrvexRendoSample";
    if (!RegisterClassW(&wc))
        return 1;
    HWND hWnd = CreateWindowExW(0, wc.lpszClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, 380, 120, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    ShowWindow(hWnd, nCmdShow);
    UpdateWindow(hWnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return written ? 0 : 1;
}
