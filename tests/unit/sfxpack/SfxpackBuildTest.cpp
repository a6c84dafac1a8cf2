// sfxpack build: the same bytes for any thread count and on both hosts,
// every refusal and warning naming its file, and nothing left behind on
// any failure.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "SfxpackFixture.h"
#include "SfxpackTestData.h"
#include "BuildPlan.h"
#include "PackEntries.h"
#include "archive/SfxArchive.h"
#include "archive/SfxArchiveWriter.h"
#include "archive/SfxDigest.h"
#include "support/ArchiveFixtures.h"
#include "support/DigestStub.h"
#include "support/HeldOpen.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace sfxpack;
using namespace sfxpack_test;

namespace {

class SfxpackBuildTest : public SfxpackFixture {
protected:
    // The entries of a built installer, by the installer's own reader.
    std::vector<SfxEntry> ReadEntries(const fs::path& setup)
    {
        CString ansi;
        EXPECT_TRUE(AnsiFromHost(setup, &ansi));
        CSfxArchive archive;
        EXPECT_EQ(archive.ReadDirectory(ansi), SFX_OK);
        std::vector<SfxEntry> entries;
        for (int i = 0; i < archive.GetEntryCount(); ++i)
            entries.push_back(archive.GetEntry(i));
        return entries;
    }
};

// Files of many sizes and kinds, some large enough that the threads
// finish out of order.
void MakeMixedFolder(const fs::path& src)
{
    TestRandom random(21);
    for (int i = 0; i < 18; ++i) {
        const std::string name = "part" + std::to_string(i % 4) + "/file" + std::to_string(i) + (i % 3 ? ".txt" : ".bin");
        const size_t size = (i % 5 == 0) ? 0 : (random.Next() % 9000) * (i % 4 + 1);
        SfxpackFixture::Write(src / fs::u8path(name), i % 3 ? random.Text(size) : random.Bytes(size));
    }
    SfxpackFixture::Write(src / "large.log", random.Text(400 * 1024));
    SfxpackFixture::Write(src / fs::u8path(std::string("bin/") + kSincere + ".dll"), random.Bytes(120 * 1024));
}

TEST_F(SfxpackBuildTest, OutputIsTheSameForAnyThreadCountAndRun)
{
    // The stub with the digest section: the digests, filled as the threads
    // finish, are the same bytes too.
    Write(m_root / "stub.exe", StubWithDigestSection());
    MakeMixedFolder(m_root / "src");
    const Outcome one = Build(m_root / "j1.exe", {"-j", "1"});
    ASSERT_EQ(one.code, EXIT_OK) << one.err;
    // Off a terminal only the summary is printed.
    EXPECT_EQ(one.err, "");
    EXPECT_EQ(LinesWith(one.out, "").size(), 1u) << one.out;
    EXPECT_NE(one.out.find("20 entries"), std::string::npos) << one.out;

    const std::string image = Read(m_root / "j1.exe");
    for (const char* threads : {"2", "2", "7"}) {
        SCOPED_TRACE(threads);
        const Outcome o = Build(m_root / "jn.exe", {"-j", threads, "--quiet"});
        ASSERT_EQ(o.code, EXIT_OK) << o.err;
        EXPECT_TRUE(Read(m_root / "jn.exe") == image);
    }

    // Each payload is the one-file encoder's stream of its source, and the
    // payloads follow the stub and each other without a gap; each digest
    // stands in its entry's slot.
    SfxMemoryFile memory{image.data(), static_cast<int64_t>(image.size())};
    SfxDigestSection digests;
    SfxReadDigestSection(&SfxReadMemoryAt, &memory, memory.length, &digests);
    ASSERT_EQ(digests.state, SFX_DIGESTS_PRESENT);
    uint32_t expectedOffset = static_cast<uint32_t>(StubWithDigestSection().size());
    int i = 0;
    for (const SfxEntry& entry : ReadEntries(m_root / "j1.exe")) {
        const std::string stored = entry.GetName().str();
        SCOPED_TRACE(Utf8FromGbk(stored));
        EXPECT_EQ(static_cast<uint32_t>(entry.m_nOffset), expectedOffset);
        const std::string source = Read(HostPathBelow(m_root / "src", stored.substr(0, stored.size() - 4)));
        const std::string payload = image.substr(static_cast<size_t>(entry.m_nOffset), static_cast<size_t>(entry.m_nPackedSize));
        EXPECT_TRUE(payload == PackBytes(source));
        EXPECT_TRUE(digests.entries[i++] == CSha256::Of(payload.data(), payload.size()));
        expectedOffset += static_cast<uint32_t>(entry.m_nPackedSize);
    }
}

// A folder of GBK names, among them characters whose GBK form differs
// between careless converters: a second byte of 0x5C, the em dash, the
// middle dot, full-width and Greek letters, the euro sign.
void MakeGbkFolder(const fs::path& src)
{
    TestRandom random(936);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"readme.txt", random.Text(700)},
        {std::string("bin/") + kSincere + "/" + kBrocade + ".dll", random.Bytes(5000)},
        {u8"通讯/设置.ini", random.Text(1500)},
        {u8"数据/空.dat", ""},
        {u8"文档/说明—第一版·Ａα.txt", random.Text(2000)},
        {u8"价格€.txt", random.Text(300)},
        {u8"a/b/c/深层.bin", random.Bytes(1000) + std::string(3000, 'z')},
    };
    for (const auto& file : files)
        SfxpackFixture::Write(src / fs::u8path(file.first), file.second);
}

