// verify: decode every entry with the installer's own reader and codec,
// writing nothing; with --against, compare each with its source file.
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <system_error>

#include "BuildPlan.h"
#include "Commands.h"
#include "Help.h"
#include "HostText.h"
#include "InstallerFile.h"
#include "Tool.h"
#include "archive/SfxLayout.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// The files of the folder that verify compares with, by the installed name
// each would have in a build, and what a build would refuse.
struct SourceFolder {
    std::map<std::string, fs::path> files;  // GBK installed name -> host path
    std::vector<PlanProblem> refused;
};

// False, with the folders that cannot be read, when the walk is not whole.
bool ReadSourceFolder(const fs::path& folder, SourceFolder* source, std::vector<PlanProblem>* problems)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        problems->push_back({Printable(folder), "not a folder"});
        return false;
    }
    return WalkFolder(folder, [source](const WalkItem& item) {
        if (item.type == fs::file_type::directory && !item.isLink)
            return true;
        std::string gbk;
        const std::string reason = UnpackableReason(item);
        if (!reason.empty())
            source->refused.push_back({Printable(item.path), reason});
        else if (!GbkFromRelativePath(item.relative, &gbk))
            source->refused.push_back({Printable(item.path), "the name cannot be written in GBK"});
        else
            source->files[gbk] = item.path;
        return false;
    }, problems);
}

// Compares decoded bytes with a file as they come, and stops at the first
// byte that differs.
class CompareSink : public EntrySink {
public:
    CompareSink(DecodeProgress* progress, FILE* source) : EntrySink(progress), m_source(source) {}
    bool Differs() const { return m_differs; }
    bool ReadFailed() const { return m_readFailed; }
    // After a whole decode: the file has no byte beyond those compared.
    bool SourceEnded() { return std::fgetc(m_source) == EOF && !std::ferror(m_source); }

protected:
    bool Take(const unsigned char* data, size_t size) override
    {
        while (size > 0) {
            const size_t n = size < sizeof m_buffer ? size : sizeof m_buffer;
            if (std::fread(m_buffer, 1, n, m_source) != n) {
                (std::ferror(m_source) ? m_readFailed : m_differs) = true;
                return false;
            }
            if (std::memcmp(m_buffer, data, n) != 0) {
                m_differs = true;
                return false;
            }
            data += n;
            size -= n;
        }
        return true;
    }

private:
    FILE* m_source;
    unsigned char m_buffer[1 << 14];
    bool m_differs = false;
    bool m_readFailed = false;
};

const char* DecodeFailureText(CLzariCodec::Status status)
{
    return status == CLzariCodec::STATUS_READ_ERROR ? "cannot read the installer"
                                                    : "the packed data does not decode whole (cut short or damaged)";
}

}  // namespace

