// extract / verify: unpack with the installer's own engine.
#include <cstdio>
#include <set>
#include <system_error>

#include "Commands.h"
#include "Help.h"
#include "HostText.h"
#include "InstallerFile.h"
#include "Tool.h"
#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// The installer's shared state, as the installer sets it up at start-up.
struct EngineRun {
    CSfxAppState app;
    CSfxRunState run;
    CSfxArchive archive;
    bool verbose = false;

    explicit EngineRun(bool keepData)
    {
        app.AddProtectedFiles();
        run.m_bKeepDataMode = keepData;
        app.m_pMainDlg = &run;
    }

    static int Progress(SfxEntry* entry, void* context)
    {
        auto* self = static_cast<EngineRun*>(context);
        if (self->verbose)
            std::printf("%4d/%d  %s\n", self->run.m_nProcessed, self->run.m_nTotal, Utf8FromGbk(entry->GetName().str()).c_str());
        return 0;
    }

    // Returns the engine's result code and prints a failure.
    int Extract(const fs::path& setup, const fs::path& dest)
    {
        CString setupAnsi, destAnsi;
        if (!AnsiFromHost(setup, &setupAnsi) || !AnsiFromHost(dest, &destAnsi)) {
            Error("a path cannot be written in the ANSI code page");
            return SFX_ERR_OPEN_SELF;
        }
        archive.SetArchivePath(setupAnsi);
        const int result = archive.ExtractAll(destAnsi, &EngineRun::Progress, this);
        if (result != SFX_OK) {
            std::string detail = archive.GetLastErrorText().str();
            Error(Printable(setup) + ": " + SfxResultText(result) + (detail.empty() ? "" : " (" + detail + ")"));
        }
        return result;
    }
};

fs::path ScratchFolder()
{
#ifdef _WIN32
    const unsigned long pid = static_cast<unsigned long>(_getpid());
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    for (int i = 0;; ++i) {
        fs::path candidate = base / ("sfxpack-verify-" + std::to_string(pid) + "-" + std::to_string(i));
        if (fs::create_directory(candidate, ec))
            return candidate;
        if (ec)
            return fs::path();
    }
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
    EngineRun engine(args.Has("--keep-data"));
    engine.verbose = args.Has("-v");
    const int result = engine.Extract(fs::u8path(args.words[0]), fs::u8path(args.words[1]));
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
    const fs::path scratch = ScratchFolder();
    if (scratch.empty()) {
        Error("cannot create a scratch folder");
        return EXIT_DATA;
    }
    struct Cleanup {
        fs::path path;
        ~Cleanup()
        {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } cleanup{scratch};

    EngineRun engine(false);
    engine.verbose = args.Has("-v");
    if (engine.Extract(setup, scratch) != SFX_OK)
        return EXIT_DATA;

    int differences = 0;
    if (args.Has("--against")) {
        const fs::path against = fs::u8path(args.Value("--against"));
        std::set<fs::path> seen;
        for (int i = 0; i < engine.archive.GetEntryCount(); ++i) {
            const std::string stored = engine.archive.GetEntry(i).GetName().str();
            const std::string installed = stored.substr(0, stored.size() - SFX_NAME_SUFFIX_LENGTH);
            const fs::path source = HostPathBelow(against, installed);
            seen.insert(source.lexically_normal());
            std::string expected, actual;
            if (!ReadWholeFile(source, &expected)) {
                Error(Utf8FromGbk(installed) + ": not in " + Printable(against));
                ++differences;
            } else if (!ReadWholeFile(HostPathBelow(scratch, installed), &actual) || actual != expected) {
                Error(Utf8FromGbk(installed) + ": differs from " + Printable(source));
                ++differences;
            }
        }
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(against, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            if (it->is_regular_file() && !seen.count(it->path().lexically_normal())) {
                Error(Printable(it->path()) + ": not in the installer");
                ++differences;
            }
        }
    }
    if (differences) {
        Error(std::to_string(differences) + " difference(s)");
        return EXIT_DATA;
    }
    std::printf("%s: %d entries decode whole%s\n", Printable(setup).c_str(), engine.archive.GetEntryCount(),
                args.Has("--against") ? " and match" : "");
    std::printf("%s\n", SignatureText(engine.archive.GetCertificateTableSize()).c_str());
    return EXIT_OK;
}

}  // namespace sfxpack
