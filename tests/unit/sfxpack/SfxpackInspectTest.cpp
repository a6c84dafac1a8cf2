// sfxpack list --json, diff and the manual pages.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "SfxpackFixture.h"
#include "HostText.h"
#include "archive/SfxArchiveWriter.h"
#include "lzari/LzariCodec.h"
#include "support/ArchiveFixtures.h"
#include "support/DigestStub.h"

namespace fs = std::filesystem;
using namespace sfxpack;
using namespace sfxpack_test;
using nlohmann::json;

namespace {

using SfxpackInspectTest = SfxpackFixture;

// The same content packed as literals only, a stream that another encoder
// might write and that the decoder takes as whole.
class CLiteralPacker : public CLzariCodec {
public:
    std::string Pack(const fs::path& scratch, const std::string& content)
    {
        m_pOut = OpenHostFile(scratch, "w+b");
        if (!m_pOut)
            return std::string();
        for (int b = 0; b < 4; ++b)
            std::fputc(static_cast<int>((content.size() >> (8 * b)) & 0xFF), m_pOut);
        InitModels();
        for (unsigned char c : content)
            EncodeCharCode(c);
        FinishEncoding();
        std::string packed(static_cast<size_t>(std::ftell(m_pOut)), '\0');
        std::rewind(m_pOut);
        packed.resize(std::fread(&packed[0], 1, packed.size(), m_pOut));
        std::fclose(m_pOut);
        return packed;
    }
};

std::string Hex(const std::string& bytes)
{
    std::string out;
    char digits[3];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        out += digits;
    }
    return out;
}

TEST_F(SfxpackInspectTest, JsonListingParsesAndMatchesTheFolder)
{
    TestRandom random(5);
    // name (UTF-8, as packed), its stored GBK bytes, content
    const struct {
        std::string utf8;
        std::string gbk;
        std::string content;
    } files[] = {
        {std::string("bin/") + kSincere + ".dll", "bin\\\xD5\x5C.dll.zup", random.Bytes(4000)},
        {"empty.txt", "empty.txt.zup", ""},
        {u8"说明.txt", "\xCB\xB5\xC3\xF7.txt.zup", random.Text(9000)},
    };
    for (const auto& f : files)
        Write(Src(f.utf8), f.content);
    const fs::path out = m_root / "setup.exe";
    ASSERT_EQ(Build(out).code, EXIT_OK);

    const Outcome o = Capture(RunList, {U8(out), "--json"});
    ASSERT_EQ(o.code, EXIT_OK) << o.err;
    const json listing = json::parse(o.out);
    const json& entries = listing.at("entries");
    ASSERT_EQ(entries.size(), 3u);
    const std::string image = Read(out);
    uint64_t offset = FakeStub().size(), packedTotal = 0, unpackedTotal = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const json& e = entries[i];
        EXPECT_EQ(e.at("index").get<int>(), static_cast<int>(i));
        // The stored name in UTF-8, separators as stored.
        std::string shown = files[i].utf8;
        for (char& c : shown)
            if (c == '/')
                c = '\\';
        EXPECT_EQ(e.at("name").get<std::string>(), shown + ".zup");
        EXPECT_EQ(e.at("name_gbk_hex").get<std::string>(), Hex(files[i].gbk));
        EXPECT_EQ(e.at("offset").get<uint64_t>(), offset);
        EXPECT_EQ(e.at("unpacked_size").get<uint64_t>(), files[i].content.size());
        const uint64_t packed = e.at("packed_size").get<uint64_t>();
        EXPECT_TRUE(image.substr(offset, packed) == PackBytes(files[i].content));
        offset += packed;
        packedTotal += packed;
        unpackedTotal += files[i].content.size();
    }
    const json& totals = listing.at("totals");
    EXPECT_EQ(totals.at("entries").get<int>(), 3);
    EXPECT_EQ(totals.at("packed_size").get<uint64_t>(), packedTotal);
    EXPECT_EQ(totals.at("unpacked_size").get<uint64_t>(), unpackedTotal);
}

