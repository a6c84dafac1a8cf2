// Packing then unpacking gives the input back, over sizes around the
// window and match limits and over text, noise, runs and every byte value.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "LzariTestUtil.h"

namespace {

struct Sample {
    const char* kind;
    Bytes data;
};

std::vector<Sample> Samples()
{
    static const size_t kSizes[] = {0, 1, 2, 3, 59, 60, 61, 118, 119, 120, 4095, 4096, 4097, 70000};
    std::vector<Sample> out;
    uint32_t seed = 1;
    for (size_t size : kSizes) {
        out.push_back({"text", TextBytes(size, seed++)});
        out.push_back({"random", RandomBytes(size, seed++)});
        out.push_back({"run", RunBytes(size, static_cast<uint8_t>(size))});
    }
    out.push_back({"all byte values", AllByteValues(40)});
    // Text and noise in turn: the model swings between short and long codes.
    Bytes mixed;
    for (uint32_t i = 0; i < 12; ++i) {
        const Bytes part = i % 2 ? RandomBytes(5000, 100 + i) : TextBytes(5000, 100 + i);
        mixed.insert(mixed.end(), part.begin(), part.end());
    }
    out.push_back({"mixed", mixed});
    return out;
}

void ExpectRoundTrip(CodecHarness& h, const Bytes& input, const char* kind)
{
    SCOPED_TRACE(testing::Message() << kind << " of " << input.size() << " bytes");
    const CodecRun packed = h.Encode(input);
    ASSERT_EQ(packed.status, CLzariCodec::STATUS_OK);
    ASSERT_GE(packed.output.size(), 4u);
    EXPECT_EQ(LengthField(packed.output), input.size());
    EXPECT_EQ(packed.count, input.empty() ? 0u : packed.output.size());

    const CodecRun unpacked = h.Decode(packed.output);
    EXPECT_EQ(unpacked.status, CLzariCodec::STATUS_OK);
    EXPECT_EQ(unpacked.count, input.size());
    EXPECT_TRUE(unpacked.output == input) << "decoded bytes differ";
}

}  // namespace

TEST(LzariRoundTrip, GeneratedInputs)
{
    CodecHarness h;
    for (const Sample& s : Samples())
        ExpectRoundTrip(h, s.data, s.kind);
}

// The end check rests on this: every stream the encoder makes ends exactly
// where the decoder's final state says, so neither one byte less nor one
// byte more passes (the content of the longer one is still intact).
TEST(LzariRoundTrip, EveryEncodedStreamEndsWhereTheDecoderSays)
{
    CodecHarness h;
    std::mt19937 gen(4242);
    for (int n = 0; n < 400; ++n) {
        const size_t size = 1 + gen() % (n < 300 ? 300 : 6000);
        Bytes input;
        switch (n % 4) {
        case 0: input = RandomBytes(size, gen()); break;
        case 1: input = TextBytes(size, gen()); break;
        case 2: input = RunBytes(size, static_cast<uint8_t>(gen())); break;
        default: {
            input = TextBytes(size, gen());
            const Bytes noise = RandomBytes(size / 3, gen());
            std::copy(noise.begin(), noise.end(), input.begin() + static_cast<long>(size / 3));
        }
        }
        Bytes stream = h.Encode(input).output;
        const CodecRun unpacked = h.Decode(stream);
        ASSERT_TRUE(unpacked.output == input) << "input " << n << " of " << size << " bytes";
        ASSERT_EQ(unpacked.status, CLzariCodec::STATUS_OK) << "input " << n;
        stream.push_back(0);
        const CodecRun longer = h.Decode(stream);
        ASSERT_EQ(longer.status, CLzariCodec::STATUS_BAD_END) << "input " << n;
        ASSERT_TRUE(longer.output == input) << "input " << n;
        stream.resize(stream.size() - 2);
        ASSERT_NE(h.Decode(stream).status, CLzariCodec::STATUS_OK) << "input " << n;
    }
}

TEST(LzariRoundTrip, EmptyInputIsFourZeroBytes)
{
    CodecHarness h;
    const CodecRun packed = h.Encode(Bytes());
    EXPECT_EQ(packed.count, 0u);
    EXPECT_EQ(packed.status, CLzariCodec::STATUS_OK);
    EXPECT_EQ(packed.output, Bytes(4, 0));

    const CodecRun unpacked = h.Decode(packed.output);
    EXPECT_EQ(unpacked.count, 0u);
    EXPECT_EQ(unpacked.status, CLzariCodec::STATUS_OK);
    EXPECT_TRUE(unpacked.output.empty());
    EXPECT_EQ(h.Decode(Bytes{0, 0, 0, 0, 0}).status, CLzariCodec::STATUS_BAD_END);
}

// No stream is shorter than its length field: such a file unpacks to
// nothing and is reported as cut short.
TEST(LzariRoundTrip, PackedFileShorterThanFourBytesGivesEmptyOutput)
{
    CodecHarness h;
    for (const Bytes& stream : {Bytes(), Bytes{7}, Bytes{7, 0, 0}}) {
        const CodecRun unpacked = h.Decode(stream);
        EXPECT_EQ(unpacked.count, 0u);
        EXPECT_TRUE(unpacked.output.empty());
        EXPECT_EQ(unpacked.status, CLzariCodec::STATUS_TRUNCATED) << stream.size() << " bytes";
    }
}
