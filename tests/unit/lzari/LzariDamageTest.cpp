// Damaged and cut streams: the decoder never writes past the length field,
// always ends, and never passes a stream that does not end exactly as the
// encoder ends it. LzariCodeFile reports files it cannot open, read or write.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "LzariTestUtil.h"
#include "framework/FileSystem.h"
#include "lzari/LzariCodeFile.h"

namespace {

Bytes Cut(const Bytes& stream, size_t size) { return Bytes(stream.begin(), stream.begin() + static_cast<long>(size)); }

Bytes MixedInput()
{
    Bytes input = TextBytes(12000, 7);
    const Bytes noise = RandomBytes(8000, 8);
    input.insert(input.begin() + 5000, noise.begin(), noise.end());
    return input;
}

}  // namespace

TEST(LzariDamage, CutStreamsAreReportedAndStayWithinTheLength)
{
    CodecHarness h;
    const Bytes input = MixedInput();
    const Bytes stream = h.Encode(input).output;
    const size_t n = stream.size();
    for (size_t size : {size_t(4), size_t(5), size_t(6), size_t(7), size_t(64), n / 3, n / 2, n - 100, n - 3}) {
        const CodecRun run = h.Decode(Cut(stream, size));
        EXPECT_EQ(run.status, CLzariCodec::STATUS_TRUNCATED) << "cut to " << size << " of " << n;
        EXPECT_LT(run.output.size(), input.size()) << "cut to " << size;
        EXPECT_EQ(run.count, run.output.size());
    }
}

// Every cut of a short stream: the decoder ends, never writes more than the
// length field, and never reports the rest as whole.
TEST(LzariDamage, EveryCutOfAShortStream)
{
    CodecHarness h;
    const Bytes input = TextBytes(700, 99);
    const Bytes stream = h.Encode(input).output;
    for (size_t size = 0; size < stream.size(); ++size) {
        const CodecRun run = h.Decode(Cut(stream, size));
        ASSERT_LE(run.output.size(), input.size()) << "cut to " << size;
        EXPECT_NE(run.status, CLzariCodec::STATUS_OK) << "cut to " << size;
    }
}

// Inputs of 1 byte to 30 KB (text, noise, small alphabets), each stream cut
// by 1 to 3 bytes or with 1 to 3 bytes added: none passes as whole. (A
// margin of two bytes past the end let 34 of these 703 cut streams through
// with wrong content.)
TEST(LzariDamage, StreamEndsOfManyInputs)
{
    CodecHarness h;
    std::mt19937 gen(2026);
    for (int n = 0; n < 240; ++n) {
        const size_t size = static_cast<size_t>(std::pow(30000.0, n / 239.0));
        Bytes input;
        switch (n % 4) {
        case 0: input = TextBytes(size, gen()); break;
        case 1: input = RandomBytes(size, gen()); break;
        default:
            input = RandomBytes(size, gen());
            for (uint8_t& b : input)
                b = static_cast<uint8_t>('a' + b % (n % 4 == 2 ? 2 : 4));
        }
        const Bytes stream = h.Encode(input).output;
        for (size_t k = 1; k <= 3 && k + 4 <= stream.size(); ++k) {
            SCOPED_TRACE(testing::Message() << "input " << n << " of " << size << " bytes, " << k << " bytes");
            EXPECT_NE(h.Decode(Cut(stream, stream.size() - k)).status, CLzariCodec::STATUS_OK);
            Bytes longer = stream;
            for (size_t i = 0; i < k; ++i)
                longer.push_back(static_cast<uint8_t>(gen()));
            const CodecRun added = h.Decode(longer);
            EXPECT_EQ(added.status, CLzariCodec::STATUS_BAD_END);
            EXPECT_TRUE(added.output == input);
        }
    }
}

