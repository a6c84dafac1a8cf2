// The manual of sfxpack: one page per subcommand, printed by --help, and
// the texts of the whole tool. The man page (ManPage.cpp) is made from the
// same texts, so that the two cannot drift apart.
//
// The layout both read: a section is a heading line without indent, then
// blocks of indented lines separated by blank lines. A block whose first
// line starts with '-' or holds "TAG  text" (two blanks) is a list: each
// line at the block's indent starts an item, deeper lines go on with it.
// Any other block is a paragraph, whose deeper lines are shown as typed
// (the commands of an example). A line added anywhere in these forms shows
// in the man page as it does in --help.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace sfxpack {

struct HelpPage {
    const char* command;
    const char* synopsis;  // one line, "sfxpack COMMAND ..."
    const char* body;      // sections: DESCRIPTION, OPTIONS, ...
};

struct Manual {
    const char* summary;      // what the tool does, in a few words
    const char* description;  // the DESCRIPTION section
    const char* commands;     // the COMMANDS section: one line per command
    const HelpPage* pages;
    size_t pageCount;
    const char* exitStatus;  // the EXIT STATUS section, shared by every page
    const char* examples;    // the EXAMPLES section
};
const Manual& TheManual();

// True when the words hold --help or -h.
bool WantsHelp(const std::vector<std::string>& argv);

// Prints the manual page of a subcommand (or of the tool, for "") on
// stdout and returns EXIT_OK; EXIT_USAGE for an unknown subcommand.
int ShowHelp(const std::string& command);

// The synopsis of a subcommand as one line, "usage: sfxpack ...".
std::string UsageLine(const std::string& command);

// The overview of the tool: what sfxpack --help prints.
const char* OverviewText();

// The whole manual as a roff man page dated DATE (YYYY-MM-DD).
void WriteManPage(std::FILE* out, const char* version, const std::string& date);

// The man page's date: the day of SOURCE_DATE_EPOCH when it is set (a
// build that sets it writes the same page every time), else today's.
// False when SOURCE_DATE_EPOCH is not a number of seconds.
bool ManPageDate(std::string* date);

}  // namespace sfxpack
