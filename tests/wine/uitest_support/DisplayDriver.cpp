#include "DisplayDriver.h"

#include <windows.h>

void LoadDisplayDriverBeforeThreads()
{
    // A window made and destroyed, and the screen's DC: both go through the driver.
    if (HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr))
        DestroyWindow(window);
    if (HDC screen = GetDC(nullptr))
        ReleaseDC(nullptr, screen);
}
