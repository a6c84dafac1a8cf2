// list: the directory of an installer, read by the installer's own reader.
#include <cstdio>

#include "Commands.h"
#include "HostText.h"
#include "Tool.h"
#include "archive/SfxArchive.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// The length field at the start of an entry's stream, or -1.
int64_t UnpackedSize(FILE* file, const SfxEntry& entry)
{
    unsigned char b[4];
    if (entry.m_nPackedSize < 4 || std::fseek(file, entry.m_nOffset, SEEK_SET) != 0 || std::fread(b, 1, 4, file) != 4)
        return -1;
    return int64_t(b[0]) | (int64_t(b[1]) << 8) | (int64_t(b[2]) << 16) | (int64_t(b[3]) << 24);
}

}  // namespace

int RunList(const std::vector<std::string>& argv)
{
    Args args;
    if (!ParseArgs(argv, {}, {}, &args))
        return EXIT_USAGE;
    if (args.words.size() != 1) {
        Error("usage: sfxpack list SETUP");
        return EXIT_USAGE;
    }
    const fs::path setup = fs::u8path(args.words[0]);
    CString ansi;
    if (!AnsiFromHost(setup, &ansi)) {
        Error(Printable(setup) + ": the path cannot be written in the ANSI code page");
        return EXIT_DATA;
    }
    CSfxArchive archive;
    const int result = archive.ReadDirectory(ansi);
    if (result != SFX_OK) {
        Error(Printable(setup) + ": " + SfxResultText(result));
        return EXIT_DATA;
    }
    FILE* file = OpenHostFile(setup, "rb");
    if (!file) {
        Error(Printable(setup) + ": cannot open for reading");
        return EXIT_DATA;
    }
    std::printf("%5s  %10s  %10s  %10s  %s\n", "entry", "packed", "offset", "unpacked", "stored name");
    uint64_t totalPacked = 0, totalUnpacked = 0;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        const SfxEntry& entry = archive.GetEntry(i);
        const int64_t unpacked = UnpackedSize(file, entry);
        std::printf("%5d  %10d  %10d  %10lld  %s\n", i, entry.m_nPackedSize, entry.m_nOffset,
                    static_cast<long long>(unpacked), Utf8FromGbk(entry.GetName().str()).c_str());
        totalPacked += static_cast<uint64_t>(entry.m_nPackedSize);
        if (unpacked > 0)
            totalUnpacked += static_cast<uint64_t>(unpacked);
    }
    std::fclose(file);
    std::printf("%d entries, %llu bytes unpacked, %llu bytes packed (%.1f%%)\n", archive.GetEntryCount(),
                static_cast<unsigned long long>(totalUnpacked), static_cast<unsigned long long>(totalPacked),
                totalUnpacked ? 100.0 * static_cast<double>(totalPacked) / static_cast<double>(totalUnpacked) : 100.0);
    return EXIT_OK;
}

}  // namespace sfxpack
