/* A DLL planted beside the setup under the name of a system DLL: when any
   process loads it, it leaves NAME.dll.mark beside itself, so a test sees
   which names were taken from the setup's folder. It exports nothing: on
   Windows a static import of it would stop the process from starting, and
   under Wine a missing export becomes a stub that fails only when called,
   after the mark is written. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        WCHAR path[MAX_PATH + 8];
        const DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
        if (n > 0 && n < MAX_PATH) {
            lstrcatW(path, L".mark");
            HANDLE mark = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (mark != INVALID_HANDLE_VALUE)
                CloseHandle(mark);
        }
    }
    return TRUE;
}
