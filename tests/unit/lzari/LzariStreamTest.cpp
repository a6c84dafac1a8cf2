// The encoder's choices that fix the exact stream: which match it takes,
// when the model halves, how the last byte is finished.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "LzariTestUtil.h"
#include "framework/FileSystem.h"

namespace {

Bytes FromText(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::vector<Token> EncodeAndRead(CodecHarness& h, const Bytes& input, size_t maxTokens = 1000)
{
    const CodecRun packed = h.Encode(input);
    EXPECT_EQ(h.Decode(packed.output).output, input);
    return TokensOf(h, packed.output, maxTokens);
}

size_t CodedLength(const std::vector<Token>& tokens)
{
    size_t n = 0;
    for (const Token& t : tokens)
        n += t.literal >= 0 ? 1 : static_cast<size_t>(t.length);
    return n;
}

}  // namespace

// Of the 60 blank strings inserted before the data only the oldest stays in
// its tree, so leading blanks reach back 60 into the blank prefix.
TEST(LzariStream, LeadingBlanksAreOneMatchAtDistanceSixty)
{
    CodecHarness h;
    const std::vector<Token> tokens = EncodeAndRead(h, FromText(std::string(60, ' ') + "tail text"), 1);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].literal, -1);
    EXPECT_EQ(tokens[0].length, 60);
    EXPECT_EQ(tokens[0].distance, 60);
}

TEST(LzariStream, LongRunIsOneLiteralThenOverlappingMatchesAtDistanceOne)
{
    CodecHarness h;
    const std::vector<Token> tokens = EncodeAndRead(h, RunBytes(300, 'x'));
    ASSERT_EQ(tokens.size(), 6u);
    EXPECT_EQ(tokens[0].literal, 'x');
    for (size_t i = 1; i < tokens.size(); ++i) {
        EXPECT_EQ(tokens[i].distance, 1) << "item " << i;
        EXPECT_EQ(tokens[i].length, i < 5 ? 60 : 59) << "item " << i;
    }
}

// Bytes after the input may compare equal (the ring starts zeroed): the
// match is cut to what remains, so the stream codes exactly the input.
TEST(LzariStream, MatchRunningPastTheEndIsCut)
{
    CodecHarness h;
    const std::vector<Token> tokens = EncodeAndRead(h, RunBytes(10, 0));
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].literal, 0);
    EXPECT_EQ(tokens[1].length, 9);
    EXPECT_EQ(tokens[1].distance, 1);
}

TEST(LzariStream, OneAndTwoByteInputsAreLiterals)
{
    CodecHarness h;
    for (const Bytes& input : {Bytes{'Q'}, Bytes{'Q', 'Q'}, Bytes{0, 0}}) {
        const std::vector<Token> tokens = EncodeAndRead(h, input);
        ASSERT_EQ(tokens.size(), input.size());
        for (size_t i = 0; i < tokens.size(); ++i)
            EXPECT_EQ(tokens[i].literal, input[i]);
    }
}

// "abcdZ" matches "abcdX" (distance 10, the older node met first in the
// tree) and "abcdY" (distance 5) equally far: the nearer one is coded.
TEST(LzariStream, EquallyLongMatchesTakeTheNearest)
{
    CodecHarness h;
    const std::vector<Token> tokens = EncodeAndRead(h, FromText("abcdXabcdYabcdZ"));
    // a b c d X, match(4) Y, match(4) Z
    ASSERT_EQ(tokens.size(), 9u);
    EXPECT_EQ(tokens[5].length, 4);
    EXPECT_EQ(tokens[5].distance, 5);
    EXPECT_EQ(tokens[6].literal, 'Y');
    EXPECT_EQ(tokens[7].length, 4);
    EXPECT_EQ(tokens[7].distance, 5);
    EXPECT_EQ(tokens[8].literal, 'Z');
    EXPECT_EQ(CodedLength(tokens), 15u);
}

