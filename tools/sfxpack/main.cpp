// sfxpack: packs, lists, verifies and extracts Orvex installers.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "Help.h"
#include "Tool.h"

namespace {

int RunCommand(const std::vector<std::string>& args)
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
        std::string date;
        if (!sfxpack::ManPageDate(&date)) {
            sfxpack::Error("SOURCE_DATE_EPOCH is not a number of seconds");
            return sfxpack::EXIT_USAGE;
        }
        sfxpack::WriteManPage(stdout, SFXPACK_VERSION, date);
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

// Standard output is checked once, after the command: a listing or a man
// page cut short by a full disk or a closed pipe must not pass as success,
// or a script (and the build, which writes the man page this way) takes it
// as whole.
int sfxpack::RunTool(const std::vector<std::string>& args)
{
    const int status = RunCommand(args);
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout))
        return status;
    const int error = errno;
    Error(std::string("standard output: cannot write") + (error ? std::string(": ") + std::strerror(error) : ""));
    // A failure the command reported already keeps its own status.
    return status == EXIT_OK ? EXIT_DATA : status;
}
