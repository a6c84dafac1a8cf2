// Reading the directory from the end of the file.
#include "EngineFixture.h"

#include <algorithm>

#include "archive/SfxArchiveWriter.h"

namespace {

TEST(ArchiveLayout, OneEntryEndsWithOffsetSizeNameLengthCountMagic)
{
    const std::string stub(100, 'S');
    const std::string image = SfxBuildImage(stub, {{"\xD5\x5C\\a.txt.zup", std::string(4, '\0')}});
    const std::string name = "\xD5\x5C\\a.txt.zup";
    ASSERT_EQ(image.size(), stub.size() + 4 + 12 + name.size() + 14);
    size_t at = stub.size() + 4;
    EXPECT_EQ(GetLe32(image, at), 100u);  // payload offset: the end of the image
    EXPECT_EQ(GetLe32(image, at + 4), 4u);
    EXPECT_EQ(image.substr(at + 8, name.size()), name);
    EXPECT_EQ(GetLe32(image, at + 8 + name.size()), name.size());  // bytes, not characters
    EXPECT_EQ(GetLe32(image, image.size() - 14), 1u);
    EXPECT_EQ(image.substr(image.size() - 10), "!DRAV_SFX!");
}

TEST_F(EngineTest, ReadsEveryRecordUnderItsEntryNumber)
{
    std::vector<FixtureFile> files;
    for (int i = 0; i < 40; ++i)
        files.push_back({"dir" + std::to_string(i % 3) + "\\file" + std::to_string(i) + ".bin", std::string(i, 'x')});
    WriteArchive(files);
    ASSERT_EQ(m_archive.ReadDirectory(m_archivePath), SFX_OK);
    ASSERT_EQ(m_archive.GetEntryCount(), 40);
    int32_t expectedOffset = 4096;
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(m_archive.GetEntry(i).GetName(), CString((files[i].name + ".zup").c_str()));
        EXPECT_EQ(m_archive.GetEntry(i).m_nOffset, expectedOffset);
        expectedOffset += m_archive.GetEntry(i).m_nPackedSize;
    }
}

TEST_F(EngineTest, AFullTableOf256EntriesIsAccepted)
{
    std::vector<FixtureFile> files;
    for (int i = 0; i < SFX_MAX_ENTRIES; ++i)
        files.push_back({"f" + std::to_string(i), ""});
    WriteArchive(files);
    ASSERT_EQ(Extract(), SFX_OK);
    EXPECT_EQ(m_calls.size(), 256u);
}

TEST_F(EngineTest, MissingMagicOrNoEntriesWritesNothingAndCallsNothing)
{
    std::string image = MakeInstallerImage({{"a.txt", "a"}});
    // No total is published for an archive that is not there.
    m_run.m_nTotal = -1;
    for (size_t i = image.size() - 10; i < image.size(); ++i) {
        std::string bad = image;
        bad[i] = static_cast<char>(bad[i] ^ 0x20);  // also flips letter case
        WriteBinaryFile(m_archivePath, bad);
        EXPECT_EQ(Extract(), SFX_ERR_NO_MAGIC) << "byte " << i;
    }
    // A file shorter than the magic carries no archive either.
    WriteBinaryFile(m_archivePath, "!DRAV");
    EXPECT_EQ(Extract(), SFX_ERR_NO_MAGIC);

    WriteBinaryFile(m_archivePath, std::string(64, 'M') + std::string(4, '\0') + "!DRAV_SFX!");
    EXPECT_EQ(Extract(), SFX_ERR_EMPTY);
    // A count of 0 right after the start of the file: empty, not damaged.
    WriteBinaryFile(m_archivePath, std::string(4, '\0') + "!DRAV_SFX!");
    EXPECT_EQ(Extract(), SFX_ERR_EMPTY);

    EXPECT_TRUE(m_calls.empty());
    EXPECT_TRUE(ListFilesBelow(m_dest).empty());
    EXPECT_EQ(m_app.m_createdFolders.GetSize(), 0);
    EXPECT_EQ(m_run.m_nTotal, -1);
}

TEST_F(EngineTest, MissingArchiveFileIsReported)
{
    EXPECT_EQ(Extract(), SFX_ERR_OPEN_SELF);
    EXPECT_FALSE(m_archive.GetLastErrorText().IsEmpty());
}

