// Installing onto a file system that is or becomes full: the run stops
// before its first write when the space is known to be short, and a disk
// that fills meanwhile leaves the folder as it was.
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "EngineFixture.h"
#include "framework/FileSystem.h"
#include "framework/HostPath.h"

namespace {

class SmallMount {
public:
    SmallMount(const CString& folder, const char* size) : m_host(HostPathFromAnsi(folder))
    {
        FsMakeFolder(folder);
        const std::string options = std::string("size=") + size;
        m_mounted = ::mount("tmpfs", m_host.c_str(), "tmpfs", 0, options.c_str()) == 0;
        m_error = errno;
    }
    ~SmallMount()
    {
        if (m_mounted)
            ::umount2(m_host.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    int Error() const { return m_error; }

private:
    std::string m_host;
    bool m_mounted = false;
    int m_error = 0;
};

TEST_F(EngineTest, TooLittleSpaceIsFoundBeforeTheFirstWrite)
{
    const CString mountPoint = m_dir.Path() + "\\small";
    SmallMount mount(mountPoint, "64k");
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(mount.Error());

    TestRandom random(3);
    // Incompressible data: the first file would fit, the second cannot.
    WriteArchive({{"big\\two.bin", random.Bytes(80000)}, {"one.bin", random.Bytes(20000)}});
    const CString dest = mountPoint + "\\dest";
    FsMakeFolder(dest);
    WriteBinaryFile(dest + "\\one.bin", "earlier");
    const std::string before = DescribeTree(dest);
    EXPECT_EQ(Extract(dest), SFX_ERR_NO_SPACE);
    EXPECT_FALSE(m_archive.HasWritten());
    EXPECT_GT(m_archive.GetSpaceNeeded(), m_archive.GetSpaceAvailable());
    EXPECT_GE(m_archive.GetSpaceNeeded(), 100000u);
    EXPECT_EQ(DescribeTree(dest), before);
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(EngineTest, ADiskThatFillsDuringTheRunIsUndone)
{
    const CString mountPoint = m_dir.Path() + "\\small";
    SmallMount mount(mountPoint, "1m");
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(mount.Error());

    // An earlier installation; the text file is replaced first (the last
    // entry is unpacked first), then another program fills the disk.
    TestRandom random(4);
    WriteArchive({{"big.bin", random.Bytes(200000)}, {"data\\text.txt", "new text"}});
    const CString dest = mountPoint + "\\dest";
    FsMakeFolder(dest);
    FsMakeFolder(dest + "\\data");
    WriteBinaryFile(dest + "\\data\\text.txt", "earlier text");
    FsSetReadOnly(dest + "\\data\\text.txt");
    const std::string before = DescribeTree(dest);

    struct Filler {
        CString path;
        static int Fill(SfxEntry*, void* context)
        {
            FILE* f = FsOpenStream(static_cast<Filler*>(context)->path, "wb");
            const std::string block(4096, 'x');
            while (f && std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
            }
            if (f)
                std::fclose(f);
            return 0;
        }
    } filler{mountPoint + "\\filler"};
    EXPECT_EQ(m_archive.ExtractAll(dest, &Filler::Fill, &filler), SFX_ERR_FILE_IO);
    EXPECT_TRUE(m_archive.HasWritten());
    EXPECT_TRUE(m_archive.WasUndoneWhole());
    EXPECT_EQ(DescribeTree(dest), before);
}

}  // namespace
