// build: a copy of the stub with the archive of a folder appended.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "BuildPlan.h"
#include "Commands.h"
#include "Help.h"
#include "Host.h"
#include "HostText.h"
#include "PackEntries.h"
#include "Tool.h"
#include "archive/SfxArchiveWriter.h"
#include "archive/SfxDigest.h"
#include "archive/SfxLayout.h"
#include "archive/SfxSignature.h"


namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// True when path lies below folder (after resolving links and "..").
bool IsInside(const fs::path& path, const fs::path& folder)
{
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    const fs::path f = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec)
        return false;
    const fs::path relative = p.lexically_relative(f);
    return !relative.empty() && *relative.begin() != "..";
}

// -j N: 1 to 256 threads (more than the entries are never started).
bool ParseThreadCount(const std::string& text, unsigned* threads)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long n = std::strtoul(text.c_str(), nullptr, 10);
    if (n < 1 || n > 256)
        return false;
    *threads = static_cast<unsigned>(n);
    return true;
}

}  // namespace

int RunBuild(const std::vector<std::string>& argv)
{
    if (WantsHelp(argv))
        return ShowHelp("build");
    Args args;
    if (!ParseArgs(argv, {"--quiet", "-q"}, {"--stub", "--from", "-o", "-j", "--max-path-folder"}, &args))
        return EXIT_USAGE;
    if (!args.words.empty() || !args.Has("--stub") || !args.Has("--from") || !args.Has("-o")) {
        Error(UsageLine("build"));
        return EXIT_USAGE;
    }
    unsigned threads = DefaultThreadCount();
    if (args.Has("-j") && !ParseThreadCount(args.Value("-j"), &threads)) {
        Error("-j takes a number of threads from 1 to 256");
        return EXIT_USAGE;
    }
    InstallFolder longestFolder = LongestProposedFolder();
    if (args.Has("--max-path-folder") && !InstallFolderFromUtf8(args.Value("--max-path-folder"), &longestFolder)) {
        Error("--max-path-folder: the folder cannot be written in GBK (code page 936)");
        return EXIT_USAGE;
    }
    const bool quiet = args.Has("--quiet") || args.Has("-q");
    const fs::path stubPath = fs::u8path(args.Value("--stub"));
    const fs::path from = fs::u8path(args.Value("--from"));
    const fs::path outPath = fs::u8path(args.Value("-o"));

    // Everything is checked, and every problem reported, before the output
    // is created.
    std::vector<PlanProblem> problems;
    std::string stub;
    const bool stubRead = ReadWholeFile(stubPath, &stub);
    // The digests go into the stub's own section, when it has one.
    const auto digests = std::make_unique<CSfxDigestWriter>(stub);
    const int stubDigests = digests->StubSection().state;
    if (!stubRead)
        problems.push_back({Printable(stubPath), "cannot read the stub"});
    else if (!LooksLikePeExecutable(stub))
        problems.push_back({Printable(stubPath), "the stub is not a PE executable"});
    else if (SfxHasCertificateTable(stub.data(), static_cast<int64_t>(stub.size())))
        // Bytes appended behind a signature break it.
        problems.push_back({Printable(stubPath), "the stub is signed; build with the unsigned stub and sign the finished setup"});
    else if (stubDigests == SFX_DIGESTS_PRESENT)
        // Its archive would ride along inside the new setup's image.
        problems.push_back({Printable(stubPath), "the stub carries digests: it is a built setup; build with the stub itself"});
    else if (stubDigests == SFX_DIGESTS_DAMAGED)
        problems.push_back({Printable(stubPath), "the stub's digest section is not empty; build with the stub as linked"});
    const std::vector<PlannedEntry> entries = CollectEntries(from, &problems);
    CheckEntries(from, entries, &problems);
    if (IsInside(outPath, from))
        problems.push_back({Printable(outPath), "lies inside the folder being packed; an older build would be packed too"});
    if (!problems.empty()) {
        for (const PlanProblem& p : problems)
            Error(p.file + ": " + p.message);
        Error("refused: " + std::to_string(problems.size()) + " problem(s); nothing written");
        return EXIT_DATA;
    }
    std::vector<PlanProblem> warnings;
    CheckEmptyFolders(from, entries, &warnings);
    CheckPathLengths(entries, longestFolder, &warnings);
    for (const PlanProblem& w : warnings)
        Warning(w.file + ": " + w.message);

    // From here on an interrupt lets the build remove what it wrote.
    InterruptGuard interruptible;
    OutputFile out(outPath);
    errno = 0;
    if (!out.Open()) {
        Error(Printable(outPath) + ": cannot create: " + std::strerror(errno ? errno : EIO));
        return EXIT_DATA;
    }
    errno = 0;
    if (!out.Write(stub.data(), stub.size())) {
        Error(Printable(outPath) + ": cannot write: " + std::strerror(errno ? errno : EIO));
        return EXIT_DATA;
    }

    ProgressLine progress(!quiet && StderrIsTerminal());
    PackRequest request;
    request.entries = &entries;
    request.threads = threads;
    request.tempStem = outPath;
    request.tempStem += ".sfxpack-" + std::to_string(host::ProcessId());
    request.outputShown = outPath;
    request.progress = [&progress](const PackProgress& p) {
        progress.Show(p.entriesDone, p.entriesTotal, p.bytesDone, p.bytesTotal);
    };
    if (digests->Fills())
        request.digests = digests.get();
    std::vector<SfxRecord> records;
    std::string error;
    if (!PackEntries(request, &out, &records, &error)) {
        progress.Clear();
        Error(error);
        // An interrupt ends with its status (130, 143), as extract and verify do.
        return Interrupted() ? InterruptExitCode() : EXIT_DATA;
    }
    progress.Clear();
    const int64_t payloadEnd = out.Position();
    const std::string directory = SfxEncodeRecords(records);
    errno = 0;
    if (!out.Write(directory.data(), directory.size())) {
        Error(Printable(outPath) + ": cannot write: " + std::strerror(errno ? errno : EIO));
        return EXIT_DATA;
    }
    if (digests->Fills()) {
        // The image goes in again with the digests of what stands behind it.
        digests->Directory(directory.data(), directory.size());
        errno = 0;
        if (!digests->Fill(&stub) || !host::Seek(out.Stream(), 0) || !out.Write(stub.data(), stub.size())) {
            Error(Printable(outPath) + ": cannot write: " + std::strerror(errno ? errno : EIO));
            return EXIT_DATA;
        }
    }
    if (!out.Commit(&error)) {
        Error(error);
        return EXIT_DATA;
    }
    uint64_t unpacked = 0;
    for (const PlannedEntry& entry : entries)
        unpacked += entry.size;
    const uint64_t packed = static_cast<uint64_t>(payloadEnd) - stub.size();
    std::printf("built %s: %zu entries, %s unpacked, %s packed (%.1f%%), %.1f s\n", Printable(outPath).c_str(),
                entries.size(), FormatBytes(unpacked).c_str(), FormatBytes(packed).c_str(),
                unpacked ? 100.0 * static_cast<double>(packed) / static_cast<double>(unpacked) : 100.0,
                progress.Seconds());
    std::fflush(stdout);
    return EXIT_OK;
}

}  // namespace sfxpack
