#include "LzariTestUtil.h"

#include <cstdio>
#include <random>

#include "framework/FileSystem.h"

bool WriteFileBytes(const CString& path, const Bytes& data)
{
    FILE* f = FsOpenStream(path, "wb");
    if (!f)
        return false;
    const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

bool ReadFileBytes(const CString& path, Bytes* data)
{
    FILE* f = FsOpenStream(path, "rb");
    if (!f)
        return false;
    data->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data->insert(data->end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

CodecRun CodecHarness::Encode(const Bytes& input) { return Run(input, true); }
CodecRun CodecHarness::Decode(const Bytes& stream) { return Run(stream, false); }

CodecRun CodecHarness::Run(const Bytes& input, bool encode)
{
    CodecRun run;
    const CString inPath = PathOf("in.dat");
    const CString outPath = PathOf("out.dat");
    if (!WriteFileBytes(inPath, input))
        return run;
    FILE* in = FsOpenStream(inPath, "rb");
    FILE* out = FsOpenStream(outPath, "wb");
    if (in && out) {
        CLzariCodec codec;
        codec.m_pIn = in;
        codec.m_pOut = out;
        run.count = encode ? codec.Encode() : codec.Decode();
        run.status = codec.GetStatus();
    }
    if (in)
        std::fclose(in);
    if (out)
        std::fclose(out);
    ReadFileBytes(outPath, &run.output);
    return run;
}

Bytes RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 gen(seed);
    Bytes out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(gen() >> 24);
    return out;
}

Bytes TextBytes(size_t size, uint32_t seed)
{
    static const char* const kWords[] = {"the", "installer", "unpacks", "every", "file", "into", "its",
                                         "folder", "and", "a", "shortcut", "points", "to", "client",
                                         "of", "messages", "window", "progress", "bar", "keeps"};
    std::mt19937 gen(seed);
    Bytes out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const char* w = kWords[gen() % (sizeof kWords / sizeof kWords[0])];
        while (*w)
            out.push_back(static_cast<uint8_t>(*w++));
        out.push_back(gen() % 9 == 0 ? '\n' : ' ');
    }
    out.resize(size);
    return out;
}

Bytes RunBytes(size_t size, uint8_t value) { return Bytes(size, value); }

Bytes AllByteValues(size_t repeat)
{
    Bytes out;
    for (size_t r = 0; r < repeat; ++r)
        for (int b = 0; b < 256; ++b)
            out.push_back(static_cast<uint8_t>(r % 2 ? 255 - b : b));
    return out;
}

uint32_t LengthField(const Bytes& stream)
{
    if (stream.size() < 4)
        return 0;
    return static_cast<uint32_t>(stream[0]) | static_cast<uint32_t>(stream[1]) << 8 |
           static_cast<uint32_t>(stream[2]) << 16 | static_cast<uint32_t>(stream[3]) << 24;
}

std::vector<Token> CLzariProbe::Tokens(FILE* stream, size_t maxTokens)
{
    std::vector<Token> tokens;
    m_pIn = stream;
    if (!ReadLength())
        return tokens;
    StartDecoding();
    InitModels();
    uint32_t count = 0;
    while (count < m_nTextSize && tokens.size() < maxTokens) {
        Token t;
        const int c = DecodeCharCode();
        if (c < 256) {
            t.literal = c;
            count += 1;
        } else {
            t.length = c - 253;
            t.distance = DecodePosition() + 1;
            count += static_cast<uint32_t>(t.length);
        }
        tokens.push_back(t);
    }
    return tokens;
}

std::vector<Token> TokensOf(CodecHarness& harness, const Bytes& stream, size_t maxTokens)
{
    const CString path = harness.PathOf("tokens.dat");
    WriteFileBytes(path, stream);
    FILE* f = FsOpenStream(path, "rb");
    if (!f)
        return {};
    CLzariProbe probe;
    std::vector<Token> tokens = probe.Tokens(f, maxTokens);
    std::fclose(f);
    return tokens;
}
