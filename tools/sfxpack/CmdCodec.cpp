// encode / decode: one raw LZARI stream each way.
#include <cstdio>

#include "Commands.h"
#include "Help.h"
#include "HostText.h"
#include "Tool.h"
#include "lzari/LzariCodec.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

const char* StatusText(CLzariCodec::Status status)
{
    switch (status) {
    case CLzariCodec::STATUS_TRUNCATED: return "the packed stream is cut short";
    case CLzariCodec::STATUS_BAD_END:
        return "the packed stream does not end where it should (bytes after its end, or damaged final bits)";
    case CLzariCodec::STATUS_READ_ERROR: return "read error (or the file changed while being read)";
    case CLzariCodec::STATUS_WRITE_ERROR: return "write error (disk full?)";
    default: return "ok";
    }
}

int RunCodec(const std::vector<std::string>& argv, bool encode)
{
    if (WantsHelp(argv))
        return ShowHelp(encode ? "encode" : "decode");
    Args args;
    if (!ParseArgs(argv, {}, {}, &args))
        return EXIT_USAGE;
    if (args.words.size() != 2) {
        Error(UsageLine(encode ? "encode" : "decode"));
        return EXIT_USAGE;
    }
    const fs::path in = fs::u8path(args.words[0]);
    const fs::path out = fs::u8path(args.words[1]);
    FILE* input = OpenHostFile(in, "rb");
    if (!input) {
        Error(Printable(in) + ": cannot open for reading");
        return EXIT_DATA;
    }
    OutputFile output(out);
    if (!output.Open()) {
        std::fclose(input);
        Error(Printable(out) + ": cannot create");
        return EXIT_DATA;
    }
    CLzariCodec codec;
    codec.m_pIn = input;
    codec.m_pOut = output.Stream();
    if (encode)
        codec.Encode();
    else
        codec.Decode();
    const bool readFailed = std::ferror(input) != 0;
    std::fclose(input);
    if (codec.GetStatus() != CLzariCodec::STATUS_OK || readFailed) {
        const bool damaged = codec.GetStatus() == CLzariCodec::STATUS_TRUNCATED ||
                             codec.GetStatus() == CLzariCodec::STATUS_BAD_END;
        Error(Printable(damaged || readFailed ? in : out) + ": " +
              StatusText(readFailed ? CLzariCodec::STATUS_READ_ERROR : codec.GetStatus()));
        return EXIT_DATA;
    }
    std::string error;
    if (!output.Commit(&error)) {
        Error(error);
        return EXIT_DATA;
    }
    return EXIT_OK;
}

}  // namespace

int RunEncode(const std::vector<std::string>& argv) { return RunCodec(argv, true); }
int RunDecode(const std::vector<std::string>& argv) { return RunCodec(argv, false); }

}  // namespace sfxpack
