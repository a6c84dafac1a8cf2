// Checked-in streams made by the native build: every target must pack each
// sample to exactly these bytes and unpack them back to the sample.
#include <gtest/gtest.h>

#include "LzariTestData.h"
#include "LzariTestUtil.h"
#include "lzari/LzariCodeFile.h"

namespace {
// repeats_64k: runs and copies at every distance, many of them 60 bytes or
// longer, so that the match trees replace, delete and re-hang nodes with two
// children throughout (its stream comes from the straightforward encoder).
const char* const kSamples[] = {"empty",    "one_byte",  "two_bytes", "text_short", "blanks_lead", "run_long",
                                "all_bytes", "ties",      "random_5k", "text_10k",   "mixed_40k",   "random_34k",
                                "repeats_64k"};

CString DataPath(const char* name, const char* ext)
{
    CString path = SFX_TEST_DATA_DIR;
    return path + "\\" + name + ext;
}
}  // namespace

TEST(LzariGolden, EncodesToTheCheckedInStreams)
{
    CodecHarness h;
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        Bytes golden;
        ASSERT_TRUE(ReadFileBytes(DataPath(name, ".lzari"), &golden)) << "missing sample stream";
        ASSERT_EQ(LzariCodeFile(DataPath(name, ".bin"), h.PathOf("packed.zup"), true), LZARI_OK);
        Bytes packed;
        ASSERT_TRUE(ReadFileBytes(h.PathOf("packed.zup"), &packed));
        EXPECT_TRUE(packed == golden) << "packed " << packed.size() << " bytes, expected " << golden.size();
    }
}

TEST(LzariGolden, DecodesTheCheckedInStreams)
{
    CodecHarness h;
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        Bytes input;
        ASSERT_TRUE(ReadFileBytes(DataPath(name, ".bin"), &input));
        ASSERT_EQ(LzariCodeFile(DataPath(name, ".lzari"), h.PathOf("plain.dat"), false), LZARI_OK);
        Bytes plain;
        ASSERT_TRUE(ReadFileBytes(h.PathOf("plain.dat"), &plain));
        EXPECT_TRUE(plain == input);
    }
}
