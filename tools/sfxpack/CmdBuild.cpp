// build: a copy of the stub with the archive of a folder appended.
#include <cstdio>

#include "BuildPlan.h"
#include "Commands.h"
#include "HostText.h"
#include "Tool.h"
#include "archive/SfxArchiveWriter.h"
#include "archive/SfxLayout.h"
#include "lzari/LzariCodec.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

const char kUsage[] = "usage: sfxpack build --stub STUB --from DIR -o OUT";

// Encodes one file straight into the output at its current end.
bool AppendPacked(const PlannedEntry& entry, OutputFile* out, std::string* error)
{
    FILE* input = OpenHostFile(entry.source, "rb");
    if (!input) {
        *error = Printable(entry.source) + ": cannot open for reading";
        return false;
    }
    CLzariCodec codec;
    codec.m_pIn = input;
    codec.m_pOut = out->Stream();
    codec.Encode();
    const bool readFailed = std::ferror(input) != 0;
    std::fclose(input);
    if (readFailed || codec.GetStatus() == CLzariCodec::STATUS_READ_ERROR) {
        *error = Printable(entry.source) + ": read error (or the file changed while being packed)";
        return false;
    }
    if (codec.GetStatus() != CLzariCodec::STATUS_OK) {
        *error = "cannot write the output (disk full?)";
        return false;
    }
    return true;
}

}  // namespace

int RunBuild(const std::vector<std::string>& argv)
{
    Args args;
    if (!ParseArgs(argv, {}, {"--stub", "--from", "-o"}, &args))
        return EXIT_USAGE;
    if (!args.words.empty() || !args.Has("--stub") || !args.Has("--from") || !args.Has("-o")) {
        Error(kUsage);
        return EXIT_USAGE;
    }
    const fs::path stubPath = fs::u8path(args.Value("--stub"));
    const fs::path from = fs::u8path(args.Value("--from"));
    const fs::path outPath = fs::u8path(args.Value("-o"));

    std::string stub;
    if (!ReadWholeFile(stubPath, &stub)) {
        Error(Printable(stubPath) + ": cannot read the stub");
        return EXIT_DATA;
    }
    std::vector<PlanProblem> problems;
    if (!LooksLikePeExecutable(stub))
        problems.push_back({Printable(stubPath), "the stub is not a PE executable"});
    const std::vector<PlannedEntry> entries = CollectEntries(from, &problems);
    CheckEntries(from, entries, &problems);
    if (!problems.empty()) {
        for (const PlanProblem& p : problems)
            Error(p.file + ": " + p.message);
        Error("refused: " + std::to_string(problems.size()) + " problem(s); nothing written");
        return EXIT_DATA;
    }

    OutputFile out(outPath);
    if (!out.Open()) {
        Error(Printable(outPath) + ": cannot create");
        return EXIT_DATA;
    }
    if (!out.Write(stub.data(), stub.size())) {
        Error(Printable(outPath) + ": cannot write (disk full?)");
        return EXIT_DATA;
    }
    std::vector<SfxRecord> records;
    uint64_t unpacked = 0;
    int64_t directorySize = SFX_TRAILER_LENGTH;
    for (const PlannedEntry& entry : entries) {
        const int64_t offset = out.Position();
        std::string error;
        if (!AppendPacked(entry, &out, &error)) {
            Error(error);
            return EXIT_DATA;
        }
        const int64_t end = out.Position();
        directorySize += SFX_RECORD_FIXED_LENGTH + static_cast<int64_t>(entry.storedName.size());
        if (offset < 0 || end < 0 || end + directorySize >= SFX_MAX_FILE_SIZE) {
            Error(Printable(outPath) + ": the installer would reach 2 GiB, more than an installer can read");
            return EXIT_DATA;
        }
        records.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(end - offset), entry.storedName});
        unpacked += entry.size;
    }
    const int64_t payloadEnd = out.Position();
    const std::string directory = SfxEncodeRecords(records);
    if (!out.Write(directory.data(), directory.size())) {
        Error(Printable(outPath) + ": cannot write (disk full?)");
        return EXIT_DATA;
    }
    std::string error;
    if (!out.Commit(&error)) {
        Error(error);
        return EXIT_DATA;
    }
    const uint64_t packed = static_cast<uint64_t>(payloadEnd) - stub.size();
    std::printf("built %s: %zu entries, %s unpacked, %s packed (%.1f%%)\n", Printable(outPath).c_str(), entries.size(),
                FormatBytes(unpacked).c_str(), FormatBytes(packed).c_str(),
                unpacked ? 100.0 * static_cast<double>(packed) / static_cast<double>(unpacked) : 100.0);
    return EXIT_OK;
}

}  // namespace sfxpack
