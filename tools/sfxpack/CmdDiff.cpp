// diff: what changed between two builds of an installer.
#include <cstdio>
#include <map>
#include <vector>

#include "Commands.h"
#include "Help.h"
#include "HostText.h"
#include "InstallerFile.h"
#include "Tool.h"
#include "archive/SfxLayout.h"
#include "archive/Sha256.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// An entry's decoded content as a digest and a length: two entries are
// compared without keeping either anywhere.
class HashSink : public EntrySink {
public:
    using EntrySink::EntrySink;
    CSha256::Digest Digest() { return m_hash.Finish(); }

protected:
    bool Take(const unsigned char* data, size_t size) override
    {
        m_hash.Update(data, size);
        return true;
    }

private:
    CSha256 m_hash;
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

// The program images hold the same bytes. The digests and the CheckSum of
// two setups built on one stub differ with their archives, so they are not
// counted as the program's.
bool SameImage(InstallerFile* a, InstallerFile* b)
{
    const uint64_t end = a->ImageEnd();
    if (end != b->ImageEnd())
        return false;
    const SfxDigestSection& da = a->Digests();
    const SfxDigestSection& db = b->Digests();
    std::vector<std::pair<uint64_t, uint64_t>> skipped;  // [from, to)
    if (da.state == SFX_DIGESTS_PRESENT && db.state == SFX_DIGESTS_PRESENT && da.offset == db.offset &&
        da.checksumAt == db.checksumAt && da.checksumAt >= 0 && da.checksumAt < da.offset &&
        static_cast<uint64_t>(da.offset) + SFX_DIGEST_SECTION_LENGTH <= end) {
        skipped.push_back({static_cast<uint64_t>(da.checksumAt), static_cast<uint64_t>(da.checksumAt) + 4});
        skipped.push_back({static_cast<uint64_t>(da.offset), static_cast<uint64_t>(da.offset) + SFX_DIGEST_SECTION_LENGTH});
    }
    skipped.push_back({end, end});
    uint64_t from = 0;
    for (const auto& [skipFrom, skipTo] : skipped) {
        if (!SameBytes(a->Stream(), from, b->Stream(), from, skipFrom - from))
            return false;
        from = skipTo;
    }
    return true;
}

enum class Change { SAME, PACKING_ONLY, CONTENT, UNREADABLE, INTERRUPTED };

Change Compare(InstallerFile* a, const ListedEntry& ea, InstallerFile* b, const ListedEntry& eb, DecodeProgress* progress)
{
    if (ea.packedSize == eb.packedSize && SameBytes(a->Stream(), ea.offset, b->Stream(), eb.offset, ea.packedSize))
        return Change::SAME;
    if (ea.unpackedSize != eb.unpackedSize)
        return Change::CONTENT;
    // Other packed bytes may still hold the same file (another encoder).
    HashSink ha(progress), hb(progress);
    const bool whole = a->Decode(ea, &ha) == CLzariCodec::STATUS_OK && b->Decode(eb, &hb) == CLzariCodec::STATUS_OK;
    if (ha.WasInterrupted() || hb.WasInterrupted())
        return Change::INTERRUPTED;
    if (!whole)
        return Change::UNREADABLE;
    return ha.BytesTaken() == hb.BytesTaken() && ha.Digest() == hb.Digest() ? Change::PACKING_ONLY : Change::CONTENT;
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
    const bool sameImage = SameImage(&a, &b);
    if (!sameImage)
        std::printf("program image differs (%lu -> %lu bytes)\n", static_cast<unsigned long>(a.ImageEnd()),
                    static_cast<unsigned long>(b.ImageEnd()));

    const auto inA = ByName(a.Entries());
    const auto inB = ByName(b.Entries());
    // At most both streams of each pair of the same length are decoded.
    InterruptGuard interruptible;
    ProgressLine line(StderrIsTerminal());
    DecodeProgress progress;
    progress.line = &line;
    for (const auto& [name, ea] : inA) {
        const auto found = inB.find(name);
        if (found != inB.end() && ea->unpackedSize == found->second->unpackedSize && ea->unpackedSize > 0) {
            ++progress.entriesTotal;
            progress.bytesTotal += 2 * static_cast<uint64_t>(ea->unpackedSize);
        }
    }
    for (const auto& [name, ea] : inA) {
        const auto found = inB.find(name);
        if (found == inB.end()) {
            std::printf("removed  %s\n", Shown(name).c_str());
            ++removed;
            continue;
        }
        const ListedEntry* eb = found->second;
        const Change change = Compare(&a, *ea, &b, *eb, &progress);
        if (ea->unpackedSize == eb->unpackedSize && ea->unpackedSize > 0)
            ++progress.entriesDone;
        line.Clear();
        switch (change) {
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
        case Change::INTERRUPTED:
            std::fflush(stdout);
            Error("interrupted");
            return InterruptExitCode();
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
