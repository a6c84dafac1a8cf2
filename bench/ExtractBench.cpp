// The installer's extraction path against the codec alone: a setup holding
// 16 packed copies of mixed_1m under different names (in four folders) is
// unpacked with CSfxArchive::ExtractAll, as `sfxpack extract` and the
// installer do, and the same 16 streams are decoded from memory into
// memory. The digest check the installer makes before its first write
// (SfxCheckDigests over every entry and the directory) is timed on its own
// beside them. Wall time; the ratios are printed at the end.
//
// The setup is built once with the project's own writer and codec, behind
// a stub with the digest section (so it carries digests), in a scratch
// folder under the working directory that is removed afterwards.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/SfxAppState.h"
#include "app/SfxRunState.h"
#include "archive/SfxArchive.h"
#include "archive/SfxArchiveWriter.h"
#include "archive/SfxDigest.h"
#include "framework/FileSystem.h"
#include "framework/HostPath.h"
#include "lzari/LzariCodec.h"
#include "support/DigestStub.h"

namespace fs = std::filesystem;

namespace {

const int kCopies = 16;

struct Setup {
    fs::path scratch;
    fs::path setupFile;
    std::string packed;  // one stream; every entry holds the same bytes
    size_t plainSize = 0;
};

Setup g_setup;

bool ReadWhole(const fs::path& path, std::string* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// One stdio-to-stdio run of the codec over memory buffers.
bool Code(const std::string& in, std::string* out, bool encode, size_t outCapacity)
{
    FILE* fin = fmemopen(const_cast<char*>(in.data()), in.size(), "rb");
    out->assign(outCapacity, '\0');
    FILE* fout = fmemopen(&(*out)[0], out->size(), "wb");
    bool ok = fin && fout;
    if (ok) {
        CLzariCodec codec;
        codec.m_pIn = fin;
        codec.m_pOut = fout;
        encode ? codec.Encode() : codec.Decode();
        ok = codec.GetStatus() == CLzariCodec::STATUS_OK;
        out->resize(static_cast<size_t>(std::ftell(fout)));
    }
    if (fin)
        std::fclose(fin);
    if (fout)
        std::fclose(fout);
    return ok;
}

std::string StoredName(int i)
{
    static const char* const kFolders[] = {"", "bin\\", "data\\", "data\\res\\"};
    char name[64];
    std::snprintf(name, sizeof name, "%scopy%02d.bin.zup", kFolders[i % 4], i);
    return name;
}

bool BuildSetup(const std::string& input)
{
    std::string plain;
    if (!ReadWhole(input, &plain) || plain.empty())
        return false;
    g_setup.plainSize = plain.size();
    if (!Code(plain, &g_setup.packed, true, plain.size() + plain.size() / 8 + 64))
        return false;
    std::vector<SfxPackedEntry> entries;
    for (int i = 0; i < kCopies; ++i)
        entries.push_back({StoredName(i), g_setup.packed});
    const std::string image = SfxBuildImage(StubWithDigestSection(), entries);

    g_setup.scratch = fs::absolute("extract_bench_scratch");
    std::error_code ec;
    fs::remove_all(g_setup.scratch, ec);
    fs::create_directories(g_setup.scratch);
    g_setup.setupFile = g_setup.scratch / "setup.exe";
    std::ofstream out(g_setup.setupFile, std::ios::binary);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    return static_cast<bool>(out);
}

// The installer's way: its shared state fresh for every run (a new process
// each time), a new installation folder, ExtractAll.
void BM_ExtractAll(benchmark::State& state)
{
    CString setupAnsi;
    AnsiFromHostPath(g_setup.setupFile.string(), &setupAnsi);
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path dest = g_setup.scratch / ("dest" + std::to_string(run++));
        std::error_code ec;
        fs::remove_all(dest, ec);
        CString destAnsi;
        AnsiFromHostPath(dest.string(), &destAnsi);
        state.ResumeTiming();

        CSfxAppState app;
        app.AddProtectedFiles();
        CSfxRunState runState;
        runState.m_bKeepDataMode = false;
        app.m_pMainDlg = &runState;
        CSfxArchive archive;
        archive.SetArchivePath(setupAnsi);
        const int result = archive.ExtractAll(destAnsi, nullptr, nullptr);

        state.PauseTiming();
        if (result != SFX_OK || fs::file_size(dest / "data" / "res" / "copy15.bin") != g_setup.plainSize) {
            state.SkipWithError(SfxResultText(result));
            break;
        }
        fs::remove_all(dest, ec);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * kCopies * static_cast<int64_t>(g_setup.plainSize));
}

// The digest check alone, as the engine makes it before the first write:
// the directory read, then every packed byte hashed. MB/s of packed bytes.
void BM_CheckDigests(benchmark::State& state)
{
    CString setupAnsi;
    AnsiFromHostPath(g_setup.setupFile.string(), &setupAnsi);
    int64_t hashed = 0;
    for (auto _ : state) {
        CSfxArchive archive;
        CFile file;
        int bad = -1;
        if (archive.ReadDirectory(setupAnsi) != SFX_OK || !file.Open(setupAnsi, CFile::modeRead) ||
            SfxCheckDigests(file, archive, nullptr, nullptr, nullptr, &bad) != SFX_OK) {
            state.SkipWithError("the digest check failed");
            return;
        }
        hashed = archive.GetArchiveEnd() - archive.GetEntry(0).m_nOffset;
    }
    state.SetBytesProcessed(state.iterations() * hashed);
}

// The codec alone: the 16 streams decoded from memory into memory.
void BM_DecodeInMemory(benchmark::State& state)
{
    std::string plain;
    for (auto _ : state) {
        for (int i = 0; i < kCopies; ++i) {
            if (!Code(g_setup.packed, &plain, false, g_setup.plainSize) || plain.size() != g_setup.plainSize) {
                state.SkipWithError("decode failed");
                return;
            }
            benchmark::DoNotOptimize(plain.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * kCopies * static_cast<int64_t>(g_setup.plainSize));
}

// Prints as usual, then the engine's wall time over the codec's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, as the default reporter does.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // The median when there are repetitions, else the one run.
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Iteration && m_medians.count(name) == 0)
                m_times[name] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_times[name] = run.GetAdjustedRealTime();
                m_medians[name] = true;
            }
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        double engine = 0, codec = 0, digests = 0;
        for (const auto& t : m_times) {
            if (t.first.rfind("ExtractAll", 0) == 0)
                engine = t.second;
            else if (t.first.rfind("DecodeInMemory", 0) == 0)
                codec = t.second;
            else if (t.first.rfind("CheckDigests", 0) == 0)
                digests = t.second;
        }
        if (engine > 0 && codec > 0)
            std::printf("ExtractAll / DecodeInMemory wall time: %.3f\n", engine / codec);
        if (engine > 0 && digests > 0)
            std::printf("CheckDigests / ExtractAll wall time: %.3f\n", digests / engine);
    }

private:
    std::map<std::string, double> m_times;
    std::map<std::string, bool> m_medians;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string input = std::string(SFX_BENCH_DATA) + "/mixed_1m";
    if (!BuildSetup(input)) {
        std::fprintf(stderr, "skipping: cannot read %s or build the setup (set SFX_BENCH_DATA)\n", input.c_str());
        return 0;
    }
    benchmark::RegisterBenchmark("ExtractAll/16x_mixed_1m", BM_ExtractAll)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("CheckDigests/16x_mixed_1m", BM_CheckDigests)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("DecodeInMemory/16x_mixed_1m", BM_DecodeInMemory)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(g_setup.scratch, ec);
    return 0;
}
