#include "SfxArchiveWriter.h"

#include "archive/SfxDigest.h"
#include "archive/SfxLayout.h"

namespace {

void AppendLittleEndian32(std::string* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string SfxEncodeRecords(const std::vector<SfxRecord>& records)
{
    std::string out;
    for (const SfxRecord& record : records) {
        AppendLittleEndian32(&out, record.offset);
        AppendLittleEndian32(&out, record.packedSize);
        out += record.storedName;
        AppendLittleEndian32(&out, static_cast<uint32_t>(record.storedName.size()));
    }
    AppendLittleEndian32(&out, static_cast<uint32_t>(records.size()));
    out.append(SFX_MAGIC, SFX_MAGIC_LENGTH);
    return out;
}

std::string SfxEncodeDirectory(uint32_t firstPayloadOffset, const std::vector<SfxPackedEntry>& entries)
{
    std::vector<SfxRecord> records;
    uint32_t offset = firstPayloadOffset;
    for (const SfxPackedEntry& entry : entries) {
        records.push_back({offset, static_cast<uint32_t>(entry.packed.size()), entry.storedName});
        offset += static_cast<uint32_t>(entry.packed.size());
    }
    return SfxEncodeRecords(records);
}

std::string SfxBuildImage(const std::string& programImage, const std::vector<SfxPackedEntry>& entries)
{
    CSfxDigestWriter digests(programImage);
    std::string out = programImage;
    for (const SfxPackedEntry& entry : entries) {
        out += entry.packed;
        digests.Payload(entry.packed.data(), entry.packed.size());
        digests.EndPayload();
    }
    const std::string directory = SfxEncodeDirectory(static_cast<uint32_t>(programImage.size()), entries);
    out += directory;
    digests.Directory(directory.data(), directory.size());
    digests.Fill(&out);
    return out;
}
