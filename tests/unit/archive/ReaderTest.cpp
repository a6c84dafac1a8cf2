// Reading the directory from the end of the file.
#include "EngineFixture.h"

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

}  // namespace