TEST_F(SfxpackBuildTest, GbkFolderGivesTheCheckedInArchiveOnEveryHost)
{
    MakeGbkFolder(m_root / "src");
    const fs::path out = m_root / "gbk.exe";
    const Outcome o = Build(out, {"-j", "2"});
    ASSERT_EQ(o.code, EXIT_OK) << o.err;
    const std::string built = Read(out);

    // The name with the converter-sensitive characters, in GBK bytes.
    bool found = false;
    for (const SfxEntry& entry : ReadEntries(out))
        found |= entry.GetName().str() ==
                 "\xCE\xC4\xB5\xB5\\\xCB\xB5\xC3\xF7\xA1\xAA\xB5\xDA\xD2\xBB\xB0\xE6\xA1\xA4\xA3\xC1\xA6\xC1.txt.zup";
    EXPECT_TRUE(found);

    // Both the Linux and the Windows build of this test compare with the
    // same file; SFXPACK_WRITE_GOLDEN=1 rewrites it when the layout or the
    // codec changes on purpose.
    const fs::path golden = fs::u8path(SFXPACK_TEST_DATA_DIR) / "gbk_folder.exe";
    if (const char* write = std::getenv("SFXPACK_WRITE_GOLDEN"); write && std::string(write) == "1")
        Write(golden, built);
    const std::string expected = Read(golden);
    ASSERT_FALSE(expected.empty());
    size_t firstDifference = 0;
    while (firstDifference < built.size() && firstDifference < expected.size() &&
           built[firstDifference] == expected[firstDifference])
        ++firstDifference;
    EXPECT_EQ(firstDifference, std::max(built.size(), expected.size()))
        << "built " << built.size() << " bytes, expected " << expected.size() << "; first difference at byte "
        << firstDifference;
}

#ifdef _WIN32
// Held open without sharing, as an antivirus or an editor holds a file.
class LockedFile {
public:
    explicit LockedFile(const fs::path& path)
        : m_handle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~LockedFile()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    bool Held() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};
#endif

// The archive as its layout alone describes it, read backwards from the end
// of the file: the records, and where the directory starts.
struct LayoutRecord {
    uint32_t offset;
    uint32_t size;
    std::string name;
    bool operator==(const LayoutRecord& o) const { return offset == o.offset && size == o.size && name == o.name; }
};

std::vector<LayoutRecord> ReadByLayout(const std::string& file, size_t* directoryStart)
{
    std::vector<LayoutRecord> records;
    const size_t n = file.size();
    if (n < 14 || file.compare(n - 10, 10, "!DRAV_SFX!") != 0)
        return records;
    const uint32_t count = GetLe32(file, n - 14);
    size_t d = 14;
    records.resize(count);
    for (uint32_t i = count; i-- > 0;) {
        d += 4;
        const uint32_t length = GetLe32(file, n - d);
        d += length;
        records[i].name = file.substr(n - d, length);
        d += 4;
        records[i].size = GetLe32(file, n - d);
        d += 4;
        records[i].offset = GetLe32(file, n - d);
    }
    *directoryStart = n - d;
    return records;
}

TEST_F(SfxpackBuildTest, AReaderOfTheLayoutAloneReadsASetupWithDigestsAsOneWithout)
{
    MakeGbkFolder(m_root / "src");
    // The same stub, once with its section under another name: no digests.
    std::string without = StubWithDigestSection(".sfxdiX");
    Write(m_root / "stub.exe", without);
    ASSERT_EQ(Build(m_root / "without.exe").code, EXIT_OK);
    Write(m_root / "stub.exe", StubWithDigestSection());
    ASSERT_EQ(Build(m_root / "with.exe").code, EXIT_OK);
    const std::string a = Read(m_root / "without.exe"), b = Read(m_root / "with.exe");

    size_t startA = 0, startB = 0;
    const std::vector<LayoutRecord> recordsA = ReadByLayout(a, &startA), recordsB = ReadByLayout(b, &startB);
    ASSERT_EQ(recordsA.size(), 7u);
    EXPECT_TRUE(recordsA == recordsB);
    EXPECT_EQ(startA, startB);
    // Entry 0 starts where the image ends, each payload where the one
    // before ends, and the directory where the last one ends.
    uint32_t expected = static_cast<uint32_t>(without.size());
    for (const LayoutRecord& r : recordsB) {
        EXPECT_EQ(r.offset, expected) << r.name;
        expected += r.size;
    }
    EXPECT_EQ(startB, expected);
    // Behind the image not one byte differs; in it only the section and
    // the CheckSum do.
    EXPECT_TRUE(a.substr(without.size()) == b.substr(without.size()));
    EXPECT_TRUE(a.substr(0, kDigestSectionAt) != b.substr(0, kDigestSectionAt));
    EXPECT_TRUE(a.substr(kDigestSectionAt, SFX_DIGEST_SECTION_LENGTH) == std::string(SFX_DIGEST_SECTION_LENGTH, '\0'));

    Outcome o = Capture(RunList, {U8(m_root / "with.exe"), "--json"});
    EXPECT_NE(o.out.find("\"digests\": true"), std::string::npos) << o.out;
    o = Capture(RunList, {U8(m_root / "without.exe"), "--json"});
    EXPECT_NE(o.out.find("\"digests\": false"), std::string::npos) << o.out;
}