TEST_F(EngineTest, ReadingTwiceStartsFromAFreshTable)
{
    WriteArchive({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    ASSERT_EQ(m_archive.ReadDirectory(m_archivePath), SFX_OK);
    WriteArchive({{"z", "9"}});
    ASSERT_EQ(m_archive.ReadDirectory(m_archivePath), SFX_OK);
    EXPECT_EQ(m_archive.GetEntryCount(), 1);
    EXPECT_TRUE(m_archive.GetEntry(1).GetName().IsEmpty());
    EXPECT_EQ(m_archive.GetEntry(1).m_nPackedSize, 0);
}

TEST_F(EngineTest, SignedSetupReadsAsItsUnsignedBuildWhateverThePadding)
{
    std::vector<size_t> paddings;
    for (int extra = 0; extra < 8; ++extra) {
        const std::vector<FixtureFile> files = {{"a" + std::string(extra, 'x') + ".txt", "signed payload"}};
        const std::string unsignedImage = MakeInstallerImage(files, MinimalPeStub());
        paddings.push_back((8 - unsignedImage.size() % 8) % 8);
        WriteBinaryFile(m_archivePath, SignImage(unsignedImage));
        ASSERT_EQ(Extract(), SFX_OK) << extra;
        EXPECT_EQ(m_archive.GetArchiveEnd(), static_cast<int64_t>(unsignedImage.size()));
        EXPECT_EQ(m_archive.GetCertificateTableSize(), 1000u);
        EXPECT_EQ(ReadDest(("a" + std::string(extra, 'x') + ".txt").c_str()), "signed payload");
    }
    std::sort(paddings.begin(), paddings.end());
    EXPECT_EQ(paddings, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(EngineTest, AMalformedCertificateDirectoryIsNoSignature)
{
    const std::string unsignedImage = MakeInstallerImage({{"a.txt", "a"}}, MinimalPeStub());
    ASSERT_NE(unsignedImage.size() % 8, 0u);  // so that there is padding
    const std::string good = SignImage(unsignedImage);
    const uint32_t table = GetLe32(good, kPeSecurityEntry), size = GetLe32(good, kPeSecurityEntry + 4);
    struct Variant {
        const char* label;
        size_t at;
        uint32_t value;
    };
    const Variant variants[] = {
        {"past the end of the file", kPeSecurityEntry + 4, size + 1},
        {"short of the end", kPeSecurityEntry + 4, size - 1},
        {"empty", kPeSecurityEntry + 4, 0},
        {"over the headers", 0x98 + 60, table + 8},
        {"too few data directories", 0x98 + 92, 4},
        {"PE header offset outside the file", 0x3C, 0xFFFFFFF0u},
        {"non-zero padding", table - 4, 0x01000000},
    };
    // Read from the end of the file as unsigned: there stands the table.
    for (const Variant& v : variants) {
        std::string bad = good;
        PutLe32(&bad, v.at, v.value);
        WriteBinaryFile(m_archivePath, bad);
        EXPECT_EQ(m_archive.ReadDirectory(m_archivePath), SFX_ERR_NO_MAGIC) << v.label;
        EXPECT_EQ(m_archive.GetCertificateTableSize(), 0u) << v.label;
    }
    // A directory that names no table in an unsigned file changes nothing,
    // and a signed archive that is damaged keeps its failure code.
    std::string pointless = unsignedImage;
    PutLe32(&pointless, kPeSecurityEntry, 0x300);
    PutLe32(&pointless, kPeSecurityEntry + 4, 16);
    WriteBinaryFile(m_archivePath, pointless);
    EXPECT_EQ(m_archive.ReadDirectory(m_archivePath), SFX_OK);
    EXPECT_EQ(m_archive.GetEntry(0).GetName(), CString("a.txt.zup"));
    std::string empty = good;
    PutLe32(&empty, unsignedImage.size() - 14, 0);
    WriteBinaryFile(m_archivePath, empty);
    EXPECT_EQ(m_archive.ReadDirectory(m_archivePath), SFX_ERR_EMPTY);
}

}  // namespace
