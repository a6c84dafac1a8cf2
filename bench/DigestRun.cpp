// The installer's digest check alone, timed in-process: what it costs per
// MB before the first write. Builds for both targets, so that the win32
// build can be timed under Wine and the native one counted by callgrind.
//   digest_run make PACKED SETUP [copies]  a setup of copies (16) of one packed
//                                          stream behind a stub with the digest section
//   digest_run check SETUP [repeat]        SfxCheckDigests over every entry, best of repeat
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/SfxArchive.h"
#include "archive/SfxArchiveWriter.h"
#include "archive/SfxDigest.h"
#include "support/DigestStub.h"

namespace {

bool ReadAll(const char* path, std::string* bytes)
{
    std::ifstream in(path, std::ios::binary);
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && in.is_open();
}

int Make(const char* packedPath, const char* setupPath, int copies)
{
    std::string packed;
    if (!ReadAll(packedPath, &packed) || packed.size() < 4) {
        std::fprintf(stderr, "digest_run: cannot read %s\n", packedPath);
        return 1;
    }
    std::vector<SfxPackedEntry> entries;
    for (int i = 0; i < copies; ++i)
        entries.push_back({"copy" + std::to_string(i) + ".bin.zup", packed});
    const std::string image = SfxBuildImage(StubWithDigestSection(), entries);
    FILE* out = std::fopen(setupPath, "wb");
    const bool ok = out && std::fwrite(image.data(), 1, image.size(), out) == image.size();
    if (out && std::fclose(out) != 0)
        return 1;
    return ok ? 0 : 1;
}

int Check(const char* setupPath, int repeat)
{
    double best = 1e30;
    long long hashed = 0;
    for (int i = 0; i < repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        CSfxArchive archive;
        if (archive.ReadDirectory(setupPath) != SFX_OK) {
            std::fprintf(stderr, "digest_run: %s: no archive\n", setupPath);
            return 1;
        }
        CFile file;
        if (!file.Open(setupPath, CFile::modeRead | CFile::shareDenyWrite))
            return 1;
        int bad = -1;
        const int result = SfxCheckDigests(file, archive, nullptr, nullptr, nullptr, &bad);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != SFX_OK) {
            std::fprintf(stderr, "digest_run: %s (entry %d)\n", SfxResultText(result), bad);
            return 1;
        }
        hashed = archive.GetArchiveEnd() - archive.GetEntry(0).m_nOffset;
        if (secs < best)
            best = secs;
    }
    if (repeat > 0)
        std::printf("digests of %lld bytes: %.4f s, %.1f MB/s\n", hashed, best, best > 0 ? hashed / best / 1e6 : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "make") == 0)
        return Make(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : 16);
    if (argc >= 3 && std::strcmp(argv[1], "check") == 0)
        return Check(argv[2], argc > 3 ? std::atoi(argv[3]) : 1);
    std::fprintf(stderr, "usage: digest_run make PACKED SETUP [copies] | digest_run check SETUP [repeat]\n");
    return 2;
}
