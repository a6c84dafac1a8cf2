// Property: no installer file, however damaged, makes the engine crash,
// hang, write outside the installation folder or leave a temporary file;
// a run that fails leaves no installation folder at all (it made it), and
// one that succeeds leaves no backup, journal or half-made file.
// The input is the whole installer file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"
#include "archive/SfxNameCheck.h"
#include "framework/FileSystem.h"
#include "framework/HostPath.h"

namespace fs = std::filesystem;

namespace {

struct Sandbox {
    fs::path outer;  // must hold nothing but box/
    fs::path box;    // the installer file and the installation folder
    Sandbox()
    {
        outer = fs::temp_directory_path() / ("sfx-archive-fuzz-" + std::to_string(getpid()));
        box = outer / "box";
        fs::create_directories(box);
    }
    ~Sandbox()
    {
        std::error_code ec;
        fs::remove_all(outer, ec);
    }
};

CString Ansi(const fs::path& p)
{
    CString ansi;
    AnsiFromHostPath(p.string(), &ansi);
    return ansi;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Sandbox sandbox;
    std::error_code ec;
    fs::remove_all(sandbox.box, ec);
    fs::create_directories(sandbox.box);

    const fs::path setup = sandbox.box / "setup.bin";
    FILE* f = std::fopen(setup.c_str(), "wb");
    if (!f)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);

    CSfxAppState app;
    app.AddProtectedFiles();
    CSfxRunState run;
    run.m_bKeepDataMode = (size % 2) == 0;
    app.m_pMainDlg = &run;
    CSfxArchive archive;
    archive.SetArchivePath(Ansi(setup));
    const CString dest = Ansi(sandbox.box / "dest");
    const int result = archive.ExtractAll(dest, nullptr, nullptr);

    // Nothing beside the box, nothing in the box but the file and the folder.
    for (const auto& entry : fs::directory_iterator(sandbox.outer))
        if (entry.path() != sandbox.box)
            std::abort();
    for (const auto& entry : fs::directory_iterator(sandbox.box))
        if (entry.path() != setup && entry.path() != sandbox.box / "dest")
            std::abort();
    // No entry's temporary file survives. (A directory that failed its
    // checks may leave records unread or unusable; those name nothing.)
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        const CString name = archive.GetEntry(i).GetName();
        if (SfxCheckStoredName(name, name.GetLength()) == SFX_NAME_OK && FileExists(dest + "\\" + name))
            std::abort();
    }
    if (result != SFX_OK && result != SFX_ERR_NO_MAGIC && result != SFX_ERR_EMPTY && result != SFX_ERR_DAMAGED &&
        result != SFX_ERR_FILE_IO && result != SFX_ERR_CREATE_OUTPUT && result != SFX_ERR_OPEN_SELF &&
        result != SFX_ERR_PATH_TOO_LONG && result != SFX_ERR_NO_SPACE)
        std::abort();
    if (result != SFX_OK && fs::exists(fs::symlink_status(sandbox.box / "dest", ec)))
        std::abort();
    for (auto it = fs::recursive_directory_iterator(sandbox.box / "dest", ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (const char* suffix : {".zun", ".zbk", ".zjn"})
            if (name.size() >= 4 && name.compare(name.size() - 4, 4, suffix) == 0)
                std::abort();
    }
    return 0;
}