// A stream inside a larger file ends at the input limit: what follows the
// limit is not read, and a file that ends before the limit holds a cut stream.
TEST(LzariDamage, InputLimitIsTheStreamsEnd)
{
    struct Collect : CLzariSink {
        Bytes bytes;
        bool Write(const unsigned char* data, size_t size) override
        {
            bytes.insert(bytes.end(), data, data + size);
            return true;
        }
    };
    CodecHarness h;
    const Bytes input = TextBytes(3000, 12);
    const Bytes stream = h.Encode(input).output;
    Bytes file = stream;
    file.insert(file.end(), 100, 0x5A);
    ASSERT_TRUE(WriteFileBytes(h.PathOf("inside.dat"), file));
    ASSERT_TRUE(WriteFileBytes(h.PathOf("alone.dat"), stream));
    const struct {
        const char* file;
        uint64_t limit;
        CLzariCodec::Status status;
    } cases[] = {
        {"inside.dat", stream.size(), CLzariCodec::STATUS_OK},
        {"inside.dat", stream.size() - 1, CLzariCodec::STATUS_TRUNCATED},
        {"inside.dat", stream.size() + 1, CLzariCodec::STATUS_BAD_END},
        {"alone.dat", stream.size() + 1, CLzariCodec::STATUS_TRUNCATED},
    };
    for (const auto& c : cases) {
        FILE* in = FsOpenStream(h.PathOf(c.file), "rb");
        ASSERT_NE(in, nullptr);
        Collect sink;
        CLzariCodec codec;
        codec.m_pIn = in;
        codec.m_pSink = &sink;
        codec.SetInputLimit(c.limit);
        codec.Decode();
        std::fclose(in);
        EXPECT_EQ(codec.GetStatus(), c.status) << c.file << " limited to " << c.limit;
        if (c.status != CLzariCodec::STATUS_TRUNCATED) {
            EXPECT_TRUE(sink.bytes == input) << c.file << " limited to " << c.limit;
        }
    }
}

// Flipped bytes and random garbage under any length field: the output never
// exceeds the field, and a stated length far beyond the data ends the run
// as soon as the data does.
TEST(LzariDamage, GarbageNeverWritesPastTheLengthField)
{
    CodecHarness h;
    const Bytes stream = h.Encode(MixedInput()).output;
    std::mt19937 gen(5150);
    for (int n = 0; n < 40; ++n) {
        Bytes damaged = stream;
        for (int k = 0; k < 3; ++k)
            damaged[4 + gen() % (damaged.size() - 4)] ^= static_cast<uint8_t>(1 + gen() % 255);
        const CodecRun run = h.Decode(damaged);
        ASSERT_LE(run.output.size(), LengthField(damaged)) << "case " << n;
    }
    for (int n = 0; n < 40; ++n) {
        Bytes garbage = RandomBytes(4 + gen() % 400, gen());
        if (n % 2 == 0) {
            const uint32_t len = gen() % 3000;
            for (int b = 0; b < 4; ++b)
                garbage[b] = static_cast<uint8_t>(len >> (8 * b));
        }
        const CodecRun run = h.Decode(garbage);
        ASSERT_LE(run.output.size(), LengthField(garbage)) << "garbage " << n;
    }
    Bytes huge = RandomBytes(200, 77);
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;
    const CodecRun run = h.Decode(huge);
    EXPECT_EQ(run.status, CLzariCodec::STATUS_TRUNCATED);
    EXPECT_LT(run.output.size(), 20u * 1000 * 1000);
}

// A file that grows while it is packed: here it grows by the stream itself,
// written to its end as the encoder goes. The encoder codes the bytes its
// length field counts, no more, and reports the file as changed.
TEST(LzariDamage, EncoderReadsNoMoreThanTheLengthOfAGrowingFile)
{
    CodecHarness h;
    const Bytes input = TextBytes(200000, 31);
    ASSERT_TRUE(WriteFileBytes(h.PathOf("grows.txt"), input));
    FILE* in = FsOpenStream(h.PathOf("grows.txt"), "rb");
    FILE* out = FsOpenStream(h.PathOf("grows.txt"), "ab");
    ASSERT_TRUE(in && out);
    CLzariCodec codec;
    codec.m_pIn = in;
    codec.m_pOut = out;
    codec.Encode();
    std::fclose(in);
    std::fclose(out);
    EXPECT_EQ(codec.GetStatus(), CLzariCodec::STATUS_READ_ERROR);
    Bytes expected = input;
    const Bytes stream = h.Encode(input).output;
    expected.insert(expected.end(), stream.begin(), stream.end());
    Bytes grown;
    ASSERT_TRUE(ReadFileBytes(h.PathOf("grows.txt"), &grown));
    EXPECT_TRUE(grown == expected) << grown.size() << " bytes, not " << expected.size();
}

