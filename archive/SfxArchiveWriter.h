// Writes the archive layout behind a program image (see SfxLayout.h).
// The writer takes already packed payloads; it only lays them out.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SfxPackedEntry {
    std::string storedName;  // GBK bytes, with the ".zup" suffix
    std::string packed;      // one LZARI stream
};

// One directory record as written.
struct SfxRecord {
    uint32_t offset;
    uint32_t packedSize;
    std::string storedName;
};

// The directory records, the entry count and the magic.
std::string SfxEncodeRecords(const std::vector<SfxRecord>& records);

// The directory records and the trailer for entries whose payloads stand
// one after another from firstPayloadOffset on, in entry order.
std::string SfxEncodeDirectory(uint32_t firstPayloadOffset, const std::vector<SfxPackedEntry>& entries);

// The whole file: image, payloads, directory, count and magic; the digests
// in the image when it reserves a section for them (SfxDigest.h).
std::string SfxBuildImage(const std::string& programImage, const std::vector<SfxPackedEntry>& entries);
