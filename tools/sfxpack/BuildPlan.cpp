#include "BuildPlan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <system_error>

#include "HostText.h"
#include "archive/SfxLayout.h"
#include "archive/SfxNameCheck.h"

namespace fs = std::filesystem;

namespace sfxpack {

bool WalkFolder(const fs::path& folder, const std::function<bool(const WalkItem&)>& visit,
                std::vector<PlanProblem>* problems)
{
    // Folder by folder rather than with the recursive iterator, which ends
    // on an error of a subfolder as if the walk were complete, and so that
    // each problem names the folder that could not be read.
    bool whole = true;
    std::vector<std::pair<fs::path, fs::path>> pending{{folder, fs::path()}};
    while (!pending.empty()) {
        const auto [path, relative] = pending.back();
        pending.pop_back();
        std::error_code ec;
        fs::directory_iterator it(path, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            WalkItem item;
            item.path = it->path();
            item.relative = relative / it->path().filename();
            std::error_code linkError;
            item.isLink = it->is_symlink(linkError);
            const fs::file_status target = it->status(item.error);
            item.type = target.type();
            if (visit(item) && !item.isLink && item.type == fs::file_type::directory)
                pending.push_back({item.path, item.relative});
        }
        if (ec) {
            problems->push_back({Printable(path), "cannot read the folder: " + ec.message()});
            whole = false;
        }
    }
    return whole;
}

std::string UnpackableReason(const WalkItem& item)
{
    switch (item.type) {
    case fs::file_type::regular:
        return std::string();
    case fs::file_type::directory:
        // The walk does not follow it; its files would silently be missing.
        return item.isLink ? "a link to a folder; pack the folder itself" : "a folder";
    case fs::file_type::not_found:
        return "a link to nothing";
    case fs::file_type::none:
    case fs::file_type::unknown:
        if (item.error == std::errc::too_many_symbolic_link_levels)
            return "a link in a loop of links";
        return "cannot read: " + item.error.message();
    default:
        return "not a regular file (a device, pipe or socket)";
    }
}

std::vector<PlannedEntry> CollectEntries(const fs::path& from, std::vector<PlanProblem>* problems)
{
    std::vector<PlannedEntry> entries;
    std::error_code ec;
    if (!fs::is_directory(from, ec)) {
        problems->push_back({Printable(from), "not a folder"});
        return entries;
    }
    std::vector<PlanProblem> found;
    const bool whole = WalkFolder(from, [&](const WalkItem& item) {
        if (item.type == fs::file_type::directory && !item.isLink)
            return true;
        const std::string reason = UnpackableReason(item);
        if (!reason.empty()) {
            found.push_back({Printable(item.path), reason});
            return false;
        }
        // A link to a file is packed as that file, under the link's own name.
        PlannedEntry entry;
        entry.source = item.path;
        if (!GbkFromRelativePath(item.relative, &entry.installedName)) {
            found.push_back({Printable(item.path), "the name cannot be written in GBK (code page 936)"});
            return false;
        }
        entry.storedName = entry.installedName + SFX_NAME_SUFFIX;
        std::error_code sizeError;
        entry.size = fs::file_size(item.path, sizeError);
        // Found now rather than half-way through the packing.
        errno = 0;
        if (FILE* probe = OpenHostFile(entry.source, "rb")) {
            std::fclose(probe);
        } else {
            found.push_back({Printable(item.path), std::string("cannot open for reading: ") + std::strerror(errno)});
            return false;
        }
        if (entry.size >= static_cast<uint64_t>(SFX_MAX_FILE_SIZE)) {
            found.push_back({Printable(item.path), "2 GiB or more; a whole installer stays below 2 GiB"});
            return false;
        }
        entries.push_back(entry);
        return false;
    }, &found);
    problems->insert(problems->end(), found.begin(), found.end());
    // Whatever the walk missed would silently be missing from the installer.
    if (!whole)
        entries.clear();
    std::sort(entries.begin(), entries.end(),
              [](const PlannedEntry& a, const PlannedEntry& b) { return a.storedName < b.storedName; });
    return entries;
}

namespace {

bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The components of a GBK name split at backslashes; the second byte of a
// double-byte character (such as 0x5C in "誠") is never a separator.
std::vector<std::string> GbkComponents(const std::string& name)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsGbkLeadByte(c) && i + 1 < name.size()) {
            parts.back() += name.substr(i, 2);
            ++i;
        } else if (c == '\\') {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(c);
        }
    }
    return parts;
}

}  // namespace

std::string WindowsCaseKey(const std::string& gbk) { return SfxWindowsCaseKey(gbk); }