TEST(LzariCodeFile, PacksAndUnpacksFiles)
{
    CodecHarness h;
    const Bytes input = MixedInput();
    ASSERT_TRUE(WriteFileBytes(h.PathOf("plain.txt"), input));
    ASSERT_EQ(LzariCodeFile(h.PathOf("plain.txt"), h.PathOf("packed.zup"), true), LZARI_OK);
    ASSERT_EQ(LzariCodeFile(h.PathOf("packed.zup"), h.PathOf("again.txt"), false), LZARI_OK);
    Bytes packed, again;
    ASSERT_TRUE(ReadFileBytes(h.PathOf("packed.zup"), &packed));
    ASSERT_TRUE(ReadFileBytes(h.PathOf("again.txt"), &again));
    EXPECT_EQ(packed, h.Encode(input).output);
    EXPECT_TRUE(again == input);
}

TEST(LzariCodeFile, OutputReplacesAnExistingFile)
{
    CodecHarness h;
    ASSERT_TRUE(WriteFileBytes(h.PathOf("packed.zup"), h.Encode(TextBytes(50, 1)).output));
    ASSERT_TRUE(WriteFileBytes(h.PathOf("out.txt"), RandomBytes(5000, 2)));
    ASSERT_EQ(LzariCodeFile(h.PathOf("packed.zup"), h.PathOf("out.txt"), false), LZARI_OK);
    Bytes out;
    ASSERT_TRUE(ReadFileBytes(h.PathOf("out.txt"), &out));
    EXPECT_TRUE(out == TextBytes(50, 1));
}

TEST(LzariCodeFile, MissingInputIsReportedAndNoOutputIsMade)
{
    CodecHarness h;
    EXPECT_EQ(LzariCodeFile(h.PathOf("absent.zup"), h.PathOf("out.txt"), false), LZARI_ERR_OPEN_INPUT);
    EXPECT_FALSE(FileExists(h.PathOf("out.txt")));
}

TEST(LzariCodeFile, OutputThatCannotBeCreatedIsReported)
{
    CodecHarness h;
    ASSERT_TRUE(WriteFileBytes(h.PathOf("packed.zup"), h.Encode(TextBytes(50, 1)).output));
    EXPECT_EQ(LzariCodeFile(h.PathOf("packed.zup"), h.PathOf("no such folder\\out.txt"), false),
              LZARI_ERR_OPEN_OUTPUT);
}

TEST(LzariCodeFile, CutStreamIsReported)
{
    CodecHarness h;
    const Bytes stream = h.Encode(TextBytes(3000, 3)).output;
    ASSERT_TRUE(WriteFileBytes(h.PathOf("cut.zup"), Cut(stream, stream.size() / 2)));
    EXPECT_EQ(LzariCodeFile(h.PathOf("cut.zup"), h.PathOf("out.txt"), false), LZARI_ERR_TRUNCATED);
    Bytes longer = stream;
    longer.push_back(0);
    ASSERT_TRUE(WriteFileBytes(h.PathOf("longer.zup"), longer));
    EXPECT_EQ(LzariCodeFile(h.PathOf("longer.zup"), h.PathOf("out.txt"), false), LZARI_ERR_BAD_END);
    ASSERT_TRUE(WriteFileBytes(h.PathOf("short.zup"), Bytes{1, 0}));
    EXPECT_EQ(LzariCodeFile(h.PathOf("short.zup"), h.PathOf("out.txt"), false), LZARI_ERR_TRUNCATED);
    Bytes out;
    ASSERT_TRUE(ReadFileBytes(h.PathOf("out.txt"), &out));
    EXPECT_TRUE(out.empty());
}

#ifndef _WIN32
// A full disk: the bytes that stdio holds back fail at the latest on close.
TEST(LzariCodeFile, FullDiskIsReported)
{
    CodecHarness h;
    ASSERT_TRUE(WriteFileBytes(h.PathOf("plain.txt"), RandomBytes(100000, 4)));
    EXPECT_EQ(LzariCodeFile(h.PathOf("plain.txt"), "/dev/full", true), LZARI_ERR_WRITE);
    ASSERT_TRUE(WriteFileBytes(h.PathOf("tiny.zup"), h.Encode(Bytes{'a'}).output));
    EXPECT_EQ(LzariCodeFile(h.PathOf("tiny.zup"), "/dev/full", false), LZARI_ERR_WRITE);
}

// A folder is not taken for a file (stdio alone would open it as a stream
// that cannot be read).
TEST(LzariCodeFile, UnreadableInputIsReported)
{
    CodecHarness h;
    EXPECT_EQ(LzariCodeFile(h.Folder(), h.PathOf("out.txt"), false), LZARI_ERR_OPEN_INPUT);
    EXPECT_EQ(LzariCodeFile(h.Folder(), h.PathOf("out.zup"), true), LZARI_ERR_OPEN_INPUT);
}
#endif
