// Rendo.exe: a stand-in for the messaging client that the installer puts in
// place and starts at the end. It proves that it ran, and how: it writes
// "rendo-started.txt" beside itself (its own path on the first line, its
// command line on the second, the folder it was started in on the third),
// then shows a small window titled with the product name for three seconds
// and exits.
//
// With the environment variable SFX_RENDO_NO_WINDOW set to 1 it writes the
// file and exits at once, so that test runs stay quiet.
#include <windows.h>

#include <cstring>

namespace {

const char* const kTitle = "Orvex 高级通讯管理";
const char* const kMessage = "Orvex 已启动。本窗口三秒后自动关闭。";
const char* const kMarkerName = "rendo-started.txt";
const UINT_PTR kCloseTimer = 1;
const UINT kShowMilliseconds = 3000;

bool WriteMarker()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    char marker[MAX_PATH + 32];
    lstrcpynA(marker, path, MAX_PATH);
    // Cut after the last backslash, stepping over double-byte characters so
    // that a 0x5C second byte is not taken for a separator.
    char* cut = marker;
    for (char* p = marker; *p; p = CharNextA(p)) {
        if (*p == '\\')
            cut = p + 1;
    }
    lstrcpyA(cut, kMarkerName);

    HANDLE h = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const char* commandLine = GetCommandLineA();
    char current[MAX_PATH] = "";
    const DWORD currentLength = GetCurrentDirectoryA(MAX_PATH, current);
    DWORD written = 0;
    bool ok = currentLength > 0 && currentLength < MAX_PATH && WriteFile(h, path, n, &written, nullptr) &&
              WriteFile(h, "\r\n", 2, &written, nullptr) &&
              WriteFile(h, commandLine, static_cast<DWORD>(std::strlen(commandLine)), &written, nullptr) &&
              WriteFile(h, "\r\n", 2, &written, nullptr) && WriteFile(h, current, currentLength, &written, nullptr) &&
              WriteFile(h, "\r\n", 2, &written, nullptr);
    ok = CloseHandle(h) && ok;
    return ok;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        CreateWindowExA(0, "STATIC", kMessage, WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 25, 340, 40, hWnd, nullptr,
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
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

bool WindowWanted()
{
    char value[8];
    const DWORD n = GetEnvironmentVariableA("SFX_RENDO_NO_WINDOW", value, sizeof value);
    return !(n == 1 && value[0] == '1');
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow)
{
    const bool written = WriteMarker();
    if (!WindowWanted())
        return written ? 0 : 1;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "OrvexRendoSample";
    if (!RegisterClassA(&wc))
        return 1;
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, 380, 120, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    ShowWindow(hWnd, nCmdShow);
    UpdateWindow(hWnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return written ? 0 : 1;
}
