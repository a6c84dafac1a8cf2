// sfxpack: packs, lists, verifies and extracts Orvex installers.
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Tool.h"
#include "framework/Mbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char kUsage[] =
    "usage: sfxpack COMMAND ...\n"
    "\n"
    "  build --stub STUB --from DIR -o OUT   append the archive of DIR to a copy of STUB\n"
    "  list SETUP                            show the entries of an installer\n"
    "  verify SETUP [--against DIR]          decode every entry (and compare with DIR)\n"
    "  extract SETUP DEST [--keep-data]      unpack as the installer would\n"
    "  encode IN OUT                         pack one file into a raw LZARI stream\n"
    "  decode IN OUT                         unpack one raw LZARI stream\n"
    "\n"
    "exit status: 0 success, 1 a failure of the data, 2 a usage error\n";

int Run(const std::vector<std::string>& args)
{
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? sfxpack::EXIT_USAGE : sfxpack::EXIT_OK;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const std::string& command = args[0];
    if (command == "build") return sfxpack::RunBuild(rest);
    if (command == "list") return sfxpack::RunList(rest);
    if (command == "verify") return sfxpack::RunVerify(rest);
    if (command == "extract") return sfxpack::RunExtract(rest);
    if (command == "encode") return sfxpack::RunEncode(rest);
    if (command == "decode") return sfxpack::RunDecode(rest);
    sfxpack::Error("unknown command '" + command + "'");
    std::fputs(kUsage, stderr);
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
    return Run(args);
}
#else
int main(int argc, char** argv)
{
    // Stored names are GBK whatever the host's locale.
    AfxSetMultibyteCodePage(936);
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