TEST_F(SfxpackBuildTest, VerifyNamesTheEntryOrTheDirectoryWhoseBytesChanged)
{
    Write(m_root / "stub.exe", StubWithDigestSection());
    MakeGbkFolder(m_root / "src");
    const fs::path setup = m_root / "setup.exe";
    ASSERT_EQ(Build(setup).code, EXIT_OK);
    Outcome o = Capture(RunVerify, {U8(setup)});
    ASSERT_EQ(o.code, EXIT_OK) << o.err;
    EXPECT_EQ(LinesWith(o.out, "digests of the 7 entries and of the directory match").size(), 1u) << o.out;
    EXPECT_EQ(LinesWith(Capture(RunList, {U8(setup)}).out, "digests: SHA-256 of each entry and of the directory").size(), 1u);

    const std::string image = Read(setup);
    const std::vector<SfxEntry> entries = ReadEntries(setup);
    const size_t directory = static_cast<size_t>(entries.back().m_nOffset + entries.back().m_nPackedSize);
    const size_t slot1 = kDigestSectionAt + SFX_DIGEST_HEADER_LENGTH + 2 * SFX_DIGEST_LENGTH;
    const std::string dll = std::string("bin\\") + kSincere + "\\" + kBrocade + ".dll";
    const std::string damaged = ": the packed bytes differ from their digest; the installer is damaged";
    // Where a byte changes, and what verify then says after the setup's name.
    const std::vector<std::pair<size_t, std::string>> cases = {
        {static_cast<size_t>(entries[0].m_nOffset) + 7, "a\\b\\c\\" + std::string(u8"深层.bin") + damaged},
        {static_cast<size_t>(entries[1].m_nOffset + entries[1].m_nPackedSize) - 1, dll + damaged},
        {slot1, dll + damaged},
        {directory + 9, "the directory differs from its digest; the installer is damaged"},
        {kDigestSectionAt + 1, "the digest section is damaged"},
    };
    for (const auto& [at, message] : cases) {
        SCOPED_TRACE(at);
        std::string bad = image;
        bad[at] = static_cast<char>(bad[at] ^ 0x10);
        Write(setup, bad);
        o = Capture(RunVerify, {U8(setup)});
        EXPECT_EQ(o.code, EXIT_DATA);
        EXPECT_EQ(LinesWith(o.err, Printable(setup) + ": " + message).size(), 1u) << o.err;
    }
}

TEST_F(SfxpackBuildTest, EveryRefusalIsReportedAtOnceNamingItsFile)
{
    struct Case {
        fs::path file;
        const char* message;
    };
    std::vector<Case> cases;
    const auto add = [&](const std::string& utf8, const std::string& content, const char* message) {
        Write(Src(utf8), content);
        cases.push_back({Src(utf8), message});
    };
    Write(Src("fine.txt"), "fine");
    add("smile-\xF0\x9F\x98\x80.txt", "x", "cannot be written in GBK");
    add("a.txt", "1", "is the installed name of");
    Write(Src("A.TXT.zup"), "2");
    add("bin/client.dll.zbk", "x", "uses for its own files");
    Write(m_root / "stub.exe", "MZ but no more");
    cases.push_back({m_root / "stub.exe", "not a PE executable"});
#ifdef _WIN32
    add("locked.dat", "held", "cannot open for reading");
    LockedFile lock(Src("locked.dat"));
    ASSERT_TRUE(lock.Held());
#else
    add("sub/con.txt", "x", "device name");
    add("notes.", "x", "ends in a dot or a blank");
    add("folder /f.txt", "x", "ends in a dot or a blank");
    // Named by the first of the two in entry order.
    add("README.txt", "1", "differs only in letter case");
    Write(Src("Readme.txt"), "2");
    add(u8"Жук.txt", "1", "differs only in letter case");
    Write(Src(u8"жук.txt"), "2");
    add("q?.txt", "x", "wildcard");
    add("c:d.txt", "x", "colon");
    std::string deep;
    for (int i = 0; i < 5; ++i)
        deep += std::string(199, char('a' + i)) + "/";
    add(deep + "f", "deep", "1000 bytes or more");
    fs::create_directory_symlink(Src("sub"), Src("linked"));
    cases.push_back({Src("linked"), "a link to a folder"});
    fs::create_symlink(Src("nowhere"), Src("gone.txt"));
    cases.push_back({Src("gone.txt"), "a link to nothing"});
    fs::create_symlink(Src("loop.txt"), Src("loop.txt"));
    cases.push_back({Src("loop.txt"), "a loop of links"});
#endif
    // An output inside the folder would pack an older build of itself.
    const fs::path out = Src("setup.exe");
    cases.push_back({out, "inside the folder being packed"});
    const Outcome o = Build(out);
    EXPECT_EQ(o.code, EXIT_DATA);
    ExpectNoOutput(out);
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.file));
        const std::vector<std::string> lines = LinesWith(o.err, Printable(c.file) + ":");
        ASSERT_EQ(lines.size(), 1u) << o.err;
        EXPECT_NE(lines[0].find(c.message), std::string::npos) << lines[0];
    }
    EXPECT_EQ(LinesWith(o.err, "fine.txt").size(), 0u) << o.err;
    EXPECT_EQ(LinesWith(o.err, "refused: " + std::to_string(cases.size()) + " problem(s)").size(), 1u) << o.err;
}

