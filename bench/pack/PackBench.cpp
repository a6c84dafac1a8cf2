// Speed of `sfxpack build` on a generated 50 MB folder of mixed files, in
// MB/s of unpacked data, with one thread and with two, and the speed-up of
// two threads over one.
//
// The folder is generated once (deterministically, from a fixed seed) into
// the build tree and kept for later runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "Commands.h"
#include "Tool.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kFolderBytes = 50ull * 1000 * 1000;

class Generator {
public:
    explicit Generator(uint32_t seed) : m_state(seed) {}
    uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    // Already compressed data: media, archives.
    std::string Noise(size_t n)
    {
        std::string s(n, '\0');
        for (char& c : s)
            c = static_cast<char>(Next() >> 24);
        return s;
    }
    // Logs, configuration and scripts: words from a small vocabulary.
    std::string Text(size_t n)
    {
        static const char* const kWords[] = {"client", "server", "message", "user", "=", "0", "1", "true", "false",
                                             "connect", "timeout", "\r\n", "  ", "[info]", "status", "group",
                                             "2026-12-08", "send", "receive", "file", "path", "Orvex", ";", "{", "}"};
        std::string s;
        s.reserve(n + 16);
        while (s.size() < n) {
            s += kWords[Next() % (sizeof kWords / sizeof kWords[0])];
            s += ' ';
        }
        s.resize(n);
        return s;
    }
    // Program code: runs of zeros, repeated instruction patterns, tables of
    // small numbers, some noise.
    std::string Program(size_t n)
    {
        std::string s;
        s.reserve(n + 4096);
        while (s.size() < n) {
            switch (Next() % 4) {
            case 0: s.append(64 + Next() % 512, '\0'); break;
            case 1: {
                const std::string pattern = Noise(4 + Next() % 12);
                for (uint32_t k = 8 + Next() % 32; k > 0; --k)
                    s += pattern;
                break;
            }
            case 2:
                for (uint32_t k = 64 + Next() % 256; k > 0; --k) {
                    const uint32_t v = 0x401000 + (Next() % 4096) * 4;
                    s.append(reinterpret_cast<const char*>(&v), 4);
                }
                break;
            default: s += Noise(128 + Next() % 1024); break;
            }
        }
        s.resize(n);
        return s;
    }

private:
    uint32_t m_state;
};

void WriteFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// 2 large libraries, 4 media files, 12 text files of 1 MB, 90 mixed files of
// about 100 KB and 40 small ones; a last log file fills up to 50 MB.
fs::path MakeFolder()
{
    const fs::path root = fs::path(SFX_PACK_BENCH_DIR) / "folder";
    const fs::path stamp = fs::path(SFX_PACK_BENCH_DIR) / "folder.complete-v1";
    if (fs::exists(stamp))
        return root;
    std::error_code ec;
    fs::remove_all(root, ec);
    Generator g(20261208);
    uint64_t total = 0;
    const auto add = [&](const std::string& name, const std::string& bytes) {
        WriteFile(root / name, bytes);
        total += bytes.size();
    };
    for (int i = 0; i < 2; ++i)
        add("bin/core" + std::to_string(i) + ".dll", g.Program(8 * 1000 * 1000));
    for (int i = 0; i < 4; ++i)
        add("media/clip" + std::to_string(i) + ".dat", g.Noise(3 * 1000 * 1000));
    for (int i = 0; i < 12; ++i)
        add("docs/manual" + std::to_string(i) + ".txt", g.Text(1000 * 1000));
    for (int i = 0; i < 90; ++i) {
        const size_t size = 60 * 1000 + g.Next() % (80 * 1000);
        const std::string name = "res/item" + std::to_string(i);
        switch (i % 3) {
        case 0: add(name + ".bin", g.Program(size)); break;
        case 1: add(name + ".xml", g.Text(size)); break;
        default: add(name + ".png", g.Noise(size)); break;
        }
    }
    for (int i = 0; i < 40; ++i)
        add("config/setting" + std::to_string(i) + ".ini", g.Text(1000 + g.Next() % 19000));
    if (total < kFolderBytes)
        add("logs/install.log", g.Text(static_cast<size_t>(kFolderBytes - total)));
    // A PE-shaped stub of 64 KiB.
    std::string stub(64 * 1024, '\0');
    stub[0] = 'M';
    stub[1] = 'Z';
    stub[0x3C] = char(0x80);
    stub.replace(0x80, 4, std::string("PE\0\0", 4));
    WriteFile(fs::path(SFX_PACK_BENCH_DIR) / "stub.exe", stub);
    WriteFile(stamp, std::to_string(total));
    return root;
}

uint64_t FolderBytes(const fs::path& root)
{
    uint64_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            total += e.file_size();
    return total;
}

// The build's summary line would interleave with the report.
class QuietStdout {
public:
    QuietStdout()
    {
        std::fflush(stdout);
        m_saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        dup2(m_saved, 1);
        close(m_saved);
    }

private:
    int m_saved;
};

double ProcessCpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_Build(benchmark::State& state)
{
    const fs::path folder = MakeFolder();
    const uint64_t bytes = FolderBytes(folder);
    const fs::path out = fs::path(SFX_PACK_BENCH_DIR) / "setup.exe";
    const std::vector<std::string> argv = {"--stub", (fs::path(SFX_PACK_BENCH_DIR) / "stub.exe").string(),
                                           "--from", folder.string(),
                                           "-o",     out.string(),
                                           "-j",     std::to_string(state.range(0)),
                                           "--quiet"};
    // The process's CPU time, all threads: on a shared machine it tells
    // the work done from the time waited for a processor.
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        QuietStdout quiet;
        if (sfxpack::RunBuild(argv) != sfxpack::EXIT_OK) {
            state.SkipWithError("build failed");
            break;
        }
    }
    state.counters["cpu_s"] = benchmark::Counter((ProcessCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations() * bytes) / 1e6,
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Build)->ArgName("j")->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

// Prints the speed-up of each thread count over one thread after the runs;
// with --benchmark_repetitions, from the fastest repetition of each, as the
// machine is shared.
class SpeedUpReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that a saved report stays plain text.
    SpeedUpReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const auto [it, fresh] = m_seconds.emplace(run.benchmark_name(), run.GetAdjustedRealTime());
            if (!fresh)
                it->second = std::min(it->second, run.GetAdjustedRealTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        const auto one = m_seconds.find("BM_Build/j:1/iterations:2/real_time");
        for (const auto& [name, seconds] : m_seconds)
            if (one != m_seconds.end() && name != one->first && seconds > 0)
                std::printf("speed-up of %s over j:1: %.2fx\n", name.c_str(), one->second / seconds);
        ConsoleReporter::Finalize();
    }

private:
    std::map<std::string, double> m_seconds;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    SpeedUpReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
