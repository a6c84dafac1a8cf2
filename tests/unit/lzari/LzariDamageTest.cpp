// Damaged and cut streams: the decoder never writes past the length field,
// always ends, and reports a stream that runs out early. LzariCodeFile
// reports files it cannot open, read or write.
#include <gtest/gtest.h>

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

// Every cut of a short stream: the decoder ends and never writes more than
// the length field; what it reports as sound is the real content.
TEST(LzariDamage, EveryCutOfAShortStream)
{
    CodecHarness h;
    const Bytes input = TextBytes(700, 99);
    const Bytes stream = h.Encode(input).output;
    for (size_t size = 4; size < stream.size(); ++size) {
        const CodecRun run = h.Decode(Cut(stream, size));
        ASSERT_LE(run.output.size(), input.size()) << "cut to " << size;
        if (run.status == CLzariCodec::STATUS_OK) {
            EXPECT_TRUE(run.output == input) << "cut to " << size << " unpacked wrongly without a report";
        }
        if (size + 3 <= stream.size()) {
            EXPECT_EQ(run.status, CLzariCodec::STATUS_TRUNCATED) << "cut to " << size;
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