TEST_F(SfxpackBuildTest, ASignedStubOrABuiltSetupIsRefusedWithoutOutput)
{
    Write(Src("a.txt"), "a");
    Write(m_root / "stub.exe", StubWithDigestSection());
    ASSERT_EQ(Build(m_root / "built.exe").code, EXIT_OK);
    const std::vector<std::pair<std::string, std::string>> stubs = {
        // Anything appended behind a signature breaks it.
        {SignImage(MinimalPeStub()), "the stub is signed; build with the unsigned stub and sign the finished setup"},
        // Its digests show it: the new setup would carry the old one in its image.
        {Read(m_root / "built.exe"), "the stub carries digests: it is a built setup; build with the stub itself"},
    };
    for (const auto& [stub, message] : stubs) {
        Write(m_root / "stub.exe", stub);
        const fs::path out = m_root / "setup.exe";
        const Outcome o = Build(out);
        EXPECT_EQ(o.code, EXIT_DATA);
        ExpectNoOutput(out);
        EXPECT_EQ(LinesWith(o.err, Printable(m_root / "stub.exe") + ": " + message).size(), 1u) << o.err;
    }
}

TEST(SfxpackCaseTest, LettersOfBothCasesInGbkCompareAsWindowsComparesThem)
{
    const auto key = [](const std::string& utf8) {
        std::string gbk;
        EXPECT_TRUE(GbkFromUtf8(utf8, &gbk)) << utf8;
        return WindowsCaseKey(gbk);
    };
    // The first and last letter of each range, and a double-byte character
    // whose second byte is a lower-case ASCII letter ("胢", 0xC3 0x6D).
    for (const auto& [upper, lower] : std::vector<std::pair<const char*, const char*>>{
             {"AZ", "az"}, {u8"ＡＺ", u8"ａｚ"}, {u8"ΑΩ", u8"αω"}, {u8"АЁЯ", u8"аёя"}, {u8"ⅠⅩ", u8"ⅰⅹ"}}) {
        EXPECT_EQ(key(upper), key(lower)) << upper;
        EXPECT_NE(key(upper), key(std::string(upper) + "x"));
    }
    EXPECT_NE(key(u8"Ｙ"), key(u8"ｚ"));
    EXPECT_NE(key(u8"Ⅺ"), key(u8"ⅰ"));
    EXPECT_EQ(key(u8"胢"), std::string("\xC3\x6D"));
}

#ifndef _WIN32
// Runs as another user for a while, so that a file's permissions count
// even when the tests run as root.
class AsNobody {
public:
    AsNobody() : m_switched(geteuid() == 0 && seteuid(65534) == 0) {}
    ~AsNobody()
    {
        if (m_switched && seteuid(0) != 0)
            std::abort();
    }

private:
    bool m_switched;
};

TEST_F(SfxpackBuildTest, AnUnreadableFileFailsWithOneLineAndNoOutput)
{
    Write(Src("ok.txt"), "ok");
    Write(Src("secret.key"), "no");
    fs::permissions(Src("secret.key"), fs::perms::none);
    fs::create_directory(m_root / "out");
    fs::permissions(m_root / "out", fs::perms::all);
    fs::permissions(m_root, fs::perms::others_exec, fs::perm_options::add);
    const fs::path out = m_root / "out" / "setup.exe";
    Outcome o;
    {
        AsNobody nobody;
        o = Build(out);
    }
    EXPECT_EQ(o.code, EXIT_DATA);
    ExpectNoOutput(out);
    const std::vector<std::string> lines = LinesWith(o.err, Printable(Src("secret.key")));
    ASSERT_EQ(lines.size(), 1u) << o.err;
    EXPECT_NE(lines[0].find(std::strerror(EACCES)), std::string::npos) << lines[0];
}

