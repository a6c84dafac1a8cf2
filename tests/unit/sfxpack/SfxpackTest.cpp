// The packing tool end to end, through its commands, on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SfxpackFixture.h"
#include "archive/SfxArchive.h"
#include "support/ArchiveFixtures.h"
#include "support/DamagedCorpus.h"

namespace fs = std::filesystem;
using namespace sfxpack;
using namespace sfxpack_test;

namespace {

using SfxpackTest = SfxpackFixture;

TEST_F(SfxpackTest, BuildStoresGbkNamesInAFixedOrderAndExtractsThemBack)
{
    TestRandom random(11);
    Write(Src("readme.txt"), "read me\r\n");
    Write(Src(std::string("bin/") + kSincere + "/" + kBrocade + ".dll"), random.Bytes(3000));
    Write(Src(std::string(kSincere) + ".ini"), random.Text(500));
    Write(Src("empty"), "");
    const fs::path out = m_root / "setup.exe";
    ASSERT_EQ(Build(out).code, EXIT_OK);

    const std::string image = Read(out);
    EXPECT_EQ(image.substr(0, 0x200), FakeStub());
    CString ansi;
    ASSERT_TRUE(AnsiFromHost(out, &ansi));
    CSfxArchive archive;
    ASSERT_EQ(archive.ReadDirectory(ansi), SFX_OK);
    ASSERT_EQ(archive.GetEntryCount(), 4);
    // Sorted by the stored name's bytes; separators are backslashes and
    // the GBK second byte 0x5C stays inside its character.
    EXPECT_EQ(archive.GetEntry(0).GetName(), "bin\\\xD5\x5C\\\xE5\x5C.dll.zup");
    EXPECT_EQ(archive.GetEntry(1).GetName(), "empty.zup");
    EXPECT_EQ(archive.GetEntry(2).GetName(), "readme.txt.zup");
    EXPECT_EQ(archive.GetEntry(3).GetName(), "\xD5\x5C.ini.zup");
    EXPECT_EQ(archive.GetEntry(0).m_nOffset, 0x200);

    // A second build gives the same bytes.
    const fs::path again = m_root / "again.exe";
    ASSERT_EQ(Build(again).code, EXIT_OK);
    EXPECT_EQ(Read(again), image);

    EXPECT_EQ(RunList({U8(out)}), EXIT_OK);
    EXPECT_EQ(RunVerify({U8(out), "--against", U8(m_root / "src")}), EXIT_OK);
    const fs::path dest = m_root / "dest";
    ASSERT_EQ(RunExtract({U8(out), U8(dest)}), EXIT_OK);
    EXPECT_EQ(Read(dest / fs::u8path(std::string("bin/") + kSincere + "/" + kBrocade + ".dll")),
              Read(Src(std::string("bin/") + kSincere + "/" + kBrocade + ".dll")));
    EXPECT_EQ(Read(dest / "empty"), "");
}

TEST_F(SfxpackTest, ExtractKeepDataLeavesProtectedFiles)
{
    Write(Src("user/keep05.pst"), "new");
    Write(Src("app.txt"), "app");
    const fs::path out = m_root / "setup.exe";
    ASSERT_EQ(Build(out).code, EXIT_OK);
    const fs::path dest = m_root / "dest";
    Write(dest / "user" / "keep05.pst", "precious");
    ASSERT_EQ(RunExtract({U8(out), U8(dest), "--keep-data"}), EXIT_OK);
    EXPECT_EQ(Read(dest / "user" / "keep05.pst"), "precious");
    EXPECT_EQ(Read(dest / "app.txt"), "app");
}

TEST_F(SfxpackTest, RefusalsNameTheFileAndLeaveNoOutput)
{
    const fs::path out = m_root / "setup.exe";
    // An empty folder.
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);

    // A stored name equal to another entry's installed name.
    Write(Src("a.txt"), "1");
    Write(Src("A.TXT.zup"), "2");
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);
    fs::remove(Src("A.TXT.zup"));

    // A stub that is not an executable.
    Write(m_root / "stub.exe", "not a program");
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);
    Write(m_root / "stub.exe", FakeStub());
    EXPECT_EQ(Build(out).code, EXIT_OK);
}

TEST_F(SfxpackTest, MoreThan256FilesAreRefused)
{
    for (int i = 0; i < 257; ++i)
        Write(Src("f" + std::to_string(i)), "");
    const fs::path out = m_root / "setup.exe";
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);
    fs::remove(Src("f0"));
    EXPECT_EQ(Build(out).code, EXIT_OK);
}

