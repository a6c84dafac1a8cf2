// extract: unpack with the installer's own engine. verify: decode every
// entry with the installer's own reader and codec, writing nothing.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <utility>

#include "BuildPlan.h"
#include "Commands.h"
#include "Help.h"
#include "Host.h"
#include "HostText.h"
#include "InstallerFile.h"
#include "Tool.h"
#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"


namespace fs = std::filesystem;

namespace sfxpack {

namespace {

class ExtractWatch;

// The installer's shared state, as the installer sets it up at start-up.
struct EngineRun {
    CSfxAppState app;
    CSfxRunState run;
    CSfxArchive archive;
    bool verbose = false;
    ExtractWatch* watch = nullptr;

    explicit EngineRun(bool keepData)
    {
        app.AddProtectedFiles();
        run.m_bKeepDataMode = keepData;
        app.m_pMainDlg = &run;
    }

    static int Progress(SfxEntry* entry, void* context);

    // Returns the engine's result code and prints a failure. The engine
    // works in dest as the current folder, so that no conversion can change
    // which folder that is; the current folder is put back afterwards.
    int Extract(const fs::path& setup, const fs::path& dest)
    {
        EngineSetupPath setupPath;
        std::string error;
        if (!setupPath.Open(setup, &error)) {
            Error(error);
            return SFX_ERR_OPEN_SELF;
        }
        std::error_code ec;
        const fs::path before = fs::current_path(ec);
        if (ec || !EnterFolder(dest, &error)) {
            Error(ec ? "cannot tell the current folder: " + ec.message() : error);
            return SFX_ERR_CREATE_OUTPUT;
        }
        archive.SetArchivePath(setupPath.Ansi());
        const int result = archive.ExtractAll(".", &EngineRun::Progress, this);
        fs::current_path(before, ec);
        if (result != SFX_OK) {
            // The engine names its files below ".": name them below dest.
            const std::string text = archive.GetLastErrorText().str();
            const std::string detail =
                text.rfind(".\\", 0) == 0 ? Printable(HostPathBelow(dest, text.substr(2))) : Utf8FromGbk(text);
            Error(Printable(setup) + ": " + SfxResultText(result) + (detail.empty() ? "" : " (" + detail + ")"));
        }
        return result;
    }
};

// Setups that unpack to this much or more are announced before the work
// starts: the codec decodes program files at about 50 MB a second, so
// that is a wait of five seconds or more, and a hand-made setup may claim
// far more than its own size.
constexpr uint64_t kLargeUnpacked = uint64_t(256) << 20;

uint64_t UnpackedTotal(const std::vector<ListedEntry>& entries)
{
    uint64_t total = 0;
    for (const ListedEntry& e : entries)
        if (e.unpackedSize > 0)
            total += static_cast<uint64_t>(e.unpackedSize);
    return total;
}

void AnnounceIfLarge(const fs::path& setup, size_t entries, uint64_t unpacked, const std::string& more)
{
    if (unpacked < kLargeUnpacked)
        return;
    std::printf("%s: %zu entries, %s unpacked%s\n", Printable(setup).c_str(), entries, FormatBytes(unpacked).c_str(),
                more.c_str());
    std::fflush(stdout);
}

// The host paths of an entry's temporary and final file below the folder
// the engine unpacks into, as the engine's file calls spell them here.
std::pair<fs::path, fs::path> EntryHostPaths(const fs::path& dest, const std::string& storedName)
{
    return {HostPathBelow(dest, storedName),
            HostPathBelow(dest, storedName.substr(0, storedName.size() - SFX_NAME_SUFFIX_LENGTH))};
}

// What the interrupt handler needs, all worked out before it is installed:
// where it stops the work itself, it runs async-signal-safe calls only.
struct InterruptCleanup {
    const CSfxArchive* engine = nullptr;
    std::vector<std::string> stored;      // each entry's stored name, as read beforehand
    std::vector<fs::path> tempPaths;      // host paths
    std::vector<fs::path> finalPaths;
    std::vector<std::string> finalShown;  // printable
    std::string dest;                     // printable
    bool terminal = false;
};
const InterruptCleanup* g_cleanup = nullptr;
volatile sig_atomic_t g_entriesDone = 0;
// Where the handler runs beside the work, the interrupt waits here for the
// end of the entry.
std::atomic<int> g_pendingSignal{0};

void Put(const char* text) { host::WriteToStderrNow(text, std::strlen(text)); }

void PutNumber(long value)
{
    char digits[24];
    size_t i = sizeof digits;
    do {
        digits[--i] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && i > 0);
    host::WriteToStderrNow(digits + i, sizeof digits - i);
}

// Removes the files of the entry being unpacked that are not whole, says
// what is left, and ends the process.
void OnExtractInterrupt(int signalNumber)
{
    if (!host::InterruptStopsTheWork()) {
        g_pendingSignal = signalNumber;
        return;
    }
    const InterruptCleanup& c = *g_cleanup;
    const int entry = c.engine->m_nWorkEntry;
    const int stage = c.engine->m_nWorkStage;
    const char* removed = nullptr;
    bool unknown = false;
    if (stage != SFX_WORK_NONE && entry >= 0 && static_cast<size_t>(entry) < c.stored.size()) {
        const size_t i = static_cast<size_t>(entry);
        // Should the setup have changed since its directory was read here,
        // the paths worked out would be another entry's.
        if (c.engine->m_entries[entry].m_strName.str() == c.stored[i]) {
            host::RemoveFileNow(c.tempPaths[i].c_str());
            if (stage == SFX_WORK_TEMP_AND_FINAL) {
                host::RemoveFileNow(c.finalPaths[i].c_str());
                removed = c.finalShown[i].c_str();
            }
        } else {
            unknown = true;
        }
    }
    if (c.terminal)
        Put("\r                                                                              \r");
    Put("sfxpack: interrupted; ");
    PutNumber(g_entriesDone);
    Put(" of ");
    PutNumber(static_cast<long>(c.stored.size()));
    Put(" entries complete in ");
    Put(c.dest.c_str());
    if (removed) {
        Put(", the incomplete ");
        Put(removed);
        Put(" removed\n");
    } else if (unknown) {
        Put(", the entry being unpacked may be incomplete (the setup changed)\n");
    } else {
        Put(", nothing incomplete left\n");
    }
    host::ExitNow(host::InterruptExitCode(signalNumber));
}

// While extract runs: the progress line on a terminal, and an interrupt
// that leaves only whole files. Where the interrupt stops the work (a POSIX
// signal) it removes the current entry's temporary file, and its final
// file once the engine has begun replacing it, and ends the process at
// once. A Windows console's handler runs on a thread of its own while the
// engine holds the files open, so there the current entry is finished
// first and the process ends between entries.
class ExtractWatch {
public:
    ExtractWatch(const CSfxArchive& engine, const std::vector<ListedEntry>& entries, const fs::path& dest)
        : m_entries(entries), m_dest(Printable(dest)), m_line(StderrIsTerminal())
    {
        for (const ListedEntry& e : entries)
            if (e.unpackedSize > 0)
                m_progress.bytesTotal += static_cast<uint64_t>(e.unpackedSize);
        m_cleanup.engine = &engine;
        m_cleanup.dest = m_dest;
        m_cleanup.terminal = StderrIsTerminal();
        // Absolute: the engine works with DEST as the current folder.
        std::error_code ec;
        const fs::path absolute = fs::absolute(dest, ec);
        for (const ListedEntry& e : entries) {
            const auto paths = EntryHostPaths(ec ? dest : absolute, e.storedName);
            m_cleanup.stored.push_back(e.storedName);
            m_cleanup.tempPaths.push_back(paths.first);
            m_cleanup.finalPaths.push_back(paths.second);
            m_cleanup.finalShown.push_back(Printable(paths.second));
        }
        g_entriesDone = 0;
        g_pendingSignal = 0;
        g_cleanup = &m_cleanup;
        host::CatchInterrupts(OnExtractInterrupt);
    }

