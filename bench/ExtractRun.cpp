// Runs the installer's extraction of a setup file in-process and prints the
// wall time of CSfxArchive::ExtractAll (best of the runs) and MB/s of
// unpacked data. Builds for both targets, so that the win32 build can be
// timed under Wine beside lzari_run's decode of the same streams.
//   extract_run SETUP DEST [repeat]
// Each run unpacks into a new folder DEST<n>, with the shared state fresh as
// at the installer's start; the folders are left for the caller to check.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>

#include "framework/HostPath.h"
#endif

#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"

namespace {

// The installer takes an absolute folder only, in its own spelling.
CString AbsoluteFolder(const char* path)
{
#ifdef _WIN32
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? CString(full) : CString(path);
#else
    CString ansi;
    return AnsiFromHostPath(std::filesystem::absolute(path).string(), &ansi) ? ansi : CString(path);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: extract_run SETUP DEST [repeat]\n");
        return 2;
    }
    const int repeat = argc > 3 ? std::atoi(argv[3]) : 1;
    double best = 1e30;
    long long plainBytes = 0;
    for (int i = 0; i < repeat; ++i) {
        char dest[1024];
        std::snprintf(dest, sizeof dest, "%s%d", argv[2], i);
        const auto start = std::chrono::steady_clock::now();
        CSfxAppState app;
        app.AddProtectedFiles();
        CSfxRunState run;
        run.m_bKeepDataMode = false;
        app.m_pMainDlg = &run;
        CSfxArchive archive;
        archive.SetArchivePath(argv[1]);
        const int result = archive.ExtractAll(AbsoluteFolder(dest), nullptr, nullptr);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != SFX_OK) {
            std::fprintf(stderr, "extract_run: %s (%s)\n", SfxResultText(result), archive.GetLastErrorText().str().c_str());
            return 1;
        }
        if (i == 0) {
            // The unpacked size as each stream's length field states it.
            for (int e = 0; e < archive.GetEntryCount(); ++e) {
                FILE* f = std::fopen(argv[1], "rb");
                unsigned char field[4] = {0, 0, 0, 0};
                if (f && std::fseek(f, archive.GetEntry(e).m_nOffset, SEEK_SET) == 0 && std::fread(field, 1, 4, f) == 4)
                    plainBytes += field[0] | field[1] << 8 | field[2] << 16 | static_cast<long long>(field[3]) << 24;
                if (f)
                    std::fclose(f);
            }
        }
        if (secs < best)
            best = secs;
    }
    if (repeat > 0)
        std::printf("extract %lld bytes: %.3f s, %.2f MB/s\n", plainBytes, best, best > 0 ? plainBytes / best / 1e6 : 0.0);
    return 0;
}
