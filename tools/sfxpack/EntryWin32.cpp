// The Windows entry point: wide arguments, so that every file name reaches
// the tool whole; they are carried as UTF-8 inside the tool.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "framework/Mbcs.h"

int wmain(int argc, wchar_t** argv)
{
    // The engine's text is code page 936 on every system, as the installer's.
    AfxSetMultibyteCodePage(936);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(n > 0 ? static_cast<size_t>(n - 1) : 0, '\0');
        if (n > 1)
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, &s[0], n, nullptr, nullptr);
        args.push_back(s);
    }
    // Everything the tool prints is UTF-8; a console shows it as such while
    // the tool runs.
    const UINT consoleCodePage = GetConsoleOutputCP();
    if (consoleCodePage != 0)
        SetConsoleOutputCP(CP_UTF8);
    const int status = sfxpack::RunTool(args);
    std::fflush(stdout);
    std::fflush(stderr);
    if (consoleCodePage != 0)
        SetConsoleOutputCP(consoleCodePage);
    return status;
}
