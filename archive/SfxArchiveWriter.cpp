#include "SfxArchiveWriter.h"

#include "archive/SfxLayout.h"

namespace {

void AppendLittleEndian32(std::string* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string SfxEncodeDirectory(uint32_t firstPayloadOffset, const std::vector<SfxPackedEntry>& entries)
{
    std::string out;
    uint32_t offset = firstPayloadOffset;
    for (const SfxPackedEntry& entry : entries) {
        AppendLittleEndian32(&out, offset);
        AppendLittleEndian32(&out, static_cast<uint32_t>(entry.packed.size()));
        out += entry.storedName;
        AppendLittleEndian32(&out, static_cast<uint32_t>(entry.storedName.size()));
        offset += static_cast<uint32_t>(entry.packed.size());
    }
    AppendLittleEndian32(&out, static_cast<uint32_t>(entries.size()));
    out.append(SFX_MAGIC, SFX_MAGIC_LENGTH);
    return out;
}

std::string SfxBuildImage(const std::string& programImage, const std::vector<SfxPackedEntry>& entries)
{
    std::string out = programImage;
    for (const SfxPackedEntry& entry : entries)
        out += entry.packed;
    out += SfxEncodeDirectory(static_cast<uint32_t>(programImage.size()), entries);
    return out;
}