TEST_F(SfxpackInspectTest, DiffNamesAddedRemovedAndChangedEntries)
{
    // The digests change with the entries; the program does not.
    Write(m_root / "stub.exe", StubWithDigestSection());
    Write(Src("same.txt"), TestRandom(1).Text(3000));
    Write(Src("old.txt"), "going away");
    Write(Src(std::string(kSincere) + ".ini"), "a=1\r\n");
    const fs::path a = m_root / "a.exe";
    ASSERT_EQ(Build(a).code, EXIT_OK);

    fs::remove(Src("old.txt"));
    Write(Src("new/added.txt"), "fresh");
    Write(Src(std::string(kSincere) + ".ini"), "a=2\r\nb=3\r\n");
    const fs::path b = m_root / "b.exe";
    ASSERT_EQ(Build(b).code, EXIT_OK);

    Outcome o = Capture(RunDiff, {U8(a), U8(b)});
    EXPECT_EQ(o.code, EXIT_DATA);
    EXPECT_EQ(LinesWith(o.out, "added    new\\added.txt").size(), 1u) << o.out;
    EXPECT_EQ(LinesWith(o.out, "removed  old.txt").size(), 1u) << o.out;
    const std::vector<std::string> changed = LinesWith(o.out, std::string("changed  ") + kSincere + ".ini: content");
    ASSERT_EQ(changed.size(), 1u) << o.out;
    EXPECT_NE(changed[0].find("5 -> 10 bytes"), std::string::npos) << changed[0];
    EXPECT_EQ(LinesWith(o.out, "same.txt").size(), 0u) << o.out;
    EXPECT_EQ(LinesWith(o.out, "1 added, 1 removed, 1 changed").size(), 1u) << o.out;
    EXPECT_EQ(LinesWith(o.out, "program image").size(), 0u) << o.out;

    o = Capture(RunDiff, {U8(b), U8(b)});
    EXPECT_EQ(o.code, EXIT_OK) << o.out;
    EXPECT_EQ(Capture(RunDiff, {U8(a)}).code, EXIT_USAGE);
    EXPECT_EQ(Capture(RunDiff, {U8(a), U8(m_root / "missing.exe")}).code, EXIT_DATA);
}

TEST_F(SfxpackInspectTest, DiffTellsOtherPackingOfTheSameContentAndAnotherStub)
{
    // The same content behind other packed bytes.
    const std::string content = TestRandom(8).Text(2000);
    const std::string stub = FakeStub();
    const std::string literals = CLiteralPacker().Pack(m_root / "literals.zup", content);
    ASSERT_NE(literals, PackBytes(content));
    Write(m_root / "a.exe", SfxBuildImage(stub, {{"app.txt.zup", PackBytes(content)}, {"b.txt.zup", PackBytes("b")}}));
    Write(m_root / "b.exe", SfxBuildImage(stub, {{"app.txt.zup", literals}, {"b.txt.zup", PackBytes("b")}}));
    Outcome o = Capture(RunDiff, {U8(m_root / "a.exe"), U8(m_root / "b.exe")});
    EXPECT_EQ(o.code, EXIT_DATA);
    EXPECT_EQ(LinesWith(o.out, "changed  app.txt: packed bytes only, same content").size(), 1u) << o.out;
    EXPECT_EQ(LinesWith(o.out, "b.txt").size(), 0u) << o.out;

    // Another program image in front of the same entries.
    std::string otherStub = stub;
    otherStub[0x100] = 'x';
    Write(m_root / "c.exe", SfxBuildImage(otherStub, {{"app.txt.zup", PackBytes(content)}, {"b.txt.zup", PackBytes("b")}}));
    o = Capture(RunDiff, {U8(m_root / "a.exe"), U8(m_root / "c.exe")});
    EXPECT_EQ(o.code, EXIT_DATA);
    EXPECT_EQ(LinesWith(o.out, "program image differs (512 -> 512 bytes)").size(), 1u) << o.out;
    EXPECT_EQ(LinesWith(o.out, "0 added, 0 removed, 0 changed").size(), 1u) << o.out;
}

TEST_F(SfxpackInspectTest, EveryCommandHasAManualPage)
{
    const std::vector<std::pair<std::string, int (*)(const std::vector<std::string>&)>> commands = {
        {"build", RunBuild}, {"list", RunList},     {"verify", RunVerify}, {"extract", RunExtract},
        {"diff", RunDiff},   {"encode", RunEncode}, {"decode", RunDecode},
    };
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        // --help wins over anything else on the line, even missing words.
        const Outcome o = Capture(run, {"--help"});
        EXPECT_EQ(o.code, EXIT_OK);
        EXPECT_EQ(o.out.rfind("NAME\n    sfxpack " + name + "\n", 0), 0u) << o.out;
        EXPECT_EQ(LinesWith(o.out, "    sfxpack " + name + " ").size(), 1u) << o.out;
        EXPECT_EQ(LinesWith(o.out, "EXIT STATUS").size(), 1u);
    }
}

}  // namespace
