// Encode and decode speed of the codec on the shared benchmark inputs, in
// MB/s of unpacked data. Inputs that are missing are skipped with a note.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lzari/LzariCodec.h"

namespace {

const char* const kInputs[] = {"mixed_1m", "text_128k"};

long FileSize(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

bool RunCodec(const std::string& in, const std::string& out, bool encode)
{
    FILE* fin = std::fopen(in.c_str(), "rb");
    FILE* fout = std::fopen(out.c_str(), "wb");
    bool ok = fin && fout;
    if (ok) {
        CLzariCodec codec;
        codec.m_pIn = fin;
        codec.m_pOut = fout;
        encode ? codec.Encode() : codec.Decode();
        ok = codec.GetStatus() == CLzariCodec::STATUS_OK;
    }
    if (fin)
        std::fclose(fin);
    if (fout)
        std::fclose(fout);
    return ok;
}

void BM_Encode(benchmark::State& state, std::string input, long size)
{
    for (auto _ : state) {
        if (!RunCodec(input, "/dev/null", true)) {
            state.SkipWithError("encode failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_Decode(benchmark::State& state, std::string packed, long size)
{
    for (auto _ : state) {
        if (!RunCodec(packed, "/dev/null", false)) {
            state.SkipWithError("decode failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * size);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string dir = SFX_BENCH_DATA;
    std::vector<std::string> scratch;
    int registered = 0;
    for (const char* name : kInputs) {
        const std::string input = dir + "/" + name;
        const long size = FileSize(input);
        if (size <= 0) {
            std::fprintf(stderr, "skipping %s: not found (set SFX_BENCH_DATA)\n", input.c_str());
            continue;
        }
        const std::string packed = std::string("lzari_bench_") + name + ".lzari";
        if (!RunCodec(input, packed, true)) {
            std::fprintf(stderr, "skipping %s: cannot pack it into %s\n", name, packed.c_str());
            continue;
        }
        scratch.push_back(packed);
        benchmark::RegisterBenchmark((std::string("Encode/") + name).c_str(), BM_Encode, input, size)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Decode/") + name).c_str(), BM_Decode, packed, size)
            ->Unit(benchmark::kMillisecond);
        ++registered;
    }
    if (registered > 0)
        benchmark::RunSpecifiedBenchmarks();
    else
        std::fprintf(stderr, "no benchmark inputs found in %s; nothing to measure\n", dir.c_str());
    benchmark::Shutdown();
    for (const std::string& f : scratch)
        std::remove(f.c_str());
    return 0;
}
