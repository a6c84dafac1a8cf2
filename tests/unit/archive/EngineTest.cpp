// The extraction walk: order, counts, keep mode, replacement of old files
// and the folders it creates.
#include "EngineFixture.h"

#include "framework/FileSystem.h"

namespace {

std::vector<FixtureFile> SmallTree()
{
    TestRandom random(7);
    return {
        {"readme.txt", "hello installer\r\n"},
        {"bin\\core.dll", random.Bytes(5000)},
        {"bin\\lang\\zh.ini", random.Text(3000)},
        {"empty.dat", ""},
    };
}

TEST_F(EngineTest, UnpacksEveryEntryFromTheLastToTheFirst)
{
    const auto files = SmallTree();
    WriteArchive(files);
    ASSERT_EQ(Extract(), SFX_OK);

    for (const FixtureFile& f : files)
        EXPECT_EQ(ReadDest(f.name.c_str()), f.content) << f.name;
    // Only the final files remain: no temporary ".zup" file is left.
    EXPECT_EQ(ListFilesBelow(m_dest),
              (std::vector<std::string>{"bin\\core.dll", "bin\\lang\\zh.ini", "empty.dat", "readme.txt"}));

    EXPECT_EQ(m_run.m_nTotal, 4);
    ASSERT_EQ(m_calls.size(), 4u);
    EXPECT_EQ(m_calls[0].name, "empty.dat.zup");
    EXPECT_EQ(m_calls[1].name, "bin\\lang\\zh.ini.zup");
    EXPECT_EQ(m_calls[3].name, "readme.txt.zup");
    for (size_t i = 0; i < m_calls.size(); ++i) {
        EXPECT_EQ(m_calls[i].processed, static_cast<int>(i) + 1);
        // The total is known before the first entry, so the bar's first step is right.
        EXPECT_EQ(m_calls[i].total, 4) << "callback " << i;
    }
}

TEST_F(EngineTest, NullCallbackStillPublishesCounts)
{
    WriteArchive(SmallTree());
    ASSERT_EQ(m_archive.ExtractAll(m_dest, nullptr, nullptr), SFX_OK);
    EXPECT_EQ(m_run.m_nProcessed, 4);
}

TEST_F(EngineTest, KeepModeLeavesProtectedFilesAndCountsThemAsVisited)
{
    // Entry 0 is protected and visited last; entry 2 is protected in the middle.
    WriteArchive({{"user\\keep02.pst", "new 2"}, {"a.txt", "A"}, {"user\\keep01.pst", "new 1"}, {"b.txt", "B"}});
    FsMakeFolder(m_dest);
    FsMakeFolder(m_dest + "\\user");
    WriteBinaryFile(m_dest + "\\user\\keep01.pst", "old user data 1");
    WriteBinaryFile(m_dest + "\\user\\keep02.pst", "old user data 2");
    m_run.m_bKeepDataMode = true;

    ASSERT_EQ(Extract(), SFX_OK);
    EXPECT_EQ(ReadDest("user\\keep01.pst"), "old user data 1");
    EXPECT_EQ(ReadDest("user\\keep02.pst"), "old user data 2");
    EXPECT_EQ(ReadDest("a.txt"), "A");
    ASSERT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(m_calls[0].name, "b.txt.zup");
    EXPECT_EQ(m_calls[0].processed, 1);
    EXPECT_EQ(m_calls[1].name, "a.txt.zup");
    EXPECT_EQ(m_calls[1].processed, 3);  // jumps over the skipped entry
    EXPECT_EQ(m_run.m_nProcessed, 3);    // the last entry was skipped: below the total
    EXPECT_EQ(m_run.m_nTotal, 4);
}

TEST_F(EngineTest, MarkerFileTurnsKeepModeOn)
{
    WriteArchive({{"user\\keep01.pst", "new 1"}, {"user\\keep03.pst", "new 3"}, {"x.txt", "x"}});
    FsMakeFolder(m_dest);
    FsMakeFolder(m_dest + "\\user");
    WriteBinaryFile(m_dest + "\\user\\keep01.pst", "old 1");
    ASSERT_FALSE(m_run.m_bKeepDataMode);

    ASSERT_EQ(Extract(), SFX_OK);
    EXPECT_TRUE(m_run.m_bKeepDataMode);
    EXPECT_EQ(ReadDest("user\\keep01.pst"), "old 1");
    EXPECT_FALSE(FileExists(m_dest + "\\user\\keep03.pst"));  // skipped too
    EXPECT_EQ(ReadDest("x.txt"), "x");
}

TEST_F(EngineTest, WithoutMarkerProtectedFilesAreReplaced)
{
    WriteArchive({{"user\\keep02.pst", "new 2"}, {"USER\\KEEP03.pst", "upper"}});
    FsMakeFolder(m_dest);
    FsMakeFolder(m_dest + "\\user");
    WriteBinaryFile(m_dest + "\\user\\keep02.pst", "old 2");

    ASSERT_EQ(Extract(), SFX_OK);
    EXPECT_FALSE(m_run.m_bKeepDataMode);
    EXPECT_EQ(ReadDest("user\\keep02.pst"), "new 2");
    EXPECT_EQ(m_calls.size(), 2u);
}

TEST_F(EngineTest, NameDifferingOnlyInCaseIsNotProtected)
{
    WriteArchive({{"User\\Keep02.pst", "unpacked"}, {"user\\keep02.pst", "kept"}});
    m_run.m_bKeepDataMode = true;
    ASSERT_EQ(Extract(), SFX_OK);
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].name, "User\\Keep02.pst.zup");
}

