#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/File.h"
#include "framework/FileSystem.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include "framework/HostPath.h"
#endif

namespace {

TEST(CFile, WriteSeekReadRoundTrip)
{
    TempDir dir;
    const CString path = dir.Path() + "\\data.bin";
    {
        CFile f;
        ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeWrite));
        f.Write("0123456789!DRAV_SFX!", 20);
        f.Close();
    }
    CFile f;
    ASSERT_TRUE(f.Open(path, CFile::modeRead));
    EXPECT_EQ(f.GetLength(), 20);
    EXPECT_EQ(f.Seek(-10, CFile::end), 10);
    char magic[10];
    EXPECT_EQ(f.Read(magic, 10), 10u);
    EXPECT_EQ(std::memcmp(magic, "!DRAV_SFX!", 10), 0);
    EXPECT_EQ(f.Read(magic, 10), 0u);  // end of file is not an error
    EXPECT_EQ(f.Seek(3, CFile::begin), 3);
    char c;
    EXPECT_EQ(f.Read(&c, 1), 1u);
    EXPECT_EQ(c, '3');
}

TEST(CFile, FailuresAreReportedNotHidden)
{
    TempDir dir;
    CFile f;
    CFileException error;
    EXPECT_FALSE(f.Open(dir.Path() + "\\missing.bin", CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_FALSE(f.Open(dir.Path() + "\\no\\such\\folder.bin", CFile::modeCreate | CFile::modeWrite, &error));

    const CString path = dir.Path() + "\\small.bin";
    ASSERT_TRUE(f.Open(path, CFile::modeCreate | CFile::modeWrite));
    f.Write("abc", 3);
    f.Close();
    ASSERT_TRUE(f.Open(path, CFile::modeRead));
    // Seeking before the start of the file throws.
    EXPECT_THROW(f.Seek(-10, CFile::end), CFileException);
    char buffer[4];
    f.Close();
    EXPECT_THROW(f.Read(buffer, 1), CFileException);
}

TEST(FileSystem, ExistsDeleteFoldersAndAttributes)
{
    TempDir dir;
    const CString folder = dir.Path() + "\\sub";
    EXPECT_FALSE(FileExists(folder));
    EXPECT_EQ(FsMakeFolder(folder), 0);
    EXPECT_TRUE(FileExists(folder));
    EXPECT_EQ(FsMakeFolder(folder), -1);  // already there
    EXPECT_FALSE(FsDeleteFile(folder));   // never removes a folder

    const CString file = folder + "\\f.txt";
    {
        CFile f;
        ASSERT_TRUE(f.Open(file, CFile::modeCreate | CFile::modeWrite));
    }
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FsSetReadOnly(file));
    EXPECT_TRUE(FsClearAttributes(file));
    EXPECT_TRUE(FsDeleteFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(FileExists(""));
}

TEST(FileSystem, GbkNamesWithBackslashTrailBytes)
{
    TempDir dir;
    // "誠" (D5 5C) as a folder name: only the real separators split the path.
    const CString folder = dir.Path() + "\\\xD5\x5C";
    ASSERT_EQ(FsMakeFolder(folder), 0);
    const CString file = folder + "\\\xE5\x5C.txt";
    {
        CFile f;
        ASSERT_TRUE(f.Open(file, CFile::modeCreate | CFile::modeWrite));
        f.Write("x", 1);
    }
    EXPECT_TRUE(FileExists(file));
    FILE* stream = FsOpenStream(file, "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fgetc(stream), 'x');
    fclose(stream);
#ifndef _WIN32
    // On the host the names are UTF-8.
    EXPECT_EQ(HostPathFromAnsi(file), HostPathFromAnsi(dir.Path()) + "/\xE8\xAA\xA0/\xE9\x8C\xA6.txt");
#endif
}

#ifndef _WIN32
TEST(HostPath, ConversionBothWays)
{
    EXPECT_EQ(HostPathFromAnsi("\\tmp\\a b\\c.txt"), "/tmp/a b/c.txt");
    CString ansi;
    ASSERT_TRUE(AnsiFromHostPath("/tmp/\xE8\xAA\xA0/x", &ansi));
    EXPECT_EQ(ansi, "\\tmp\\\xD5\x5C\\x");
    // A character GBK cannot represent (U+1F600) is refused.
    EXPECT_FALSE(AnsiFromHostPath("/tmp/\xF0\x9F\x98\x80", &ansi));
    // Bytes that are not GBK are kept as they are, in their component only:
    // the folder above is spelled the same whatever name follows it.
    EXPECT_EQ(HostPathFromAnsi("a\\\xFF"), "a/\xFF");
    EXPECT_EQ(HostPathFromAnsi("\xB2\xE2\xCA\xD4\\\x81\x20.txt"), "\xE6\xB5\x8B\xE8\xAF\x95/\x81\x20.txt");
    // A name the converter would change is refused: a tag character (which
    // glibc drops without a word) and a backslash that is not a separator.
    EXPECT_FALSE(AnsiFromHostPath("/tmp/a\xF3\xA0\x80\x81.exe", &ansi));
    EXPECT_FALSE(AnsiFromHostPath("/tmp/bs\\dir", &ansi));
}
#endif

TEST(FileSystem, ModulePathNamesThisExecutable)
{
    const CString path = FsModulePath();
    ASSERT_FALSE(path.IsEmpty());
    EXPECT_TRUE(FileExists(path));
}

}  // namespace