#ifndef _WIN32
TEST_F(SfxpackTest, HostOnlyNamesAreRefused)
{
    const fs::path out = m_root / "setup.exe";
    // U+1F600 has no GBK form.
    Write(Src("smile-\xF0\x9F\x98\x80.txt"), "x");
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);
    fs::remove(Src("smile-\xF0\x9F\x98\x80.txt"));
    // A tag character (U+E0041), which the host's converter drops without a
    // word: stored as "b.txt" it would stand for another file.
    Write(Src("b\xF3\xA0\x81\x81.txt"), "x");
    const Outcome tagged = Build(out);
    EXPECT_EQ(tagged.code, EXIT_DATA);
    EXPECT_NE(tagged.err.find("b\xF3\xA0\x81\x81.txt"), std::string::npos) << tagged.err;
    ExpectNoOutput(out);
    fs::remove(Src("b\xF3\xA0\x81\x81.txt"));
    // Names that only letter case tells apart are one file on Windows.
    Write(Src("Readme.txt"), "1");
    Write(Src("README.txt"), "2");
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);
    fs::remove(Src("README.txt"));

    // Windows itself cannot hold these two: a device name and a path of
    // 1000 bytes.
    // A device name.
    Write(Src("sub/con.txt"), "x");
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);
    fs::remove_all(Src("sub"));

    // A stored name of 1000 bytes or more.
    std::string deep;
    for (int i = 0; i < 5; ++i)
        deep += std::string(199, char('a' + i)) + "/";
    Write(Src(deep + "f"), "deep");
    EXPECT_EQ(Build(out).code, EXIT_DATA);
    ExpectNoOutput(out);
    fs::remove_all(Src(std::string(199, 'a')));
}

// A path from the command line names the file the host spells, never one
// its conversion to GBK and back would make of it.
TEST_F(SfxpackTest, HostPathsAreTakenAsTheHostSpellsThem)
{
    Write(Src("f.txt"), "content");
    ASSERT_EQ(Build(m_root / "a.exe").code, EXIT_OK);
    const std::string tag = "\xF3\xA0\x81\x81";
    Write(m_root / ("a" + tag + ".exe"), "not an installer");
    EXPECT_EQ(Capture(RunVerify, {U8(m_root / ("a" + tag + ".exe"))}).code, EXIT_DATA);

    ASSERT_EQ(Capture(RunExtract, {U8(m_root / "a.exe"), U8(m_root / ("out" + tag))}).code, EXIT_OK);
    EXPECT_EQ(Read(m_root / ("out" + tag) / "f.txt"), "content");
    EXPECT_FALSE(fs::exists(m_root / "out"));
    ASSERT_EQ(Capture(RunExtract, {U8(m_root / "a.exe"), U8(m_root / "bs\\dir")}).code, EXIT_OK);
    EXPECT_EQ(Read(m_root / "bs\\dir" / "f.txt"), "content");
    EXPECT_FALSE(fs::exists(m_root / "bs"));
}
#endif

TEST_F(SfxpackTest, EncodeDecodeAndCutStreams)
{
    const std::string data = TestRandom(4).Text(20000);
    Write(m_root / "in.txt", data);
    ASSERT_EQ(RunEncode({U8(m_root / "in.txt"), U8(m_root / "in.zup")}), EXIT_OK);
    EXPECT_EQ(Read(m_root / "in.zup"), PackBytes(data));
    ASSERT_EQ(RunDecode({U8(m_root / "in.zup"), U8(m_root / "out.txt")}), EXIT_OK);
    EXPECT_EQ(Read(m_root / "out.txt"), data);

    const std::string packed = Read(m_root / "in.zup");
    for (const std::string& damaged : {packed.substr(0, packed.size() / 2), packed.substr(0, packed.size() - 1),
                                       packed + '\0'}) {
        Write(m_root / "cut.zup", damaged);
        const Outcome o = Capture(RunDecode, {U8(m_root / "cut.zup"), U8(m_root / "cut.txt")});
        EXPECT_EQ(o.code, EXIT_DATA) << damaged.size();
        EXPECT_NE(o.err.find("cut.zup: the packed stream"), std::string::npos) << o.err;
        ExpectNoOutput(m_root / "cut.txt");
    }
    EXPECT_EQ(RunDecode({U8(m_root / "missing.zup"), U8(m_root / "x.txt")}), EXIT_DATA);
    EXPECT_EQ(RunEncode({U8(m_root / "in.txt")}), EXIT_USAGE);
}

TEST_F(SfxpackTest, VerifyFailsOnEveryDamagedInstaller)
{
    for (const DamagedImage& image : MakeDamagedCorpus()) {
        SCOPED_TRACE(image.label);
        Write(m_root / "bad.exe", image.bytes);
        EXPECT_EQ(RunVerify({U8(m_root / "bad.exe")}), EXIT_DATA);
    }
    Write(m_root / "good.exe", GoodCorpusImage());
    EXPECT_EQ(RunVerify({U8(m_root / "good.exe")}), EXIT_OK);
    EXPECT_EQ(RunList({U8(m_root / "missing.exe")}), EXIT_DATA);
    EXPECT_EQ(RunList({}), EXIT_USAGE);
}

}  // namespace