TEST_F(SfxpackBuildTest, AFolderTheWalkCannotReadFailsBuildAndVerifyNamingIt)
{
    for (const char* folder : {"a", "b", "c", "d", "e", "f", "g", "h"})
        Write(Src(std::string(folder) + "/file.txt"), folder);
    fs::create_directory(m_root / "out");
    const fs::path setup = m_root / "out" / "setup.exe";
    ASSERT_EQ(Build(setup).code, EXIT_OK);
    fs::permissions(m_root / "out", fs::perms::all);
    fs::permissions(m_root, fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(Src("c"), fs::perms::none);
    const std::vector<std::string> verify = {U8(setup), "--against", U8(m_root / "src")};
    Outcome built, verified;
    {
        AsNobody nobody;
        built = Build(m_root / "out" / "again.exe");
        verified = Capture(RunVerify, verify);
    }
    fs::permissions(Src("c"), fs::perms::all);
    EXPECT_EQ(built.code, EXIT_DATA);
    ExpectNoOutput(m_root / "out" / "again.exe");
    EXPECT_EQ(LinesWith(built.err, Printable(Src("c")) + ": cannot read the folder").size(), 1u) << built.err;
    EXPECT_EQ(verified.code, EXIT_DATA);
    EXPECT_EQ(verified.out, "");
    EXPECT_EQ(verified.err, "sfxpack: " + Printable(Src("c")) + ": cannot read the folder: " + std::strerror(EACCES) + "\n");

    // A file of the folder missing from the installer, and one it cannot read.
    Write(Src("extra.txt"), "x");
    fs::permissions(Src("d/file.txt"), fs::perms::none);
    {
        AsNobody nobody;
        verified = Capture(RunVerify, verify);
    }
    EXPECT_EQ(verified.code, EXIT_DATA);
    EXPECT_EQ(LinesWith(verified.err, Printable(Src("extra.txt")) + ": not in the installer").size(), 1u) << verified.err;
    EXPECT_EQ(LinesWith(verified.err, Printable(Src("d/file.txt")) + ": cannot read").size(), 1u) << verified.err;
}

TEST_F(SfxpackBuildTest, ALinkToAFileIsPackedAsTheFileUnderItsOwnName)
{
    Write(Src("readme.txt"), "read me");
    Write(m_root / "outside" / "notes..txt", "from elsewhere");
    fs::create_symlink("readme.txt", Src("alias.txt"));
    fs::create_symlink(m_root / "outside" / "notes..txt", Src("notes.txt"));
    const fs::path setup = m_root / "setup.exe";
    const Outcome o = Build(setup);
    ASSERT_EQ(o.code, EXIT_OK) << o.err;
    const std::vector<SfxEntry> entries = ReadEntries(setup);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].GetName(), "alias.txt.zup");
    EXPECT_EQ(entries[1].GetName(), "notes.txt.zup");
    ASSERT_EQ(RunExtract({U8(setup), U8(m_root / "dest")}), EXIT_OK);
    EXPECT_EQ(Read(m_root / "dest" / "alias.txt"), "read me");
    EXPECT_EQ(Read(m_root / "dest" / "notes.txt"), "from elsewhere");
    EXPECT_EQ(Capture(RunVerify, {U8(setup), "--against", U8(m_root / "src")}).code, EXIT_OK);
}

// stderr on a pseudo-terminal for a while, and what was written to it.
class StderrOnTerminal {
public:
    StderrOnTerminal()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        const int slave = open(ptsname(m_master), O_RDWR | O_NOCTTY);
        if (slave < 0)
            return;
        std::fflush(stderr);
        m_saved = dup(2);
        dup2(slave, 2);
        close(slave);
    }
    ~StderrOnTerminal()
    {
        Restore();
        if (m_master >= 0)
            close(m_master);
    }
    bool Ready() const { return m_saved >= 0; }
    // Puts stderr back and returns what the terminal received.
    std::string Take()
    {
        Restore();
        std::string text;
        char buffer[4096];
        fcntl(m_master, F_SETFL, O_NONBLOCK);
        ssize_t n;
        while ((n = read(m_master, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }

private:
    void Restore()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            dup2(m_saved, 2);
            close(m_saved);
            m_saved = -1;
        }
    }
    int m_master = -1;
    int m_saved = -1;
};

TEST_F(SfxpackBuildTest, ATerminalShowsProgressUnlessQuiet)
{
    TestRandom random(9);
    for (int i = 0; i < 3; ++i)
        Write(Src("f" + std::to_string(i) + ".txt"), random.Text(20000));
    const std::vector<std::string> argv = {"--stub", U8(m_root / "stub.exe"), "--from", U8(m_root / "src"),
                                           "-o",     U8(m_root / "setup.exe")};
    for (const bool quiet : {false, true}) {
        SCOPED_TRACE(quiet);
        std::vector<std::string> args = argv;
        if (quiet)
            args.push_back("--quiet");
        StderrOnTerminal terminal;
        ASSERT_TRUE(terminal.Ready());
        ::testing::internal::CaptureStdout();
        const int code = RunBuild(args);
        const std::string out = ::testing::internal::GetCapturedStdout();
        const std::string shown = terminal.Take();
        EXPECT_EQ(code, EXIT_OK);
        EXPECT_EQ(out.rfind("built ", 0), 0u) << out;
        if (quiet) {
            EXPECT_EQ(shown, "");
        } else {
            EXPECT_NE(shown.find("/3 entries"), std::string::npos) << shown;
            EXPECT_NE(shown.find("ETA"), std::string::npos) << shown;
            // The line is cleared before the summary.
            EXPECT_EQ(shown.back(), '\r') << shown;
        }
    }
}

