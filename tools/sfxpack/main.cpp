// sfxpack: packs, lists, verifies and extracts Orvex installers.
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Help.h"
#include "Tool.h"
#include "framework/Mbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int Run(const std::vector<std::string>& args)
{
    if (args.empty()) {
        std::fputs(sfxpack::OverviewText(), stderr);
        return sfxpack::EXIT_USAGE;
    }
    if (args[0] == "--version") {
        std::printf("sfxpack %s\n", SFXPACK_VERSION);
        return sfxpack::EXIT_OK;
    }
    if (args[0] == "--manpage") {  // the build writes the installed man page with it
        sfxpack::WriteManPage(stdout, SFXPACK_VERSION);
        return sfxpack::EXIT_OK;
    }
    if (args[0] == "--help" || args[0] == "-h")
        return sfxpack::ShowHelp("");
    if (args[0] == "help")
        return sfxpack::ShowHelp(args.size() > 1 ? args[1] : "");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const std::string& command = args[0];
    if (command == "build") return sfxpack::RunBuild(rest);
    if (command == "list") return sfxpack::RunList(rest);
    if (command == "verify") return sfxpack::RunVerify(rest);
    if (command == "extract") return sfxpack::RunExtract(rest);
    if (command == "encode") return sfxpack::RunEncode(rest);
    if (command == "decode") return sfxpack::RunDecode(rest);
    if (command == "diff") return sfxpack::RunDiff(rest);
    sfxpack::Error("unknown command '" + command + "'");
    std::fputs(sfxpack::OverviewText(), stderr);
    return sfxpack::EXIT_USAGE;
}

}  // namespace

#ifdef _WIN32
// Wide arguments, so that every file name reaches the tool whole; they are
// carried as UTF-8 inside the tool.
int wmain(int argc, wchar_t** argv)
{
    AfxSetMultibyteCodePage(static_cast<int>(GetACP()));
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
    const int status = Run(args);
    std::fflush(stdout);
    std::fflush(stderr);
    if (consoleCodePage != 0)
        SetConsoleOutputCP(consoleCodePage);
    return status;
}
#else
int main(int argc, char** argv)
{
    // Stored names are GBK whatever the host's locale.
    AfxSetMultibyteCodePage(936);
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
