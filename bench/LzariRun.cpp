// Runs one direction of the codec over a file, the way the installer does
// (stdio streams), and prints the wall time per run and MB/s.
//   lzari_run encode|decode IN OUT [repeat]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lzari/LzariCodec.h"

int main(int argc, char** argv)
{
    if (argc < 4 || (std::strcmp(argv[1], "encode") != 0 && std::strcmp(argv[1], "decode") != 0)) {
        std::fprintf(stderr, "usage: lzari_run encode|decode IN OUT [repeat]\n");
        return 2;
    }
    const bool encode = std::strcmp(argv[1], "encode") == 0;
    const int repeat = argc > 4 ? std::atoi(argv[4]) : 1;
    double best = 1e30;
    unsigned long plainBytes = 0;
    for (int i = 0; i < repeat; ++i) {
        FILE* in = std::fopen(argv[2], "rb");
        FILE* out = std::fopen(argv[3], "wb");
        if (!in || !out) {
            std::fprintf(stderr, "lzari_run: cannot open %s or %s\n", argv[2], argv[3]);
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        CLzariCodec codec;
        codec.m_pIn = in;
        codec.m_pOut = out;
        uint32_t count = encode ? codec.Encode() : codec.Decode();
        std::fflush(out);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (encode) {
            std::fseek(in, 0, SEEK_END);
            count = static_cast<uint32_t>(std::ftell(in));
        }
        const bool failed = codec.GetStatus() != CLzariCodec::STATUS_OK;
        std::fclose(in);
        std::fclose(out);
        if (failed) {
            std::fprintf(stderr, "lzari_run: codec reported status %d\n", static_cast<int>(codec.GetStatus()));
            return 1;
        }
        plainBytes = count;
        if (secs < best)
            best = secs;
    }
    if (repeat > 0)
        std::printf("%s %lu bytes: %.3f s, %.2f MB/s\n", encode ? "encode" : "decode", plainBytes, best,
                    best > 0 ? plainBytes / best / 1e6 : 0.0);
    return 0;
}
