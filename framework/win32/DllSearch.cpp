// The DLL search policy of the shipped executables. It runs before the C
// runtime, so it calls kernel32 only and needs nothing constructed.
#include "DllSearch.h"

namespace {

// Not in the headers for the Windows versions this build targets.
const DWORD kLoadLibrarySearchSystem32 = 0x00000800;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryWFn)(LPCWSTR);

// DLLs that Windows' own components load by bare name while a setup or
// sfxpack runs. Loaded here first, from System32, a later request by name
// finds the loaded module and never searches the program's folder. This
// matters most where the search cannot be narrowed (Windows 7 without
// KB2533623) and covers components that ask for the program's folder
// explicitly. Each note says what the DLL serves; which component asks for
// it by name differs between Windows versions. comctl32 is not here: the
// window layer loads it itself, by its full path (Dialog.cpp).
const wchar_t* const kEarlyDlls[] = {
    L"uxtheme.dll",   // user32 and comctl32 draw themed frames and controls through it
    L"dwmapi.dll",    // uxtheme and user32 ask the desktop compositor about frames
    L"version.dll",   // the shell and the compatibility layer read version resources
    L"apphelp.dll",   // the compatibility layer, which the shell consults
    L"cryptbase.dll", // advapi32's random numbers on Windows 7 (COM's GUIDs, rand_s)
    L"userenv.dll",   // the shell finds the user's folders (the desktop) through it
    L"profapi.dll",   // userenv's profile helper
    L"propsys.dll",   // the shell's property system, behind the folder picker
    L"sspicli.dll",   // authentication for COM and for the user's name
    L"secur32.dll",   // the same, older entry points
    L"oleacc.dll",    // user32 and comctl32, when a screen reader is running
    L"msimg32.dll",   // image lists draw the folder picker's icons with it
    L"winmm.dll",     // system sounds
    L"riched20.dll",  // rich edit controls in the shell's dialogs
    L"wtsapi32.dll",  // session notifications of the shell
    L"netapi32.dll",  // network places in the folder picker
    L"shfolder.dll",  // older shell components' folder lookup
};

// How a DLL named by its full path gets its own imports: through the
// narrowed process search once it is in place; before that (and where it
// cannot be), from the DLL's own folder first, the altered search order.
DWORD g_fullPathLoadFlags = LOAD_WITH_ALTERED_SEARCH_PATH;

template <typename Fn> Fn KernelFunction(const char* name)
{
    // Through void (*)(): GetProcAddress's type says nothing of the real one.
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace

HMODULE SfxLoadSystemLibrary(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH + 32];
    const UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || ::lstrlenW(fileName) > 30)
        return nullptr;
    path[n] = L'\\';
    ::lstrcpyW(path + n + 1, fileName);
    return ::LoadLibraryExW(path, nullptr, g_fullPathLoadFlags);
}

void SfxNarrowDllSearch()
{
    // Every later search by name, the loader's for a DLL's imports
    // included, looks in System32 only: not in the program's folder, not in
    // the current folder, not on PATH. Windows 8 and later have it, and
    // Windows 7 with KB2533623.
    const SetDefaultDllDirectoriesFn setDefault =
        KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    if (setDefault && setDefault(kLoadLibrarySearchSystem32)) {
        g_fullPathLoadFlags = 0;
    } else {
        // Without it, at least the current folder leaves the search; the
        // program's folder stays first, which the early loads below cover.
        if (const SetDllDirectoryWFn setDllDirectory = KernelFunction<SetDllDirectoryWFn>("SetDllDirectoryW"))
            setDllDirectory(L"");
    }
    for (const wchar_t* name : kEarlyDlls)
        SfxLoadSystemLibrary(name);
}

// The C runtime's own entry points (crt2.o), which the linker would
// otherwise have made the executable's.
extern "C" int WinMainCRTStartup();
extern "C" int mainCRTStartup();

extern "C" int SfxGuiEntry()
{
    SfxNarrowDllSearch();
    return WinMainCRTStartup();
}

extern "C" int SfxConsoleEntry()
{
    SfxNarrowDllSearch();
    return mainCRTStartup();
}
