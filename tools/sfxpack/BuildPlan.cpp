#include "BuildPlan.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "HostText.h"
#include "archive/SfxLayout.h"
#include "archive/SfxNameCheck.h"

namespace fs = std::filesystem;

namespace sfxpack {

std::vector<PlannedEntry> CollectEntries(const fs::path& from, std::vector<PlanProblem>* problems)
{
    std::vector<PlannedEntry> entries;
    std::error_code ec;
    if (!fs::is_directory(from, ec)) {
        problems->push_back({Printable(from), "not a folder"});
        return entries;
    }
    fs::recursive_directory_iterator it(from, ec), end;
    if (ec) {
        problems->push_back({Printable(from), "cannot read the folder: " + ec.message()});
        return entries;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) {
            problems->push_back({Printable(from), "cannot read the folder: " + ec.message()});
            break;
        }
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        PlannedEntry entry;
        entry.source = it->path();
        const fs::path relative = fs::relative(it->path(), from, typeError);
        if (!GbkFromRelativePath(relative, &entry.installedName)) {
            problems->push_back({Printable(it->path()), "the name cannot be written in GBK (code page 936)"});
            continue;
        }
        entry.storedName = entry.installedName + SFX_NAME_SUFFIX;
        entry.size = it->file_size(typeError);
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const PlannedEntry& a, const PlannedEntry& b) { return a.storedName < b.storedName; });
    return entries;
}

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
    // Windows ignores letter case: two installed names that differ only in
    // case are one file, and a stored name equal to another entry's
    // installed name would be that file's temporary file.
    for (size_t i = 0; i < entries.size(); ++i) {
        const CString stored(entries[i].storedName.c_str());
        const CString installed(entries[i].installedName.c_str());
        for (size_t j = 0; j < entries.size(); ++j) {
            if (i == j)
                continue;
            const CString other(entries[j].installedName.c_str());
            if (SfxNamesEqualIgnoringCase(stored, other))
                problems->push_back({Printable(entries[i].source), "its packed name \"" + Utf8FromGbk(entries[i].storedName) +
                                                                       "\" is the installed name of " + Printable(entries[j].source)});
            if (i < j && SfxNamesEqualIgnoringCase(installed, other))
                problems->push_back({Printable(entries[i].source), "differs only in letter case from " + Printable(entries[j].source)});
        }
    }
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
