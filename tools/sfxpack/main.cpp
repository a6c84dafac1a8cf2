// sfxpack: packs, lists, verifies and extracts Orvex installers.
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "Help.h"
#include "Tool.h"

int sfxpack::RunTool(const std::vector<std::string>& args)
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