TEST_F(EngineTest, ReadOnlyOldFileIsReplacedAndNoFolderIsTriedForIt)
{
    WriteArchive({{"sub\\app.cfg", "new config"}});
    FsMakeFolder(m_dest);
    FsMakeFolder(m_dest + "\\sub");
    WriteBinaryFile(m_dest + "\\sub\\app.cfg", "old config that is longer");
    ASSERT_TRUE(FsSetReadOnly(m_dest + "\\sub\\app.cfg"));

    ASSERT_EQ(Extract(), SFX_OK);
    EXPECT_EQ(ReadDest("sub\\app.cfg"), "new config");
    EXPECT_EQ(m_app.m_createdFolders.GetSize(), 0);
}

TEST_F(EngineTest, SuffixAndFolderEdgeCases)
{
    // A file whose own name ends in ".zup" keeps it; a name without a
    // backslash lands in the folder itself.
    WriteArchive({{"notes.zup", "double suffix"}, {"top.bin", std::string(1, '\0')}, {"nothing", ""}});
    ASSERT_EQ(Extract(m_dest + "\\"), SFX_OK);
    EXPECT_EQ(ReadDest("notes.zup"), "double suffix");
    EXPECT_EQ(ReadDest("top.bin"), std::string(1, '\0'));
    EXPECT_EQ(ReadDest("nothing"), "");
    EXPECT_EQ(m_calls[2].name, "notes.zup.zup");
}

TEST_F(EngineTest, GbkFolderWithBackslashTrailByteCreatesExactlyItsFolders)
{
    // "誠" is D5 5C and "錦" E5 5C: their second byte is a backslash.
    const std::string sincere = "\xD5\x5C";
    const std::string brocade = "\xE5\x5C";
    WriteArchive({{sincere + "\\" + brocade + ".txt", "gbk"}});
    const CString dest = m_dir.Path() + "\\" + sincere.c_str();

    ASSERT_EQ(Extract(dest), SFX_OK);
    EXPECT_EQ(ReadBinaryFile(dest + "\\" + sincere.c_str() + "\\" + brocade.c_str() + ".txt"), "gbk");
    // The folder given ends in 0x5C, yet it still gets its own separator.
    const int n = m_app.m_createdFolders.GetSize();
    ASSERT_GE(n, 2);
    EXPECT_EQ(m_app.m_createdFolders.GetAt(n - 1), dest + "\\" + sincere.c_str());
    EXPECT_EQ(m_app.m_createdFolders.GetAt(n - 2), dest);
    for (int i = 0; i < n; ++i) {
        const CString& folder = m_app.m_createdFolders.GetAt(i);
        // No prefix ends in the middle of a character.
        EXPECT_NE(folder.Right(1), "\xD5") << folder.GetString();
        EXPECT_NE(folder.Right(1), "\xE5") << folder.GetString();
    }
}

