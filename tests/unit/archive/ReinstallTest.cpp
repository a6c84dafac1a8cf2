// Installing over an earlier installation is all or nothing: what can be
// known beforehand stops the run before its first write, and a run that
// fails later puts the folder back as it found it.
#include <string>

#include "EngineFixture.h"
#include "archive/SfxArchiveWriter.h"
#include "framework/FileSystem.h"
#include "support/HeldOpen.h"


namespace {

class ReinstallTest : public EngineTest {
protected:
    // An earlier installation: a read-only file, a file in a folder, and
    // a file of the user's that no entry names.
    void MakeEarlierInstallation()
    {
        FsMakeFolder(m_dest);
        FsMakeFolder(m_dest + "\\data");
        WriteBinaryFile(m_dest + "\\Rendo.exe", "earlier client");
        FsSetReadOnly(m_dest + "\\Rendo.exe");
        WriteBinaryFile(m_dest + "\\data\\text.txt", "earlier text");
        WriteBinaryFile(m_dest + "\\data\\mine.txt", "the user's own");
    }
    // The entries of a newer version; the first one (unpacked last) is
    // damaged when asked: its stream is cut by one byte.
    void WriteNewVersion(bool damaged)
    {
        const std::string config = PackBytes("new config");
        WriteBinaryFile(m_archivePath,
                        SfxBuildImage(std::string(4096, 'M'),
                                      {{"config\\client.ini.zup", damaged ? config.substr(0, config.size() - 1) : config},
                                       {"data\\text.txt.zup", PackBytes("new text")},
                                       {"Rendo.exe.zup", PackBytes("new client")}}));
    }
};

TEST_F(ReinstallTest, AFailedRunPutsTheEarlierInstallationBackAndTheNextRunInstalls)
{
    MakeEarlierInstallation();
    const std::string before = DescribeTree(m_dest);
    WriteNewVersion(true);
    EXPECT_EQ(Extract(), SFX_ERR_DAMAGED);
    EXPECT_TRUE(m_archive.HasWritten());
    EXPECT_TRUE(m_archive.WasUndoneWhole());
    EXPECT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(DescribeTree(m_dest), before);

    // The folders the failed run made and removed are made again.
    WriteNewVersion(false);
    ASSERT_EQ(Extract(), SFX_OK);
    EXPECT_EQ(ReadDest("config\\client.ini"), "new config");
    EXPECT_EQ(ReadDest("Rendo.exe"), "new client");
    EXPECT_EQ(ListFilesBelow(m_dest),
              (std::vector<std::string>{"Rendo.exe", "config\\client.ini", "data\\mine.txt", "data\\text.txt"}));
}

TEST_F(ReinstallTest, AFileNamedTwiceIsReplacedOnceAndPutBackOnce)
{
    MakeEarlierInstallation();
    const std::string before = DescribeTree(m_dest);
    // The last entry is unpacked first; the first one, last, is cut short.
    const std::string cut = PackBytes("cut short");
    const auto image = [&](bool damaged) {
        return SfxBuildImage(std::string(4096, 'M'), {{"x.txt.zup", damaged ? cut.substr(0, cut.size() - 1) : cut},
                                                      {"Rendo.exe.zup", PackBytes("second")},
                                                      {"Rendo.exe.zup", PackBytes("first")}});
    };
    WriteBinaryFile(m_archivePath, image(true));
    EXPECT_EQ(Extract(), SFX_ERR_DAMAGED);
    EXPECT_EQ(DescribeTree(m_dest), before);
    WriteBinaryFile(m_archivePath, image(false));
    ASSERT_EQ(Extract(), SFX_OK) << m_archive.GetLastErrorText().GetString();
    EXPECT_EQ(ReadDest("Rendo.exe"), "second");
    EXPECT_FALSE(FileExists(m_dest + "\\Rendo.exe.zbk"));
}

TEST_F(ReinstallTest, AFreshInstallationThatFailsLeavesNothing)
{
    WriteNewVersion(true);
    const CString dest = m_dir.Path() + "\\new\\folder";
    EXPECT_EQ(Extract(dest), SFX_ERR_DAMAGED);
    EXPECT_FALSE(FileExists(m_dir.Path() + "\\new")) << DescribeTree(m_dir.Path());
}

TEST_F(ReinstallTest, AFolderThatCannotBeUsedIsRefusedBeforeTheFirstWrite)
{
    WriteNewVersion(false);
    WriteBinaryFile(m_dir.Path() + "\\a file", "");
    const std::string before = DescribeTree(m_dir.Path());
    // Relative folders would install wherever the setup was started.
#ifdef _WIN32
    for (const char* relative : {"abc", "c:abc", "  c:\\lead", "\\abc", "\\\\server", "\\\\.\\c:\\x"})
#else
    for (const char* relative : {"abc", "c:abc", "./abc"})
#endif
    {
        EXPECT_EQ(Extract(relative), SFX_ERR_BAD_FOLDER) << relative;
        EXPECT_FALSE(m_archive.HasWritten());
    }
    // A file stands where a folder has to be made.
    EXPECT_EQ(Extract(m_dir.Path() + "\\a file\\dest"), SFX_ERR_BAD_FOLDER);
    // Paths that reach Windows' limits: the folder itself, a file below it.
    const CString deep = m_dir.Path() + "\\" + CString(std::string(120, 'd').c_str());
    EXPECT_EQ(Extract(deep + "\\" + CString(std::string(130, 'e').c_str())), SFX_ERR_PATH_TOO_LONG);
    const CString folder = deep + "\\" + CString(std::string(259 - deep.GetLength() - 19, 'f').c_str());
    EXPECT_EQ(Extract(folder), SFX_ERR_PATH_TOO_LONG);
    EXPECT_EQ(m_archive.GetProblemPath(), folder + "\\config\\client.ini.zup");
    EXPECT_EQ(DescribeTree(m_dir.Path()), before);
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(ReinstallTest, AFileInUseIsFoundBeforeTheFirstWriteAndTheUserCanTryAgain)
{
    MakeEarlierInstallation();
    FsMakeFolder(m_dest + "\\user");
    WriteBinaryFile(m_dest + "\\user\\keep01.pst", "the user's data");
    WriteArchive({{"Rendo.exe", "new client"}, {"user\\keep01.pst", "empty data"}, {"data\\text.txt", "new text"}});
    {
        HeldOpen client(m_dest + "\\Rendo.exe");
        // Keep mode (the marker is there) leaves the user's data out of
        // every check, open or not.
        HeldOpen data(m_dest + "\\user\\keep01.pst");
        EXPECT_EQ(Extract(), SFX_ERR_IN_USE);
        EXPECT_EQ(m_archive.GetProblemPath(), m_dest + "\\Rendo.exe");
        EXPECT_FALSE(m_archive.HasWritten());
        EXPECT_EQ(ReadDest("data\\text.txt"), "earlier text");
        client.Release();
        ASSERT_EQ(Extract(), SFX_OK) << m_archive.GetLastErrorText().GetString();
    }
    EXPECT_EQ(ReadDest("Rendo.exe"), "new client");
    EXPECT_EQ(ListFilesBelow(m_dest),
              (std::vector<std::string>{"Rendo.exe", "data\\mine.txt", "data\\text.txt", "user\\keep01.pst"}));
}

}  // namespace
