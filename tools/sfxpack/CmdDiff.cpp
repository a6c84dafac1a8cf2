// diff: what changed between two builds of an installer.
#include <cstdio>
#include <map>
#include <system_error>

#include "Commands.h"
#include "Help.h"
#include "HostText.h"
#include "InstallerFile.h"
#include "Tool.h"
#include "archive/SfxLayout.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// A file in the temporary folder that is removed with the object.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& tag)
    {
#ifdef _WIN32
        const unsigned long pid = static_cast<unsigned long>(_getpid());
#else
        const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
        std::error_code ec;
        m_path = fs::temp_directory_path(ec) / ("sfxpack-diff-" + std::to_string(pid) + "-" + tag + ".tmp");
        m_stream = OpenHostFile(m_path, "w+b");
    }
    ~ScratchFile()
    {
        if (m_stream)
            std::fclose(m_stream);
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    FILE* Stream() { return m_stream; }
    uint64_t Size()
    {
        std::fflush(m_stream);
        std::error_code ec;
        const auto size = fs::file_size(m_path, ec);
        return ec ? 0 : size;
    }

private:
    fs::path m_path;
    FILE* m_stream = nullptr;
};

// Entries by stored name. Should one installer hold a name twice, the
// lowest entry number wins: it is unpacked last and so stays on disk.
std::map<std::string, const ListedEntry*> ByName(const std::vector<ListedEntry>& entries)
{
    std::map<std::string, const ListedEntry*> byName;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        byName[it->storedName] = &*it;
    return byName;
}

std::string Shown(const std::string& storedName)
{
    return Utf8FromGbk(storedName.substr(0, storedName.size() - SFX_NAME_SUFFIX_LENGTH));
}

enum class Change { SAME, PACKING_ONLY, CONTENT, UNREADABLE };

Change Compare(InstallerFile* a, const ListedEntry& ea, InstallerFile* b, const ListedEntry& eb)
{
    if (ea.packedSize == eb.packedSize && SameBytes(a->Stream(), ea.offset, b->Stream(), eb.offset, ea.packedSize))
        return Change::SAME;
    if (ea.unpackedSize != eb.unpackedSize)
        return Change::CONTENT;
    // Other packed bytes may still hold the same file (another encoder).
    ScratchFile da("a"), db("b");
    if (!da.Stream() || !db.Stream() || !a->Decode(ea, da.Stream()) || !b->Decode(eb, db.Stream()))
        return Change::UNREADABLE;
    const uint64_t size = da.Size();
    return size == db.Size() && SameBytes(da.Stream(), 0, db.Stream(), 0, size) ? Change::PACKING_ONLY : Change::CONTENT;
}

}  // namespace

int RunDiff(const std::vector<std::string>& argv)
{
    if (WantsHelp(argv))
        return ShowHelp("diff");
    Args args;
    if (!ParseArgs(argv, {}, {}, &args))
        return EXIT_USAGE;
    if (args.words.size() != 2) {
        Error(UsageLine("diff"));
        return EXIT_USAGE;
    }
    InstallerFile a, b;
    std::string error;
    if (!a.Open(fs::u8path(args.words[0]), &error) || !b.Open(fs::u8path(args.words[1]), &error)) {
        Error(error);
        return EXIT_DATA;
    }
    int added = 0, removed = 0, changed = 0;
    const bool sameImage = a.ImageEnd() == b.ImageEnd() && SameBytes(a.Stream(), 0, b.Stream(), 0, a.ImageEnd());
    if (!sameImage)
        std::printf("program image differs (%lu -> %lu bytes)\n", static_cast<unsigned long>(a.ImageEnd()),
                    static_cast<unsigned long>(b.ImageEnd()));

    const auto inA = ByName(a.Entries());
    const auto inB = ByName(b.Entries());
    for (const auto& [name, ea] : inA) {
        const auto found = inB.find(name);
        if (found == inB.end()) {
            std::printf("removed  %s\n", Shown(name).c_str());
            ++removed;
            continue;
        }
        const ListedEntry* eb = found->second;
        switch (Compare(&a, *ea, &b, *eb)) {
        case Change::SAME:
            break;
        case Change::PACKING_ONLY:
            std::printf("changed  %s: packed bytes only, same content\n", Shown(name).c_str());
            ++changed;
            break;
        case Change::CONTENT:
            std::printf("changed  %s: content (%lld -> %lld bytes)\n", Shown(name).c_str(),
                        static_cast<long long>(ea->unpackedSize), static_cast<long long>(eb->unpackedSize));
            ++changed;
            break;
        case Change::UNREADABLE:
            std::printf("changed  %s: packed bytes, and a stream does not decode\n", Shown(name).c_str());
            ++changed;
            break;
        }
    }
    for (const auto& [name, eb] : inB) {
        if (!inA.count(name)) {
            std::printf("added    %s (%lld bytes)\n", Shown(name).c_str(), static_cast<long long>(eb->unpackedSize));
            ++added;
        }
    }
    const bool same = sameImage && added == 0 && removed == 0 && changed == 0;
    std::printf("%d added, %d removed, %d changed%s\n", added, removed, changed,
                same ? "; the installers are the same" : (sameImage ? "" : "; the program image differs"));
    std::fflush(stdout);
    return same ? EXIT_OK : EXIT_DATA;
}

}  // namespace sfxpack
