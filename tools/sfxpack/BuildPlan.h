// What `sfxpack build` will pack: every file below a folder, its stored
// name, and every reason an installer would refuse the result.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
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

// One thing met below a folder: its host path, its path relative to the
// folder, and what it is, links followed.
struct WalkItem {
    std::filesystem::path path;
    std::filesystem::path relative;
    bool isLink = false;
    std::filesystem::file_type type = std::filesystem::file_type::none;  // not_found: a link to nothing
    std::error_code error;  // why the type could not be read, if so
};

// Visits everything below folder; descends into each real folder (never
// through a link) for which visit returns true. A folder that cannot be
// read, at any depth, is a problem naming that folder: every one is
// recorded, the rest of the walk goes on, and the result is false.
bool WalkFolder(const std::filesystem::path& folder, const std::function<bool(const WalkItem&)>& visit,
                std::vector<PlanProblem>* problems);

// Why an item cannot be packed, or "" for a regular file (also through a
// link): a link to a folder, to nothing or in a loop, a device, pipe or
// socket, or a file whose type cannot be read.
std::string UnpackableReason(const WalkItem& item);

// Collects the files below `from` in a fixed order (by stored name bytes),
// recording what cannot be packed: names without a GBK form, files that
// cannot be opened, links to nothing or to folders, devices and pipes.
std::vector<PlannedEntry> CollectEntries(const std::filesystem::path& from, std::vector<PlanProblem>* problems);

// Checks the limits of the layout over the whole set, and the names that
// Windows would store under another name than the one packed.
void CheckEntries(const std::filesystem::path& from, const std::vector<PlannedEntry>& entries,
                  std::vector<PlanProblem>* problems);

// The name as Windows compares names: letter case ignored, for the ASCII
// letters and for the full-width Latin, Greek and Cyrillic letters and the
// Roman numerals that GBK holds in both cases.
std::string WindowsCaseKey(const std::string& gbk);

// An installation folder as the installer would prefix it to the names.
struct InstallFolder {
    std::string gbk;    // its bytes, as the installer holds it
    std::string shown;  // UTF-8, for messages
};

// The longer of the two folders the installer proposes: the timestamped
// new folder ("c:\Ithra通讯" and eight digits) and the default one
// ("c:\Orvex通讯").
InstallFolder LongestProposedFolder();

// The folder a user names with --max-path-folder; false when it has no GBK
// form.
bool InstallFolderFromUtf8(const std::string& utf8, InstallFolder* folder);

// The installer makes folders only on the way to a file, so a folder with
// no file below it will not exist after installation. Adds one warning per
// such folder, naming the outermost.
void CheckEmptyFolders(const std::filesystem::path& from, const std::vector<PlannedEntry>& entries,
                       std::vector<PlanProblem>* warnings);

// Windows paths hold at most 259 bytes before their terminator. Adds one
// warning per entry whose temporary file (folder, backslash, stored name)
// would reach 260 bytes, and a last one naming the longest such path.
void CheckPathLengths(const std::vector<PlannedEntry>& entries, const InstallFolder& folder,
                      std::vector<PlanProblem>* warnings);

// True when bytes start like a PE executable ("MZ", then "PE\0\0" where the
// DOS header points).
bool LooksLikePeExecutable(const std::string& bytes);

}  // namespace sfxpack
