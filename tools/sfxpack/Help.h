// The manual pages of sfxpack, one per subcommand, printed by --help.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace sfxpack {

// True when the words hold --help or -h.
bool WantsHelp(const std::vector<std::string>& argv);

// Prints the manual page of a subcommand (or of the tool, for "") on
// stdout and returns EXIT_OK; EXIT_USAGE for an unknown subcommand.
int ShowHelp(const std::string& command);

// The synopsis of a subcommand as one line, "usage: sfxpack ...".
std::string UsageLine(const std::string& command);

// The whole manual as a roff man page: the same pages --help prints.
void WriteManPage(std::FILE* out, const char* version);

// The overview of all subcommands.
const char* OverviewText();

}  // namespace sfxpack