TEST_F(SfxpackBuildTest, AnInterruptStopsThePackingAndRemovesEveryTemporaryFile)
{
    TestRandom random(3);
    for (int i = 0; i < 6; ++i)
        Write(Src("f" + std::to_string(i) + ".bin"), random.Bytes(50 * 1024));
    std::vector<PlanProblem> problems;
    const std::vector<PlannedEntry> entries = CollectEntries(m_root / "src", &problems);
    ASSERT_EQ(entries.size(), 6u);
    const fs::path outFolder = m_root / "out";
    fs::create_directory(outFolder);
    std::vector<SfxRecord> records;
    std::string error;
    {
        OutputFile out(outFolder / "setup.exe");
        ASSERT_TRUE(out.Open());
        InterruptGuard guard;
        PackRequest request;
        request.entries = &entries;
        request.threads = 2;
        request.tempStem = outFolder / "setup.exe.part";
        request.outputShown = outFolder / "setup.exe";
        // Ctrl-C once the first entry stands in the output.
        bool raised = false;
        request.progress = [&raised](const PackProgress&) {
            if (!raised) {
                raised = true;
                std::raise(SIGINT);
            }
        };
        EXPECT_FALSE(PackEntries(request, &out, &records, &error));
        EXPECT_TRUE(raised);
        EXPECT_TRUE(Interrupted());
    }
    EXPECT_NE(error.find("interrupted"), std::string::npos) << error;
    EXPECT_LT(records.size(), entries.size());
    EXPECT_TRUE(fs::is_empty(outFolder));
}

