// A scratch folder with a stub and a source folder, and the sfxpack
// commands run in-process with their output captured.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "HostText.h"
#include "Tool.h"
#include "support/TempDir.h"

namespace sfxpack_test {

namespace fs = std::filesystem;

// UTF-8 spellings of GBK test names whose second byte is 0x5C, the byte of
// a backslash: "誠" (D5 5C) and "錦" (E5 5C).
constexpr char kSincere[] = "\xE8\xAA\xA0";
constexpr char kBrocade[] = "\xE9\x8C\xA6";

// The smallest file that passes for a PE executable.
inline std::string FakeStub(size_t size = 0x200)
{
    std::string stub(size, '\0');
    stub[0] = 'M';
    stub[1] = 'Z';
    stub[0x3C] = char(0x80);
    stub.replace(0x80, 4, std::string("PE\0\0", 4));
    return stub;
}

// The engine's spelling of a host path, for the engine's test helpers.
inline CString AnsiOf(const fs::path& host)
{
    CString ansi;
    EXPECT_TRUE(sfxpack::AnsiFromHost(host, &ansi)) << host;
    return ansi;
}

// What a command printed, and its exit code.
struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

class SfxpackFixture : public ::testing::Test {
public:
    static void Write(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string Read(const fs::path& path)
    {
        std::string bytes;
        EXPECT_TRUE(sfxpack::ReadWholeFile(path, &bytes)) << path;
        return bytes;
    }

protected:
    SfxpackFixture()
    {
        m_root = sfxpack::HostPathBelow(fs::path(), m_scratch.Path().str());
        fs::create_directories(m_root / "src");
        Write(m_root / "stub.exe", FakeStub());
    }

    static std::string U8(const fs::path& p) { return p.u8string(); }
    fs::path Src(const std::string& utf8) const { return (m_root / "src" / fs::u8path(utf8)).make_preferred(); }

    // Runs a command with stdout and stderr captured.
    template <typename Fn>
    static Outcome Capture(Fn command, const std::vector<std::string>& argv)
    {
        Outcome o;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        o.code = command(argv);
        std::fflush(stdout);
        std::fflush(stderr);
        o.err = ::testing::internal::GetCapturedStderr();
        o.out = ::testing::internal::GetCapturedStdout();
        return o;
    }

    // build of src behind stub.exe into out, with extra options.
    Outcome Build(const fs::path& out, std::vector<std::string> extra = {})
    {
        std::vector<std::string> argv = {"--stub", U8(m_root / "stub.exe"), "--from", U8(m_root / "src"), "-o", U8(out)};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return Capture(sfxpack::RunBuild, argv);
    }

    // Nothing named like the output, finished or temporary, exists.
    static void ExpectNoOutput(const fs::path& out)
    {
        EXPECT_FALSE(fs::exists(out));
        for (const auto& e : fs::directory_iterator(out.parent_path()))
            EXPECT_EQ(e.path().filename().u8string().find(out.filename().u8string()), std::string::npos) << e.path();
    }

    // The lines of text that mention needle.
    static std::vector<std::string> LinesWith(const std::string& text, const std::string& needle)
    {
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(start, end - start);
            if (line.find(needle) != std::string::npos)
                lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

    TempDir m_scratch;
    fs::path m_root;
};

}  // namespace sfxpack_test
