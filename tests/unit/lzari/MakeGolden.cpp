// Writes NAME.lzari beside every NAME.bin named on the command line, with
// the native build. Used once to make the checked-in sample streams:
//   lzari_make_golden tests/data/lzari/*.bin
#include <cstdio>
#include <string>

#include "lzari/LzariCodeFile.h"

int main(int argc, char** argv)
{
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        std::string in = argv[i];
        const size_t dot = in.rfind(".bin");
        if (dot == std::string::npos || dot + 4 != in.size()) {
            std::fprintf(stderr, "skipped %s: not a .bin file\n", in.c_str());
            continue;
        }
        const std::string out = in.substr(0, dot) + ".lzari";
        const int rc = LzariCodeFile(in.c_str(), out.c_str(), true);
        if (rc != LZARI_OK) {
            std::fprintf(stderr, "%s: error %d\n", in.c_str(), rc);
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