TEST(LzariStream, LongerMatchBeatsNearerOne)
{
    CodecHarness h;
    // At the end, "abcdef" lies 14 back and "abcdQ" only 7 back.
    const std::vector<Token> tokens = EncodeAndRead(h, FromText("abcdef!abcdQ#%abcdef"));
    ASSERT_FALSE(tokens.empty());
    const Token& last = tokens.back();
    EXPECT_EQ(last.length, 6);
    EXPECT_EQ(last.distance, 14);
}

TEST(LzariModel, StartsWithEachCodeAtItsOwnSymbol)
{
    CLzariProbe m;
    m.InitModels();
    EXPECT_EQ(m.FreqTotal(), 314u);
    for (int code = 0; code < CLzariCodec::CHAR_CODE_COUNT; ++code)
        ASSERT_EQ(m.SymbolOfCode(code), code + 1);
}

// 314 at the start plus 32453 updates reach 32767; the 32454th update halves
// first (rounding up) and then counts its own code.
TEST(LzariModel, FirstHalvingAtThe32454thCharacterCode)
{
    CLzariProbe m;
    m.InitModels();
    for (int n = 0; n < 32453; ++n)
        m.UpdateModel(1);
    EXPECT_EQ(m.FreqTotal(), 32767u);
    EXPECT_EQ(m.SymbolFreq(1), 32454u);
    m.UpdateModel(1);
    EXPECT_EQ(m.SymbolFreq(1), (32454u + 1) / 2 + 1);
    EXPECT_EQ(m.SymbolFreq(2), 1u);
    EXPECT_EQ(m.FreqTotal(), (32454u + 1) / 2 + 1 + 313);
}

// A code whose frequency ties with higher-ranked symbols moves to the first
// of them, keeping the symbols ordered by falling frequency.
TEST(LzariModel, UpdateMovesCodeAheadOfEqualFrequencies)
{
    CLzariProbe m;
    m.InitModels();
    m.UpdateModel(m.SymbolOfCode('e'));
    EXPECT_EQ(m.SymbolOfCode('e'), 1);
    EXPECT_EQ(m.SymbolOfCode(0), 'e' + 1);
    EXPECT_EQ(m.SymbolFreq(1), 2u);
    m.UpdateModel(m.SymbolOfCode('t'));
    EXPECT_EQ(m.SymbolOfCode('t'), 2);
    EXPECT_EQ(m.FreqTotal(), 316u);
    m.UpdateModel(m.SymbolOfCode('t'));
    EXPECT_EQ(m.SymbolOfCode('t'), 1);
    EXPECT_EQ(m.SymbolOfCode('e'), 2);
}

// When the final bit completes a byte the flush writes nothing more; a part
// byte is padded with zero bits; an unused writer writes nothing.
TEST(LzariBits, FlushCompletesOnlyAPartByte)
{
    CodecHarness h;
    struct Case {
        int bits;
        size_t bytes;
        uint8_t last;
    } const cases[] = {{0, 0, 0}, {8, 1, 0xFF}, {9, 2, 0x80}, {15, 2, 0xFE}, {16, 2, 0xFF}};
    for (const Case& c : cases) {
        const CString path = h.PathOf("bits.dat");
        FILE* f = FsOpenStream(path, "wb");
        ASSERT_NE(f, nullptr);
        CLzariProbe w;
        w.m_pOut = f;
        for (int i = 0; i < c.bits; ++i)
            w.WriteBit(1);
        w.FlushBits();
        EXPECT_EQ(w.CodeSize(), c.bytes) << c.bits << " bits";
        std::fclose(f);
        Bytes written;
        ASSERT_TRUE(ReadFileBytes(path, &written));
        ASSERT_EQ(written.size(), c.bytes) << c.bits << " bits";
        if (!written.empty()) {
            EXPECT_EQ(written.back(), c.last) << c.bits << " bits";
        }
    }
}
