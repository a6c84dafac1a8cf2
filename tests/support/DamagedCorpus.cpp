#include "DamagedCorpus.h"

#include "ArchiveFixtures.h"
#include "archive/SfxArchive.h"
#include "archive/SfxArchiveWriter.h"

namespace {

const std::string kStub(512, 'M');

std::vector<FixtureFile> GoodFiles()
{
    TestRandom random(42);
    return {{"a.txt", random.Text(700)}, {"sub\\b.bin", random.Bytes(900)}, {"c.txt", random.Text(2000)}};
}

// Offset of the last record's name-length field, and so on, counted back.
struct LastRecord {
    size_t nameLengthAt, nameAt, sizeAt, offsetAt;
};

LastRecord FindLastRecord(const std::string& image)
{
    LastRecord r;
    r.nameLengthAt = image.size() - 18;
    const uint32_t length = GetLe32(image, r.nameLengthAt);
    r.nameAt = r.nameLengthAt - length;
    r.sizeAt = r.nameAt - 4;
    r.offsetAt = r.sizeAt - 4;
    return r;
}

std::string ImageWithName(const std::string& storedName)
{
    std::vector<SfxPackedEntry> entries = PackFiles({{"ok.txt", "fine"}});
    entries.push_back({storedName, PackBytes("payload")});
    return SfxBuildImage(kStub, entries);
}

}  // namespace

std::string GoodCorpusImage() { return SfxBuildImage(kStub, PackFiles(GoodFiles())); }

std::vector<DamagedImage> MakeDamagedCorpus()
{
    std::vector<DamagedImage> corpus;
    const std::string good = GoodCorpusImage();
    const LastRecord last = FindLastRecord(good);
    const size_t countAt = good.size() - 14;

    auto variant = [&](const std::string& label, int expected, auto change) {
        std::string bytes = good;
        change(&bytes);
        corpus.push_back({label, bytes, expected});
    };
    variant("count 257", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, countAt, 257); });
    variant("count 0xFFFFFFFF", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, countAt, 0xFFFFFFFFu); });
    variant("count larger than the records", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, countAt, 200); });
    variant("name length 1000", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, last.nameLengthAt, 1000); });
    variant("name length past the start", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, last.nameLengthAt, 999); });
    variant("name length 0x80000000", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, last.nameLengthAt, 0x80000000u); });
    variant("negative packed size", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, last.sizeAt, 0xFFFFFFF0u); });
    variant("negative offset", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, last.offsetAt, 0x80000000u); });
    variant("payload past the file", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, last.offsetAt, static_cast<uint32_t>(b->size())); });
    variant("payload into the directory", SFX_ERR_DAMAGED, [&](std::string* b) {
        PutLe32(b, last.sizeAt, GetLe32(*b, last.sizeAt) + 1);
    });
    variant("payload shorter than a length field", SFX_ERR_DAMAGED, [&](std::string* b) { PutLe32(b, last.sizeAt, 3); });
    variant("offset plus size wraps", SFX_ERR_DAMAGED, [&](std::string* b) {
        PutLe32(b, last.offsetAt, 0x7FFFFFF0u);
        PutLe32(b, last.sizeAt, 0x7FFFFFF0u);
    });

    const struct {
        const char* name;
    } kBadNames[] = {
        {"a.zup"},  // placeholder replaced below: too short
        {"\\abs.txt.zup"},
        {"/abs.txt.zup"},
        {"\\\\server\\share\\x.zup"},
        {"\\\\?\\c:\\x.zup"},
        {"c:x.txt.zup"},
        {"c:\\x.txt.zup"},
        {"file.txt:stream.zup"},
        {"..\\escape.txt.zup"},
        {"sub\\..\\..\\escape.txt.zup"},
        {"sub/../../escape.txt.zup"},
        {"..zup"},
        {"CON.zup"},
        {"sub\\nul.txt.zup"},
        {"Com1.log.zup"},
        {"lpt9\\x.zup"},
        {"aux .txt.zup"},
        {"wild*.txt.zup"},
        {"ctl\x01.txt.zup"},
        {"folder\\.zup"},
        {"\x81\x20.txt.zup"},  // not GBK: each host would spell it its own way
    };
    corpus.push_back({"name of 4 bytes", ImageWithName(".zup"), SFX_ERR_DAMAGED});
    for (size_t i = 1; i < sizeof kBadNames / sizeof kBadNames[0]; ++i)
        corpus.push_back({std::string("name ") + kBadNames[i].name, ImageWithName(kBadNames[i].name), SFX_ERR_DAMAGED});
    corpus.push_back({"name with NUL", ImageWithName(std::string("a\0b.txt.zup", 11)), SFX_ERR_DAMAGED});
    corpus.push_back({"stored name equals an installed name",
                      SfxBuildImage(kStub, PackFiles({{"x.txt", "1"}, {"X.TXT.zup", "2"}})), SFX_ERR_DAMAGED});
    // Windows opens the same file with a slash for a backslash, and drops
    // the dots and blanks that end a name.
    corpus.push_back({"stored name equals an installed name written with a slash",
                      SfxBuildImage(kStub, PackFiles({{"a\\b.txt", "1"}, {"a/b.txt.zup", "2"}})), SFX_ERR_DAMAGED});
    corpus.push_back({"stored name equals an installed name ending in a dot",
                      SfxBuildImage(kStub, PackFiles({{"c.txt", "1"}, {"c.txt.zup.", "2"}})), SFX_ERR_DAMAGED});
    corpus.push_back({"stored name equals an installed name ending in blanks",
                      SfxBuildImage(kStub, PackFiles({{"sub\\d.txt", "1"}, {"SUB \\D.TXT.zup  ", "2"}})),
                      SFX_ERR_DAMAGED});

    // The file cut short anywhere loses its trailer.
    for (size_t cut : {size_t(1), size_t(5), size_t(10), size_t(13), size_t(14), size_t(30), good.size() / 2, good.size() - 1})
        corpus.push_back({"file cut by " + std::to_string(cut), good.substr(0, good.size() - cut), 0});

    // A stream cut short inside an otherwise valid archive, or with a byte
    // after its end.
    const std::string full = PackBytes(TestRandom(9).Text(5000));
    for (size_t keep : {size_t(0), size_t(3), size_t(4), size_t(5), size_t(20), full.size() / 2, full.size() - 3,
                        full.size() - 1}) {
        std::vector<SfxPackedEntry> entries = {{"cut.txt.zup", full.substr(0, keep)}};
        corpus.push_back({"stream cut to " + std::to_string(keep), SfxBuildImage(kStub, entries), SFX_ERR_DAMAGED});
    }
    corpus.push_back({"stream with a byte after its end", SfxBuildImage(kStub, {{"long.txt.zup", full + '\0'}}),
                      SFX_ERR_DAMAGED});
    return corpus;
}
