// Links, FIFOs and read-only files that someone planted in the installation
// folder: the engine puts a regular file in their place, as tar does, and
// never writes through them, changes what they point at, or blocks on them.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "EngineFixture.h"
#include "archive/SfxArchiveWriter.h"
#include "framework/FileSystem.h"
#include "framework/HostPath.h"

namespace fs = std::filesystem;

namespace {

class PlantedFilesTest : public EngineTest {
protected:
    PlantedFilesTest()
    {
        FsMakeFolder(m_dest);
        fs::create_directory(Outside());
        WriteBinaryFile(m_dir.Path() + "\\outside\\target.txt", "outside");
        WriteBinaryFile(m_dir.Path() + "\\outside\\ro.txt", "read-only outside");
        ::chmod((Outside() / "ro.txt").c_str(), 0444);
    }
    fs::path Outside() const { return fs::path(HostPathFromAnsi(m_dir.Path())) / "outside"; }
    fs::path Dest(const char* name) const { return fs::path(HostPathFromAnsi(m_dest)) / name; }

    void ExpectOutsideUnchanged()
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Outside()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"ro.txt", "target.txt"}));
        EXPECT_EQ(ReadBinaryFile(m_dir.Path() + "\\outside\\target.txt"), "outside");
        EXPECT_EQ(ReadBinaryFile(m_dir.Path() + "\\outside\\ro.txt"), "read-only outside");
        struct stat st;
        ASSERT_EQ(::stat((Outside() / "ro.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0444u);
    }
};

TEST_F(PlantedFilesTest, LinksAndFifosAreReplacedNotWrittenThrough)
{
    WriteArchive({{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}, {"d.txt", "new d"}, {"e.txt", "new e"}});
    fs::create_symlink(Outside() / "target.txt", Dest("a.txt.zup"));  // the temporary file
    fs::create_symlink(Outside() / "absent.txt", Dest("b.txt"));      // dangling, at the final name
    fs::create_symlink(Outside() / "ro.txt", Dest("c.txt"));          // to a read-only file outside
    ASSERT_EQ(::mkfifo(Dest("d.txt.zup").c_str(), 0600), 0);          // would block an open for writing
    ASSERT_EQ(::mkfifo(Dest("e.txt").c_str(), 0600), 0);

    ASSERT_EQ(Extract(), SFX_OK);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Dest(name))));
        EXPECT_EQ(ReadDest(name), std::string("new ") + name[0]);
    }
    EXPECT_EQ(ListFilesBelow(m_dest).size(), 5u);  // no temporary file, link or FIFO left
    ExpectOutsideUnchanged();
}

TEST_F(PlantedFilesTest, CutStreamBehindADanglingLinkLeavesNothingOutside)
{
    const std::string full = PackBytes(TestRandom(3).Text(3000));
    WriteBinaryFile(m_archivePath, SfxBuildImage(std::string(512, 'M'), {{"cut.txt.zup", full.substr(0, full.size() - 5)}}));
    fs::create_symlink(Outside() / "absent.txt", Dest("cut.txt"));
    EXPECT_EQ(Extract(), SFX_ERR_DAMAGED);
    EXPECT_TRUE(ListFilesBelow(m_dest).empty());
    ExpectOutsideUnchanged();
}

}  // namespace
