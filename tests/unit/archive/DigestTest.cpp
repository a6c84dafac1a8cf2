// The digests in the program image: SHA-256 itself, what the check finds
// behind the image and in the section, and the CheckSum of the setup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "archive/SfxArchive.h"
#include "archive/SfxArchiveWriter.h"
#include "archive/SfxDigest.h"
#include "archive/Sha256.h"
#include "support/ArchiveFixtures.h"
#include "support/DigestStub.h"
#include "support/TempDir.h"

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

// A setup of three entries on the stub with the section, checked as the
// engine checks it.
class DigestCheckTest : public ::testing::Test {
protected:
    DigestCheckTest()
    {
        m_path = m_dir.Path() + "\\setup.exe";
        TestRandom random(17);
        // Odd sizes: the CheckSum's pieces start at odd offsets too.
        m_image = MakeInstallerImage({{"a.txt", random.Text(3001)}, {"bin\\b.dll", random.Bytes(300001)},
                                      {"c.ini", "x=1\r\n"}},
                                     StubWithDigestSection());
        WriteBinaryFile(m_path, m_image);
        CSfxArchive archive;
        EXPECT_EQ(archive.ReadDirectory(m_path), SFX_OK);
        for (int i = 0; i < 3; ++i)
            m_payload[i] = static_cast<size_t>(archive.GetEntry(i).m_nOffset);
        m_directory = static_cast<size_t>(archive.GetDirectoryStart());
    }

    // The check's verdict on image, and the entry it names (-2 unless damaged).
    std::pair<int, int> Check(const std::string& image, const bool* check = nullptr, SfxPulseFn pulse = nullptr,
                              void* context = nullptr)
    {
        WriteBinaryFile(m_path, image);
        CSfxArchive archive;
        EXPECT_EQ(archive.ReadDirectory(m_path), SFX_OK);
        CFile file;
        EXPECT_TRUE(file.Open(m_path, CFile::modeRead));
        int bad = -2;
        const int result = SfxCheckDigests(file, archive, check, pulse, context, &bad);
        return {result, result == SFX_ERR_DAMAGED ? bad : -2};
    }

    static std::string Flip(std::string image, size_t at)
    {
        image[at] = static_cast<char>(image[at] ^ 0x01);
        return image;
    }

    TempDir m_dir;
    CString m_path;
    std::string m_image;
    size_t m_payload[3] = {};
    size_t m_directory = 0;
};

using Verdict = std::pair<int, int>;

TEST_F(DigestCheckTest, AChangedByteBehindTheImageNamesItsEntryOrTheDirectory)
{
    EXPECT_EQ(Check(m_image), Verdict(SFX_OK, -2));
    // A payload: its first, a middle and its last byte.
    for (int i = 0; i < 3; ++i) {
        const size_t end = i < 2 ? m_payload[i + 1] : m_directory;
        for (size_t at : {m_payload[i], (m_payload[i] + end) / 2, end - 1})
            EXPECT_EQ(Check(Flip(m_image, at)), Verdict(SFX_ERR_DAMAGED, i)) << "entry " << i << " byte " << at;
    }
    // The directory: a byte of a stored name still reads as a directory.
    EXPECT_EQ(Check(Flip(m_image, m_directory + 8)), Verdict(SFX_ERR_DAMAGED, -1));
    // The count one lower: the first record is taken for payload bytes.
    std::string fewer = m_image;
    PutLe32(&fewer, fewer.size() - 14, 2);
    EXPECT_EQ(Check(fewer), Verdict(SFX_ERR_DAMAGED, -1));
}

TEST_F(DigestCheckTest, AChangedByteInTheSectionIsDamageToo)
{
    const size_t slots = kDigestSectionAt + SFX_DIGEST_HEADER_LENGTH;
    EXPECT_EQ(Check(Flip(m_image, kDigestSectionAt)), Verdict(SFX_ERR_DAMAGED, -1));  // the tag
    EXPECT_EQ(Check(Flip(m_image, kDigestSectionAt + 12)), Verdict(SFX_ERR_DAMAGED, -1));  // the count
    EXPECT_EQ(Check(Flip(m_image, slots + 5)), Verdict(SFX_ERR_DAMAGED, -1));  // the directory's digest
    EXPECT_EQ(Check(Flip(m_image, slots + 3 * SFX_DIGEST_LENGTH)), Verdict(SFX_ERR_DAMAGED, 2));
    EXPECT_EQ(Check(Flip(m_image, slots + 4 * SFX_DIGEST_LENGTH)), Verdict(SFX_ERR_DAMAGED, -1));  // an unused slot
}

