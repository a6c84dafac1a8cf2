// extract: unpack with the installer's own engine, as the installer would.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

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

}  // namespace sfxpack