    ~ExtractWatch()
    {
        host::ReleaseInterrupts();
        g_cleanup = nullptr;
    }

    ExtractWatch(const ExtractWatch&) = delete;
    ExtractWatch& operator=(const ExtractWatch&) = delete;

    void ClearLine() { m_line.Clear(); }

    // From the engine's callback: the entry is whole.
    void EntryDone(const SfxEntry* entry, const CSfxArchive& engine)
    {
        ++m_done;
        g_entriesDone = static_cast<sig_atomic_t>(m_done);
        const ptrdiff_t index = entry - engine.m_entries;
        if (index >= 0 && static_cast<size_t>(index) < m_entries.size() && m_entries[static_cast<size_t>(index)].unpackedSize > 0)
            m_progress.bytesDone += static_cast<uint64_t>(m_entries[static_cast<size_t>(index)].unpackedSize);
        m_line.Show(m_done, m_entries.size(), m_progress.bytesDone, m_progress.bytesTotal);
        StopIfInterrupted();
    }

    // Between entries: nothing is incomplete, so an interrupt ends the
    // process here.
    void StopIfInterrupted()
    {
        const int signalNumber = g_pendingSignal;
        if (signalNumber == 0)
            return;
        m_line.Clear();
        std::fflush(stdout);
        Error("interrupted; " + std::to_string(m_done) + " of " + std::to_string(m_entries.size()) +
              " entries complete in " + m_dest + ", nothing incomplete left");
        std::fflush(stderr);
        std::exit(host::InterruptExitCode(signalNumber));
    }

private:
    std::vector<ListedEntry> m_entries;
    std::string m_dest;
    ProgressLine m_line;
    DecodeProgress m_progress;
    size_t m_done = 0;
    InterruptCleanup m_cleanup;
};

int EngineRun::Progress(SfxEntry* entry, void* context)
{
    auto* self = static_cast<EngineRun*>(context);
    if (self->watch)
        self->watch->ClearLine();
    if (self->verbose) {
        std::printf("%4d/%d  %s\n", self->run.m_nProcessed, self->run.m_nTotal, Utf8FromGbk(entry->GetName().str()).c_str());
        // An interrupt may end the process without stdio's help.
        std::fflush(stdout);
    }
    if (self->watch)
        self->watch->EntryDone(entry, self->archive);
    return 0;
}

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

int RunExtract(const std::vector<std::string>& argv)
{
    if (WantsHelp(argv))
        return ShowHelp("extract");
    Args args;
    if (!ParseArgs(argv, {"--keep-data", "-v"}, {}, &args))
        return EXIT_USAGE;
    if (args.words.size() != 2) {
        Error(UsageLine("extract"));
        return EXIT_USAGE;
    }
    const fs::path setup = fs::u8path(args.words[0]);
    const fs::path dest = fs::u8path(args.words[1]);
    // The directory ahead of the engine, by the same reader: the total to
    // announce, the sizes for the progress line, the files an interrupt
    // may have to remove.
    std::vector<ListedEntry> entries;
    {
        InstallerFile installer;
        std::string error;
        if (!installer.Open(setup, &error)) {
            Error(error);
            return EXIT_DATA;
        }
        entries = installer.Entries();
    }
    AnnounceIfLarge(setup, entries.size(), UnpackedTotal(entries), "");

    EngineRun engine(args.Has("--keep-data"));
    engine.verbose = args.Has("-v");
    ExtractWatch watch(engine.archive, entries, dest);
    engine.watch = &watch;
    const int result = engine.Extract(setup, dest);
    watch.ClearLine();
    watch.StopIfInterrupted();
    if (result != SFX_OK)
        return EXIT_DATA;
    std::printf("extracted %d of %d entries\n", engine.run.m_nProcessed, engine.run.m_nTotal);
    return EXIT_OK;
}

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
    std::printf("%s\n", SignatureText(installer.CertificateTableSize()).c_str());
    return EXIT_OK;
}

}  // namespace sfxpack
