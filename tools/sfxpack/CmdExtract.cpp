// extract: unpack with the installer's own engine, as the installer would:
// the same checks before the first write, and the same undo when the run
// does not finish.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "Commands.h"
#include "Help.h"
#include "HostText.h"
#include "InstallerFile.h"
#include "Tool.h"
#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"
#include "archive/SfxRunChecks.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// The folders that making DEST creates, deepest first, so that a run that
// ends without installing can remove them again.
std::vector<fs::path> MissingFolders(const fs::path& dest)
{
    std::vector<fs::path> missing;
    std::error_code ec;
    const fs::path absolute = fs::absolute(dest, ec);
    if (ec)
        return missing;
    for (fs::path p = absolute; !p.empty() && p != p.parent_path(); p = p.parent_path()) {
        std::error_code missingError;  // set for a name that is not there
        if (fs::exists(fs::symlink_status(p, missingError)))
            break;
        missing.push_back(p);
    }
    return missing;
}

void RemoveEmptyFolders(const std::vector<fs::path>& folders)
{
    std::error_code ec;
    for (const fs::path& folder : folders)
        if (fs::is_directory(fs::symlink_status(folder, ec)) && fs::is_empty(folder, ec))
            fs::remove(folder, ec);
}

// The engine's words for what stopped a run, with what to do about it.
std::string Explain(const CSfxArchive& engine, int result, const fs::path& setup, const fs::path& dest)
{
    // The engine names its files below ".": name them below dest.
    const auto below = [&](const CString& ansi) {
        const std::string text = ansi.str();
        return text.rfind(".\\", 0) == 0 ? Printable(HostPathBelow(dest, text.substr(2))) : Utf8FromGbk(text);
    };
    switch (result) {
    case SFX_ERR_DAMAGED:
        if (!engine.HasWritten()) {
            const int bad = engine.GetDamagedEntry();
            const std::string where =
                bad >= 0 ? " (entry " + std::to_string(bad) + ", " + Utf8FromGbk(engine.GetEntry(bad).GetName().str()) + ")"
                         : "";
            return Printable(setup) + ": the setup is damaged" + where + "; download it again";
        }
        break;
    case SFX_ERR_IN_USE:
        return below(engine.GetProblemPath()) + ": the file is in use; quit Orvex and try again";
    case SFX_ERR_NO_SPACE:
        return Printable(dest) + ": not enough free space: " + SfxMegabytes(engine.GetSpaceNeeded(), true) + " MB needed, " +
               SfxMegabytes(engine.GetSpaceAvailable(), false) + " MB available";
    case SFX_ERR_BAD_FOLDER:
        return below(engine.GetProblemPath()) + ": cannot install here; choose another folder" +
               (engine.GetLastErrorText().IsEmpty() ? "" : " (" + below(engine.GetLastErrorText()) + ")");
    case SFX_ERR_PATH_TOO_LONG:
        return below(engine.GetProblemPath()) + ": the path would reach 260 characters; choose a shorter folder";
    default:
        break;
    }
    const std::string detail = below(engine.GetLastErrorText());
    std::string line = Printable(setup) + ": " + SfxResultText(result) + (detail.empty() ? "" : " (" + detail + ")");
    if (engine.HasWritten())
        line += engine.WasUndoneWhole() ? "; " + Printable(dest) + " is as it was" : "";
    return line;
}

// The installer's shared state, as the installer sets it up at start-up,
// and what the command shows while the engine works.
struct EngineRun {
    CSfxAppState app;
    CSfxRunState run;
    CSfxArchive archive;
    std::vector<ListedEntry> entries;
    bool verbose = false;
    ProgressLine line{StderrIsTerminal()};
    DecodeProgress progress;
    size_t done = 0;

    explicit EngineRun(bool keepData)
    {
        app.AddProtectedFiles();
        run.m_bKeepDataMode = keepData;
        app.m_pMainDlg = &run;
        archive.SetRelativeFolderAllowed(true);
        archive.SetPulse(&EngineRun::Pulse, this);
    }

    static bool Pulse(void*) { return !Interrupted(); }
    static int Progress(SfxEntry* entry, void* context);

    // The engine works in dest as the current folder, so that no conversion
    // can change which folder that is; the current folder is put back
    // afterwards. Returns the engine's result code.
    int Extract(const fs::path& setup, const fs::path& dest, std::string* error)
    {
        EngineSetupPath setupPath;
        if (!setupPath.Open(setup, error))
            return SFX_ERR_OPEN_SELF;
        std::error_code ec;
        const fs::path before = fs::current_path(ec);
        if (ec) {
            *error = "cannot tell the current folder: " + ec.message();
            return SFX_ERR_BAD_FOLDER;
        }
        std::string detail;
        if (!EnterFolder(dest, &detail)) {
            *error = Printable(dest) + ": cannot install here; choose another folder (" + detail + ")";
            return SFX_ERR_BAD_FOLDER;
        }
        archive.SetArchivePath(setupPath.Ansi());
        const int result = archive.ExtractAll(".", &EngineRun::Progress, this);
        fs::current_path(before, ec);
        return result;
    }
};

int EngineRun::Progress(SfxEntry* entry, void* context)
{
    auto* self = static_cast<EngineRun*>(context);
    self->line.Clear();
    if (self->verbose)
        std::printf("%4d/%d  %s\n", self->run.m_nProcessed, self->run.m_nTotal, Utf8FromGbk(entry->GetName().str()).c_str());
    ++self->done;
    const ptrdiff_t index = entry - self->archive.m_entries;
    if (index >= 0 && static_cast<size_t>(index) < self->entries.size() && self->entries[static_cast<size_t>(index)].unpackedSize > 0)
        self->progress.bytesDone += static_cast<uint64_t>(self->entries[static_cast<size_t>(index)].unpackedSize);
    self->line.Show(self->done, self->entries.size(), self->progress.bytesDone, self->progress.bytesTotal);
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

    EngineRun engine(args.Has("--keep-data"));
    engine.verbose = args.Has("-v");
    // The directory ahead of the engine, by the same reader: the total to
    // announce and the sizes for the progress line.
    {
        InstallerFile installer;
        std::string error;
        if (!installer.Open(setup, &error)) {
            Error(error);
            return EXIT_DATA;
        }
        engine.entries = installer.Entries();
    }
    engine.progress.bytesTotal = UnpackedTotal(engine.entries);
    AnnounceIfLarge(setup, engine.entries.size(), engine.progress.bytesTotal, "");

    // An interrupt only raises a flag; the engine sees it through its pulse,
    // stops and puts the folder back as it was. A second one ends the
    // process at once, and the next run in DEST puts the folder back.
    const std::vector<fs::path> made = MissingFolders(dest);
    int result;
    std::string error;
    {
        InterruptGuard guard;
        result = engine.Extract(setup, dest, &error);
    }
    engine.line.Clear();
    if (result != SFX_OK)
        RemoveEmptyFolders(made);  // nothing of a run that did not finish stays
    if (result == SFX_ERR_CANCELLED) {
        std::fflush(stdout);
        Error("interrupted; " + Printable(dest) +
              (engine.archive.WasUndoneWhole() ? " is as it was" : " could not be put back whole; run extract again"));
        return InterruptExitCode();
    }
    if (result != SFX_OK) {
        Error(error.empty() ? Explain(engine.archive, result, setup, dest) : error);
        return EXIT_DATA;
    }
    std::printf("extracted %d of %d entries\n", engine.run.m_nProcessed, engine.run.m_nTotal);
    return EXIT_OK;
}

}  // namespace sfxpack