TEST_F(EngineTest, FolderWithAndWithoutTrailingBackslashGivesTheSamePaths)
{
    WriteArchive({{"a\\b.txt", "1"}});
    const CString plain = m_dir.Path() + "\\plain";
    const CString slashed = m_dir.Path() + "\\slashed\\";
    ASSERT_EQ(Extract(plain), SFX_OK);
    ASSERT_EQ(Extract(slashed), SFX_OK);
    const CStringArray& folders = m_app.m_createdFolders;
    const int n = folders.GetSize();
    ASSERT_GE(n, 4);
    EXPECT_EQ(folders.GetAt(n - 4), plain);
    EXPECT_EQ(folders.GetAt(n - 3), plain + "\\a");
    EXPECT_EQ(folders.GetAt(n - 2), m_dir.Path() + "\\slashed");
    EXPECT_EQ(folders.GetAt(n - 1), m_dir.Path() + "\\slashed\\a");
    EXPECT_EQ(ReadBinaryFile(slashed + "a\\b.txt"), "1");
}

TEST_F(EngineTest, EachFolderIsTriedOncePerRun)
{
    WriteArchive({{"d\\1.txt", "1"}, {"d\\2.txt", "2"}, {"d\\e\\3.txt", "3"}});
    ASSERT_EQ(Extract(), SFX_OK);
    CStringArray& folders = m_app.m_createdFolders;
    for (int i = 0; i < folders.GetSize(); ++i)
        for (int j = i + 1; j < folders.GetSize(); ++j)
            EXPECT_NE(folders.GetAt(i), folders.GetAt(j));
    // The last entry comes first, so its folders are made first.
    EXPECT_EQ(folders.GetAt(folders.GetSize() - 2), m_dest + "\\d");
    EXPECT_EQ(folders.GetAt(folders.GetSize() - 1), m_dest + "\\d\\e");
}

TEST(EnsureTrailingBackslash, LooksAtTheLastCharacter)
{
    CSfxArchive archive;
    CString s("c:\\Dest");
    EXPECT_EQ(archive.EnsureTrailingBackslash(s), "c:\\Dest\\");
    EXPECT_EQ(s, "c:\\Dest\\");
    s = "c:\\Dest\\";
    EXPECT_EQ(archive.EnsureTrailingBackslash(s), "c:\\Dest\\");
    s = "";
    EXPECT_EQ(archive.EnsureTrailingBackslash(s), "\\");
    s = "c:\\\xD5\x5C";
    EXPECT_EQ(archive.EnsureTrailingBackslash(s), "c:\\\xD5\x5C\\");
}

TEST(SfxIsSameFolder, IgnoresCaseOfLettersOnlyNotOfSecondBytes)
{
    EXPECT_TRUE(SfxIsSameFolder("C:\\Orvex\xCD\xA8\\", "c:\\orvex\xCD\xA8"));
    // B5 41 and B5 61 are two different characters, not one in two cases:
    // taken for one folder, a new installation would be missing its user data.
    EXPECT_FALSE(SfxIsSameFolder("c:\\\xB5\x41", "c:\\\xB5\x61"));
    EXPECT_FALSE(SfxIsSameFolder("c:\\a", "c:\\ab"));
}

TEST(IsInStringList, ExactCaseSensitiveComparison)
{
    CStringArray list;
    EXPECT_FALSE(IsInStringList(list, "a"));
    list.Add("user\\keep01.pst");
    list.Add("b");
    EXPECT_TRUE(IsInStringList(list, "b"));
    EXPECT_TRUE(IsInStringList(list, "user\\keep01.pst"));
    EXPECT_FALSE(IsInStringList(list, "user/keep01.pst"));
    EXPECT_FALSE(IsInStringList(list, "USER\\keep01.pst"));
}

}  // namespace
