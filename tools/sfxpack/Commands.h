// The sfxpack subcommands. Each takes the words after its name and returns
// the process exit code (see ExitCode in Tool.h).
#pragma once
#include <string>
#include <vector>

namespace sfxpack {

// The whole tool: the words after the program's name; the exit code.
int RunTool(const std::vector<std::string>& argv);

int RunEncode(const std::vector<std::string>& argv);
int RunDecode(const std::vector<std::string>& argv);
int RunBuild(const std::vector<std::string>& argv);
int RunList(const std::vector<std::string>& argv);
int RunExtract(const std::vector<std::string>& argv);
int RunVerify(const std::vector<std::string>& argv);
int RunDiff(const std::vector<std::string>& argv);

}  // namespace sfxpack