int RunVerify(const std::vector<std::string>& argv)
{
    if (WantsHelp(argv))
        return ShowHelp("verify");
    Args args;
    if (!ParseArgs(argv, {"-v"}, {"--against"}, &args))
        return EXIT_USAGE;
    if (args.words.size() != 1) {
        Error(UsageLine("verify"));
        return EXIT_USAGE;
    }
    const fs::path setup = fs::u8path(args.words[0]);
    const bool against = args.Has("--against");
    const fs::path folder = fs::u8path(args.Value("--against"));

    // The folder is read whole before anything is compared: a part the walk
    // cannot read is the one failure reported.
    SourceFolder source;
    if (against) {
        std::vector<PlanProblem> problems;
        if (!ReadSourceFolder(folder, &source, &problems)) {
            for (const PlanProblem& p : problems)
                Error(p.file + ": " + p.message);
            return EXIT_DATA;
        }
    }
    InstallerFile installer;
    std::string error;
    if (!installer.Open(setup, &error)) {
        Error(error);
        return EXIT_DATA;
    }
    const std::vector<ListedEntry>& entries = installer.Entries();

    // What will be decoded. Alone, each distinct stream once: entries that
    // share a payload share its verdict. Against a folder, each entry whose
    // file has its length; another length is a difference found unread.
    struct Plan {
        const fs::path* file = nullptr;
        int64_t fileSize = -1;
        int firstOfStream = -1;
    };
    std::vector<Plan> plans(entries.size());
    std::map<std::pair<uint32_t, uint32_t>, int> streams;
    DecodeProgress progress;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ListedEntry& e = entries[i];
        const uint64_t unpacked = e.unpackedSize > 0 ? static_cast<uint64_t>(e.unpackedSize) : 0;
        if (against) {
            const std::string& stored = e.storedName;
            const auto found = source.files.find(stored.substr(0, stored.size() - SFX_NAME_SUFFIX_LENGTH));
            if (found == source.files.end())
                continue;
            plans[i].file = &found->second;
            std::error_code ec;
            const uintmax_t size = fs::file_size(found->second, ec);
            plans[i].fileSize = ec ? -1 : static_cast<int64_t>(size);
            if (plans[i].fileSize == e.unpackedSize) {
                ++progress.entriesTotal;
                progress.bytesTotal += unpacked;
            }
        } else {
            const auto [it, fresh] = streams.emplace(std::make_pair(e.offset, e.packedSize), static_cast<int>(i));
            plans[i].firstOfStream = it->second;
            if (fresh) {
                ++progress.entriesTotal;
                progress.bytesTotal += unpacked;
            }
        }
    }
    const uint64_t total = UnpackedTotal(entries);
    AnnounceIfLarge(setup, entries.size(), total,
                    !against && progress.bytesTotal < total
                        ? ", " + FormatBytes(progress.bytesTotal) + " of it in " +
                              std::to_string(progress.entriesTotal) + " distinct stream(s)"
                        : std::string());

    InterruptGuard interruptible;
    // The digests first: they find any changed byte behind the image, also
    // one that still decodes, and name the entry it belongs to.
    int badEntry = -1;
    const int digests = installer.CheckDigests(&badEntry);
    if (digests == SFX_ERR_CANCELLED) {
        Error("interrupted; nothing written");
        return InterruptExitCode();
    }
    if (digests != SFX_OK) {
        if (digests != SFX_ERR_DAMAGED)
            Error(Printable(setup) + ": cannot read the installer");
        else if (badEntry >= 0)
        {
            const std::string& stored = entries[static_cast<size_t>(badEntry)].storedName;
            Error(Printable(setup) + ": " + Utf8FromGbk(stored.substr(0, stored.size() - SFX_NAME_SUFFIX_LENGTH)) +
                  ": the packed bytes differ from their digest; the installer is damaged");
        }
        else if (installer.Digests().state == SFX_DIGESTS_DAMAGED)
            Error(Printable(setup) + ": the digest section is damaged");
        else
            Error(Printable(setup) + ": the directory differs from its digest; the installer is damaged");
        Error("1 problem(s)");
        return EXIT_DATA;
    }
    ProgressLine line(StderrIsTerminal());
    progress.line = &line;
    std::vector<CLzariCodec::Status> verdicts(entries.size(), CLzariCodec::STATUS_OK);
    std::set<std::string> matched;
    int problems = 0;
    const auto report = [&](const std::string& message) {
        line.Clear();
        Error(message);
        ++problems;
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        const ListedEntry& e = entries[i];
        const std::string& stored = e.storedName;
        const std::string installed = stored.substr(0, stored.size() - SFX_NAME_SUFFIX_LENGTH);
        const std::string shown = Printable(setup) + ": " + Utf8FromGbk(installed);
        bool interrupted = false;
        if (against) {
            const Plan& plan = plans[i];
            if (!plan.file) {
                report(Utf8FromGbk(installed) + ": not in " + Printable(folder));
                continue;
            }
            matched.insert(installed);
            const std::string file = Printable(*plan.file);
            errno = 0;
            FILE* in = plan.fileSize == e.unpackedSize ? OpenHostFile(*plan.file, "rb") : nullptr;
            if (plan.fileSize < 0 || (plan.fileSize == e.unpackedSize && !in)) {
                report(file + ": cannot read: " + std::strerror(errno ? errno : EIO));
            } else if (plan.fileSize != e.unpackedSize) {
                report(Utf8FromGbk(installed) + ": differs from " + file + " (" + std::to_string(e.unpackedSize) +
                       " bytes in the installer, " + std::to_string(plan.fileSize) + " in the folder)");
            } else {
                CompareSink sink(&progress, in);
                const CLzariCodec::Status status = installer.Decode(e, &sink);
                interrupted = sink.WasInterrupted();
                if (interrupted)
                    ;
                else if (sink.ReadFailed())
                    report(file + ": cannot read: " + std::strerror(EIO));
                else if (sink.Differs() || (status == CLzariCodec::STATUS_OK && !sink.SourceEnded()))
                    report(Utf8FromGbk(installed) + ": differs from " + file);
                else if (status != CLzariCodec::STATUS_OK)
                    report(shown + ": " + DecodeFailureText(status));
                ++progress.entriesDone;
            }
            if (in)
                std::fclose(in);
        } else if (plans[i].firstOfStream == static_cast<int>(i)) {
            EntrySink sink(&progress);
            verdicts[i] = installer.Decode(e, &sink);
            interrupted = sink.WasInterrupted();
            ++progress.entriesDone;
        } else {
            verdicts[i] = verdicts[static_cast<size_t>(plans[i].firstOfStream)];
        }
        if (interrupted) {
            line.Clear();
            Error("interrupted; nothing written");
            return InterruptExitCode();
        }
        if (!against && verdicts[i] != CLzariCodec::STATUS_OK)
            report(shown + ": " + DecodeFailureText(verdicts[i]));
        if (args.Has("-v")) {
            line.Clear();
            std::printf("%4zu/%zu  %s\n", i + 1, entries.size(), Utf8FromGbk(stored).c_str());
            std::fflush(stdout);
        }
    }
    line.Clear();
    // Every file of the folder must be in the installer.
    for (const auto& [installed, path] : source.files)
        if (!matched.count(installed))
            report(Printable(path) + ": not in the installer");
    for (const PlanProblem& p : source.refused)
        report(p.file + ": not in the installer (" + p.message + ")");
    if (problems) {
        Error(std::to_string(problems) + " problem(s)");
        return EXIT_DATA;
    }
    std::printf("%s: %zu entries decode whole%s\n", Printable(setup).c_str(), entries.size(), against ? " and match" : "");
    if (installer.Digests().state == SFX_DIGESTS_PRESENT)
        std::printf("digests of the %zu entries and of the directory match\n", entries.size());
    else
        std::printf("no digests\n");
    std::printf("%s\n", SignatureText(installer.CertificateTableSize()).c_str());
    return EXIT_OK;
}

}  // namespace sfxpack
