// list: the directory of an installer, read by the installer's own reader.
#include <cstdio>

#include "Commands.h"
#include "Help.h"
#include "HostText.h"
#include "InstallerFile.h"
#include "Tool.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// A JSON string literal for UTF-8 text.
std::string JsonString(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

struct Totals {
    uint64_t packed = 0;
    uint64_t unpacked = 0;
};

Totals Sum(const std::vector<ListedEntry>& entries)
{
    Totals t;
    for (const ListedEntry& e : entries) {
        t.packed += e.packedSize;
        if (e.unpackedSize > 0)
            t.unpacked += static_cast<uint64_t>(e.unpackedSize);
    }
    return t;
}

void PrintTable(const InstallerFile& installer)
{
    const std::vector<ListedEntry>& entries = installer.Entries();
    std::printf("%5s  %10s  %10s  %10s  %s\n", "entry", "packed", "offset", "unpacked", "stored name");
    for (const ListedEntry& e : entries)
        std::printf("%5d  %10lu  %10lu  %10lld  %s\n", e.index, static_cast<unsigned long>(e.packedSize),
                    static_cast<unsigned long>(e.offset), static_cast<long long>(e.unpackedSize),
                    Utf8FromGbk(e.storedName).c_str());
    const Totals t = Sum(entries);
    std::printf("%zu entries, %llu bytes unpacked, %llu bytes packed (%.1f%%)\n", entries.size(),
                static_cast<unsigned long long>(t.unpacked), static_cast<unsigned long long>(t.packed),
                t.unpacked ? 100.0 * static_cast<double>(t.packed) / static_cast<double>(t.unpacked) : 100.0);
    std::printf("%s\n", DigestsText(installer.Digests()).c_str());
    std::printf("%s\n", SignatureText(installer.CertificateTableSize()).c_str());
}

// Field names are part of the tool's interface: scripts read them.
void PrintJson(const InstallerFile& installer)
{
    const std::vector<ListedEntry>& entries = installer.Entries();
    std::printf("{\n  \"entries\": [");
    for (size_t i = 0; i < entries.size(); ++i) {
        const ListedEntry& e = entries[i];
        const std::string unpacked = e.unpackedSize < 0 ? "null" : std::to_string(e.unpackedSize);
        std::printf("%s\n    {\"index\": %d, \"name\": %s, \"name_gbk_hex\": \"%s\", \"packed_size\": %lu, "
                    "\"offset\": %lu, \"unpacked_size\": %s}",
                    i ? "," : "", e.index, JsonString(Utf8FromGbk(e.storedName)).c_str(), Hex(e.storedName).c_str(),
                    static_cast<unsigned long>(e.packedSize), static_cast<unsigned long>(e.offset), unpacked.c_str());
    }
    const Totals t = Sum(entries);
    std::printf("\n  ],\n  \"totals\": {\"entries\": %zu, \"packed_size\": %llu, \"unpacked_size\": %llu},\n",
                entries.size(), static_cast<unsigned long long>(t.packed), static_cast<unsigned long long>(t.unpacked));
    // "digests": the image carries a filled digest section (verify checks it).
    std::printf("  \"digests\": %s,\n", installer.Digests().state != SFX_DIGESTS_NONE ? "true" : "false");
    std::printf("  \"signed\": %s,\n  \"certificate_table_size\": %lu\n}\n", installer.CertificateTableSize() ? "true" : "false",
                static_cast<unsigned long>(installer.CertificateTableSize()));
}

}  // namespace

int RunList(const std::vector<std::string>& argv)
{
    if (WantsHelp(argv))
        return ShowHelp("list");
    Args args;
    if (!ParseArgs(argv, {"--json"}, {}, &args))
        return EXIT_USAGE;
    if (args.words.size() != 1) {
        Error(UsageLine("list"));
        return EXIT_USAGE;
    }
    InstallerFile installer;
    std::string error;
    if (!installer.Open(fs::u8path(args.words[0]), &error)) {
        Error(error);
        return EXIT_DATA;
    }
    if (args.Has("--json"))
        PrintJson(installer);
    else
        PrintTable(installer);
    std::fflush(stdout);
    return EXIT_OK;
}

}  // namespace sfxpack