// A small tmpfs mounted for one test and unmounted again.
class SmallDisk {
public:
    SmallDisk(const fs::path& at, int kib) : m_at(at)
    {
        const std::string options = "size=" + std::to_string(kib) + "k";
        m_mounted = mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
        m_errno = errno;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            umount2(m_at.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    int Errno() const { return m_errno; }

private:
    fs::path m_at;
    bool m_mounted = false;
    int m_errno = 0;
};

TEST_F(SfxpackBuildTest, AFullDiskAtAnyStageLeavesNothingBehind)
{
    TestRandom random(77);
    Write(Src("big.bin"), random.Bytes(260 * 1024));
    Write(Src("more.bin"), random.Bytes(100 * 1024));
    Write(Src("notes.txt"), random.Text(60 * 1024));
    const fs::path disk = m_root / "disk";
    fs::create_directory(disk);
    // From a disk too small for the stub to one that holds the installer
    // and its temporary files: every size in between fails at another
    // point of the build.
    int failures = 0, successes = 0;
    for (int kib : {4, 64, 200, 300, 380, 460, 600, 2048}) {
        SCOPED_TRACE(kib);
        SmallDisk small(disk, kib);
        if (!small.Mounted())
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(small.Errno());
        if (kib == 4)
            Write(m_root / "stub.exe", FakeStub(64 * 1024));
        else
            Write(m_root / "stub.exe", FakeStub());
        const fs::path out = disk / "setup.exe";
        const Outcome o = Build(out, {"-j", "2"});
        if (o.code == EXIT_OK) {
            ++successes;
            EXPECT_EQ(Capture(RunVerify, {U8(out), "--against", U8(m_root / "src")}).code, EXIT_OK);
            fs::remove(out);
        } else {
            ++failures;
            EXPECT_EQ(o.code, EXIT_DATA);
            EXPECT_EQ(LinesWith(o.err, "").size(), 1u) << o.err;
            EXPECT_NE(o.err.find("setup.exe"), std::string::npos) << o.err;
            EXPECT_NE(o.err.find(std::strerror(ENOSPC)), std::string::npos) << o.err;
        }
        EXPECT_TRUE(fs::is_empty(disk));
    }
    EXPECT_GE(failures, 4);
    EXPECT_GE(successes, 1);
}
TEST_F(SfxpackBuildTest, VerifyAndDiffWriteNothingAndDecodeASharedStreamOnce)
{
    // 256 entries of 16 MiB each, all pointing at one stream: 4 GiB to
    // unpack from a setup of a few hundred kilobytes.
    const size_t size = 16u << 20;
    const std::string a = PackBytes(std::string(size, 'A'));
    const std::string other = PackBytes(std::string(size - 1, 'A') + "B");
    const std::string stub = FakeStub();
    const auto image = [&](const std::string& first) {
        std::vector<SfxRecord> records;
        for (int i = 0; i < 256; ++i)
            records.push_back({uint32_t(stub.size() + (i == 0 ? a.size() : 0)), uint32_t(i == 0 ? first.size() : a.size()),
                               "f" + std::to_string(1000 + i) + ".zup"});
        return stub + a + first + SfxEncodeRecords(records);
    };
    Write(m_root / "a.exe", image(a));
    Write(m_root / "b.exe", image(other));
    const fs::path scratch = m_root / "tmp";
    fs::create_directory(scratch);
    SmallDisk small(scratch, 1024);
    if (!small.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(small.Errno());
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    setenv("TMPDIR", scratch.c_str(), 1);
    const Outcome verified = Capture(RunVerify, {U8(m_root / "a.exe")});
    const Outcome compared = Capture(RunDiff, {U8(m_root / "a.exe"), U8(m_root / "b.exe")});
    if (saved)
        setenv("TMPDIR", savedValue.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(verified.code, EXIT_OK) << verified.err;
    EXPECT_EQ(LinesWith(verified.out, "256 entries, 4096.0 MiB unpacked, 32.0 MiB of it in 2 distinct stream(s)").size(), 1u)
        << verified.out;
    EXPECT_EQ(compared.code, EXIT_DATA);
    EXPECT_EQ(LinesWith(compared.out, "changed  f1000: content").size(), 1u) << compared.out;
    EXPECT_EQ(LinesWith(compared.out, "0 added, 0 removed, 1 changed").size(), 1u) << compared.out;
    EXPECT_TRUE(fs::is_empty(scratch));
}

TEST_F(SfxpackBuildTest, ExtractStopsBeforeItsFirstWriteAndSaysWhatToDo)
{
    const fs::path setup = m_root / "setup.exe";
    TestRandom random(5);
    Write(setup, SfxBuildImage(FakeStub(), {{"Rendo.exe.zup", PackBytes("new client")},
                                            {"data.bin.zup", PackBytes(random.Bytes(300 * 1024))}}));
    const auto extract = [&](const fs::path& dest) {
        const Outcome o = Capture(RunExtract, {U8(setup), U8(dest)});
        EXPECT_EQ(o.code, EXIT_DATA) << o.err;
        return o.err;
    };
    // A running client: Linux refuses to open a running program for writing.
    const fs::path dest = m_root / "dest";
    fs::create_directory(dest);
    {
        HeldOpen client(AnsiOf(dest / "Rendo.exe"));
        const std::string before = DescribeTree(AnsiOf(dest));
        EXPECT_EQ(extract(dest), "sfxpack: " + Printable(dest / "Rendo.exe") + ": the file is in use; quit Orvex and try again\n");
        EXPECT_EQ(DescribeTree(AnsiOf(dest)), before);
    }
    // A byte changed in place (a bad download): the digests find it before
    // the earlier installation is touched, whichever entry it is in.
    const fs::path checked = m_root / "checked.exe";
    std::string image = SfxBuildImage(StubWithDigestSection(), {{"Rendo.exe.zup", PackBytes("new client")},
                                                                {"data.bin.zup", PackBytes(random.Bytes(3000))}});
    image[StubWithDigestSection().size() + 5] ^= 0x20;  // a coded byte of entry 0
    Write(checked, image);
    Write(dest / "Rendo.exe", "earlier client");
    const std::string before = DescribeTree(AnsiOf(dest));
    const Outcome damaged = Capture(RunExtract, {U8(checked), U8(dest)});
    EXPECT_EQ(damaged.code, EXIT_DATA);
    EXPECT_EQ(damaged.err, "sfxpack: " + Printable(checked) + ": the setup is damaged (entry 0, Rendo.exe.zup); download it again\n");
    EXPECT_EQ(DescribeTree(AnsiOf(dest)), before);
    // A file where the folder should be.
    Write(m_root / "plain", "");
    EXPECT_EQ(extract(m_root / "plain" / "dest").rfind("sfxpack: " + Printable(m_root / "plain" / "dest") +
                                                         ": cannot install here; choose another folder", 0),
              0u);
    // Too little space: found before anything is written.
    const fs::path disk = m_root / "disk";
    fs::create_directory(disk);
    SmallDisk small(disk, 256);
    if (!small.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(small.Errno());
    // The folders made for the run go again.
    EXPECT_EQ(extract(disk / "new" / "dest"),
              "sfxpack: " + Printable(disk / "new" / "dest") + ": not enough free space: 0.6 MB needed, 0.2 MB available\n");
    EXPECT_TRUE(fs::is_empty(disk));
}

TEST_F(SfxpackBuildTest, AnInterruptOrAKillDuringExtractLeavesTheFolderAsItWas)
{
    // The last entry is unpacked first, so small.txt is replaced before the
    // large one, which takes a while.
    const std::string big = std::string(128u << 20, 'A');
    const fs::path setup = m_root / "setup.exe";
    Write(setup, SfxBuildImage(FakeStub(), {{"big.bin.zup", PackBytes(big)}, {"small.txt.zup", PackBytes("small")}}));
    const fs::path dest = m_root / "dest";
    Write(dest / "small.txt", "earlier");
    fs::permissions(dest / "small.txt", fs::perms::owner_read);
    Write(dest / "mine.txt", "the user's own");
    const std::string before = DescribeTree(AnsiOf(dest));
    const fs::path log = m_root / "stderr.txt";
    // Stops extract once the large file's new content is being written.
    const auto runUntilBusy = [&](int signalNumber) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 2);
            _exit(RunExtract({U8(setup), U8(dest)}));
        }
        std::error_code ec;
        while (!(fs::exists(dest / "big.bin.zun", ec) && fs::file_size(dest / "big.bin.zun", ec) > 0))
            usleep(1000);
        kill(child, signalNumber);
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    };

    const int interrupted = runUntilBusy(SIGINT);
    ASSERT_TRUE(WIFEXITED(interrupted));
    EXPECT_EQ(WEXITSTATUS(interrupted), 130);
    EXPECT_EQ(DescribeTree(AnsiOf(dest)), before);
    EXPECT_EQ(Read(log), "sfxpack: interrupted; " + Printable(dest) + " is as it was\n");

    // Killed outright, the run leaves its backups; the next one puts them
    // back before it installs, and nothing of either run is left over.
    const int killed = runUntilBusy(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(killed));
    EXPECT_TRUE(fs::exists(dest / "small.txt.zbk"));
    const Outcome again = Capture(RunExtract, {U8(setup), U8(dest)});
    EXPECT_EQ(again.code, EXIT_OK) << again.err;
    EXPECT_EQ(Read(dest / "small.txt"), "small");
    EXPECT_EQ(Read(dest / "big.bin"), big);
    EXPECT_EQ(Read(dest / "mine.txt"), "the user's own");
    EXPECT_EQ(ListFilesBelow(AnsiOf(dest)), (std::vector<std::string>{"big.bin", "mine.txt", "small.txt"}));
}

#endif

TEST_F(SfxpackBuildTest, LongPathsWarnNamingTheFileAndTheLongestPath)
{
    // 100 + 1 + 100 + 1 bytes of folders; each of the Chinese characters
    // takes two GBK bytes.
    std::string folders;
    for (int i = 0; i < 50; ++i)
        folders += u8"通";
    folders += "/";
    for (int i = 0; i < 50; ++i)
        folders += u8"讯";
    folders += "/";
    // Below "c:\Ithra通讯" and eight digits (20 bytes) and a backslash, the
    // temporary file of the first takes 259 bytes, of the second 260.
    const std::string fits = folders + std::string(28, 'x') + ".txt";
    const std::string tooLong = folders + std::string(29, 'y') + ".txt";
    Write(Src(fits), "x");
    Write(Src(tooLong), "y");

    const fs::path out = m_root / "setup.exe";
    Outcome o = Build(out);
    ASSERT_EQ(o.code, EXIT_OK) << o.err;
    EXPECT_TRUE(fs::exists(out));
    EXPECT_EQ(LinesWith(o.err, Printable(Src(fits))).size(), 0u) << o.err;
    const std::vector<std::string> warned = LinesWith(o.err, Printable(Src(tooLong)) + ":");
    ASSERT_EQ(warned.size(), 2u) << o.err;
    EXPECT_NE(warned[0].find("warning"), std::string::npos);
    EXPECT_NE(warned[0].find("260 bytes"), std::string::npos);
    std::string longest = u8"longest path: c:\\Ithra通讯MMDDhhmm\\";
    for (int i = 0; i < 50; ++i)
        longest += u8"通";
    EXPECT_NE(warned[1].find(longest), std::string::npos) << warned[1];
    EXPECT_NE(warned[1].find(std::string(29, 'y') + ".txt.zup (260 bytes)"), std::string::npos) << warned[1];

    // The folder the user expects instead: a short one with its own
    // backslash, then one of 21 bytes that brings both files to 260.
    o = Build(out, {"--max-path-folder", "D:\\"});
    ASSERT_EQ(o.code, EXIT_OK);
    EXPECT_EQ(o.err, "");
    o = Build(out, {"--max-path-folder", "c:\\" + std::string(18, 'p')});
    ASSERT_EQ(o.code, EXIT_OK);
    EXPECT_EQ(LinesWith(o.err, Printable(Src(fits)) + ":").size(), 1u) << o.err;
    EXPECT_EQ(LinesWith(o.err, Printable(Src(tooLong)) + ":").size(), 2u) << o.err;
}

TEST_F(SfxpackBuildTest, FoldersWithoutFilesWarnButTheBuildGoesOn)
{
    Write(Src("app/main.txt"), "main");
    fs::create_directories(Src("logs"));
    fs::create_directories(Src("cache/tmp/deeper"));
    fs::create_directories(Src("app/plugins"));
    const Outcome o = Build(m_root / "setup.exe");
    ASSERT_EQ(o.code, EXIT_OK) << o.err;
    // The outermost folder of each empty branch, and nothing else.
    for (const char* folder : {"logs", "cache", "app/plugins"})
        EXPECT_EQ(LinesWith(o.err, "warning: " + Printable(Src(folder)) + ": holds no file").size(), 1u) << o.err;
    EXPECT_EQ(LinesWith(o.err, "warning").size(), 3u) << o.err;
}

TEST_F(SfxpackBuildTest, BadOptionsAreUsageErrors)
{
    Write(Src("a.txt"), "a");
    const fs::path out = m_root / "setup.exe";
    for (const char* threads : {"0", "257", "two", ""})
        EXPECT_EQ(Build(out, {"-j", threads}).code, EXIT_USAGE) << threads;
    EXPECT_EQ(Build(out, {"--max-path-folder", "c:\\\xF0\x9F\x98\x80"}).code, EXIT_USAGE);
    ExpectNoOutput(out);
}

}  // namespace
