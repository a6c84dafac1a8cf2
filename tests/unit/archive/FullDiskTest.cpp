// Installing onto a file system that fills up: the engine must report a
// failure, not crash and not claim success, and leave no temporary file.
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

TEST_F(EngineTest, FullDiskEndsWithAFailureCode)
{
    const CString mountPoint = m_dir.Path() + "\\small";
    SmallMount mount(mountPoint, "64k");
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(mount.Error());

    TestRandom random(3);
    // Incompressible data: the first file fits, the second cannot.
    WriteArchive({{"big\\two.bin", random.Bytes(80000)}, {"one.bin", random.Bytes(20000)}});
    const int result = Extract(mountPoint + "\\dest");
    EXPECT_TRUE(result == SFX_ERR_FILE_IO || result == SFX_ERR_CREATE_OUTPUT) << result;
    for (const std::string& name : ListFilesBelow(mountPoint + "\\dest")) {
        EXPECT_EQ(name.find(".zup"), std::string::npos) << name;
        EXPECT_NE(name, "big\\two.bin");  // never a half-written file
    }
    EXPECT_FALSE(m_archive.GetLastErrorText().IsEmpty());
    // The file that fitted is whole.
    EXPECT_EQ(ReadBinaryFile(mountPoint + "\\dest\\one.bin").size(), 20000u);
}

}  // namespace
