// The digests in the program image: SHA-256 itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "archive/Sha256.h"

namespace {

std::string Hex(const CSha256::Digest& digest)
{
    std::string out;
    char two[3];
    for (uint8_t b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

TEST(Sha256Test, KnownDigestsWhateverThePieces)
{
    const auto digest = [](const std::string& text, size_t piece) {
        CSha256 hash;
        for (size_t i = 0; i < text.size(); i += piece)
            hash.Update(text.data() + i, std::min(piece, text.size() - i));
        return Hex(hash.Finish());
    };
    EXPECT_EQ(digest("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks once padded.
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (size_t piece : {size_t(1), size_t(7), two.size()})
        EXPECT_EQ(digest(two, piece), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1") << piece;
    // Whole blocks from the caller's memory, and pieces across block ends.
    for (size_t piece : {size_t(1), size_t(63), size_t(64), size_t(65), size_t(1000)})
        EXPECT_EQ(digest(std::string(1000, 'a'), piece),
                  "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3") << piece;
}

}  // namespace