void CheckEntries(const fs::path& from, const std::vector<PlannedEntry>& entries, std::vector<PlanProblem>* problems)
{
    if (entries.empty() && problems->empty())
        problems->push_back({Printable(from), "no files to pack"});
    if (entries.size() > static_cast<size_t>(SFX_MAX_ENTRIES))
        problems->push_back({Printable(from), std::to_string(entries.size()) + " files; an installer holds at most " +
                                                  std::to_string(SFX_MAX_ENTRIES)});
    for (const PlannedEntry& entry : entries) {
        const SfxNameProblem problem =
            SfxCheckStoredName(entry.storedName.data(), static_cast<int>(entry.storedName.size()));
        if (problem != SFX_NAME_OK)
            problems->push_back({Printable(entry.source), SfxNameProblemText(problem)});
    }
    // Windows drops a trailing dot or blank from a name, so "notes." would
    // be installed as "notes", and could meet another entry there.
    for (const PlannedEntry& entry : entries) {
        for (const std::string& part : GbkComponents(entry.installedName)) {
            if (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
                problems->push_back({Printable(entry.source), "the name part \"" + Utf8FromGbk(part) +
                                                                  "\" ends in a dot or a blank, which Windows drops"});
                break;
            }
        }
    }
    // Windows ignores letter case: two installed names that differ only in
    // case are one file, and a stored name equal to another entry's
    // installed name would be that file's temporary file.
    std::map<std::string, size_t> installedKeys;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto [first, fresh] = installedKeys.emplace(WindowsCaseKey(entries[i].installedName), i);
        if (!fresh)
            problems->push_back({Printable(entries[first->second].source),
                                 "differs only in letter case from " + Printable(entries[i].source)});
    }
    for (const PlannedEntry& entry : entries) {
        const auto clash = installedKeys.find(WindowsCaseKey(entry.storedName));
        if (clash != installedKeys.end())
            problems->push_back({Printable(entry.source), "its packed name \"" + Utf8FromGbk(entry.storedName) +
                                                              "\" is the installed name of " +
                                                              Printable(entries[clash->second].source)});
    }
}

void CheckEmptyFolders(const fs::path& from, const std::vector<PlannedEntry>& entries, std::vector<PlanProblem>* warnings)
{
    std::set<fs::path> holding;  // folders with a file below them
    for (const PlannedEntry& entry : entries)
        for (fs::path p = entry.source.parent_path(); p.has_relative_path() && p != from && holding.insert(p).second;)
            p = p.parent_path();
    // A folder the walk cannot read has already refused the build.
    std::vector<PlanProblem> unread;
    WalkFolder(from, [&](const WalkItem& item) {
        if (item.isLink || item.type != fs::file_type::directory)
            return false;
        if (holding.count(item.path))
            return true;
        warnings->push_back({Printable(item.path), "holds no file; the installer will not create it"});
        return false;
    }, &unread);
}

InstallFolder LongestProposedFolder()
{
    // The new folder ends in the local time as "%m%d%H%M": eight digits,
    // shown here by what they stand for.
    const char* const kProposed[] = {u8"c:\\Ithra通讯MMDDhhmm", u8"c:\\Orvex通讯"};
    InstallFolder longest;
    for (const char* utf8 : kProposed) {
        InstallFolder folder;
        if (InstallFolderFromUtf8(utf8, &folder) && folder.gbk.size() > longest.gbk.size())
            longest = folder;
    }
    return longest;
}

bool InstallFolderFromUtf8(const std::string& utf8, InstallFolder* folder)
{
    if (!GbkFromUtf8(utf8, &folder->gbk))
        return false;
    folder->shown = utf8;
    return true;
}

void CheckPathLengths(const std::vector<PlannedEntry>& entries, const InstallFolder& folder,
                      std::vector<PlanProblem>* warnings)
{
    // The installer adds a backslash unless the folder's last byte is one.
    std::string prefix = folder.gbk;
    std::string shownPrefix = folder.shown;
    if (prefix.empty() || prefix.back() != '\\') {
        prefix += '\\';
        shownPrefix += '\\';
    }
    const size_t kMaxPath = 260;  // bytes, the terminator included
    const PlannedEntry* longest = nullptr;
    for (const PlannedEntry& entry : entries) {
        const size_t length = prefix.size() + entry.storedName.size();
        if (length < kMaxPath)
            continue;
        warnings->push_back({Printable(entry.source), "installed below " + folder.shown + " its temporary file takes " +
                                                          std::to_string(length) + " bytes; Windows paths stop at " +
                                                          std::to_string(kMaxPath - 1)});
        if (!longest || entry.storedName.size() > longest->storedName.size())
            longest = &entry;
    }
    if (longest)
        warnings->push_back({Printable(longest->source),
                             "longest path: " + shownPrefix + Utf8FromGbk(longest->storedName) + " (" +
                                 std::to_string(prefix.size() + longest->storedName.size()) + " bytes)"});
}

bool LooksLikePeExecutable(const std::string& bytes)
{
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z')
        return false;
    uint32_t peOffset = 0;
    for (int i = 0; i < 4; ++i)
        peOffset |= uint32_t(static_cast<unsigned char>(bytes[0x3C + i])) << (8 * i);
    return peOffset <= bytes.size() - 4 && std::memcmp(bytes.data() + peOffset, "PE\0\0", 4) == 0;
}

}  // namespace sfxpack