TEST_F(DigestCheckTest, EntriesLeftOutAreNotReadAndASignedSetupChecksInFrontOfItsSignature)
{
    // Keep mode leaves entry 1 out: its damage is not the run's.
    const bool allButOne[3] = {true, false, true};
    EXPECT_EQ(Check(Flip(m_image, m_payload[1]), allButOne), Verdict(SFX_OK, -2));
    EXPECT_EQ(Check(Flip(m_image, m_payload[2]), allButOne), Verdict(SFX_ERR_DAMAGED, 2));

    EXPECT_EQ(Check(SignImage(m_image)), Verdict(SFX_OK, -2));
    EXPECT_EQ(Check(SignImage(Flip(m_image, m_payload[0]))), Verdict(SFX_ERR_DAMAGED, 0));
}

TEST_F(DigestCheckTest, WithoutAFilledSectionThereIsNothingToCheck)
{
    // A stub without the section, and an archive appended behind the empty
    // section by a writer that knows only the archive layout.
    std::string plain = MakeInstallerImage({{"a.txt", "a"}});
    EXPECT_EQ(Check(Flip(plain, 4096)), Verdict(SFX_OK, -2));
    const std::string stub = StubWithDigestSection();
    const std::vector<SfxPackedEntry> entries = PackFiles({{"a.txt", "a"}});
    const std::string appended = stub + entries[0].packed + SfxEncodeDirectory(static_cast<uint32_t>(stub.size()), entries);
    EXPECT_EQ(Check(Flip(appended, stub.size())), Verdict(SFX_OK, -2));
}

struct PulseCount {
    int calls = 0;
    int stopAt = -1;
};

bool CountPulse(void* context)
{
    PulseCount* count = static_cast<PulseCount*>(context);
    return ++count->calls != count->stopAt;
}

TEST_F(DigestCheckTest, ThePulseComesEvery64KiBAndCanStopTheCheck)
{
    PulseCount count;
    EXPECT_EQ(Check(m_image, nullptr, &CountPulse, &count), Verdict(SFX_OK, -2));
    const size_t hashed = m_image.size() - m_payload[0];  // the payloads and the directory
    EXPECT_EQ(count.calls, static_cast<int>(hashed / (64 * 1024)));
    PulseCount stop;
    stop.stopAt = 2;
    EXPECT_EQ(Check(m_image, nullptr, &CountPulse, &stop), Verdict(SFX_ERR_CANCELLED, -2));
    EXPECT_EQ(stop.calls, 2);
}

// The CheckSum as the PE format describes it: a running 16-bit sum with the
// carry folded back after every word, an odd end padded with a zero byte.
uint32_t ReferenceChecksum(std::string image, size_t field)
{
    const uint32_t length = static_cast<uint32_t>(image.size());
    PutLe32(&image, field, 0);
    if (image.size() % 2)
        image += '\0';
    uint32_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        sum += static_cast<unsigned char>(image[i]) | (static_cast<unsigned char>(image[i + 1]) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + length;
}

TEST(DigestWriterTest, TheSetupCarriesItsOwnCheckSum)
{
    const size_t field = 0x98 + 64;
    // One of the two ends on an odd length.
    for (const std::string last : {"x=1", "x=12"}) {
        const std::string image = MakeInstallerImage({{"a.txt", TestRandom(3).Text(3001)}, {"c.ini", last}},
                                                     StubWithDigestSection());
        EXPECT_EQ(GetLe32(image, field), ReferenceChecksum(image, field)) << image.size();
    }
    // A stub without a CheckSum keeps none.
    std::string stub = StubWithDigestSection();
    PutLe32(&stub, field, 0);
    EXPECT_EQ(GetLe32(MakeInstallerImage({{"a.txt", "a"}}, stub), field), 0u);
}

}  // namespace
