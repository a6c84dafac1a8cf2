// What `sfxpack build` will pack: every file below a folder, its stored
// name, and every reason an installer would refuse the result.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sfxpack {

struct PlannedEntry {
    std::filesystem::path source;  // host path of the file
    std::string installedName;     // GBK, backslashes, relative to the installation folder
    std::string storedName;        // installedName + ".zup"
    uint64_t size = 0;
};

struct PlanProblem {
    std::string file;     // the file (or folder) it concerns, printable
    std::string message;
};

// Collects the files below `from` in a fixed order (by stored name bytes),
// recording what cannot be packed.
std::vector<PlannedEntry> CollectEntries(const std::filesystem::path& from, std::vector<PlanProblem>* problems);

// Checks the limits of the layout over the whole set.
void CheckEntries(const std::filesystem::path& from, const std::vector<PlannedEntry>& entries,
                  std::vector<PlanProblem>* problems);

// True when bytes start like a PE executable ("MZ", then "PE\0\0" where the
// DOS header points).
bool LooksLikePeExecutable(const std::string& bytes);

}  // namespace sfxpack
