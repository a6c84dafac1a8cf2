#include "SfxSignature.h"

#include <cstring>

#include "archive/SfxLayout.h"

namespace {

constexpr int kSecurityDirectory = 4;  // index in the data directories
constexpr int kCoffHeaderLength = 20;
constexpr int kSectionHeaderLength = 40;

bool ReadLe(SfxReadAtFn read, void* context, int64_t offset, int width, uint32_t* value)
{
    unsigned char b[4] = {0, 0, 0, 0};
    if (offset < 0 || !read(context, offset, b, width))
        return false;
    *value = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    return true;
}

}  // namespace

bool SfxReadMemoryAt(void* context, int64_t offset, void* buffer, int length)
{
    const SfxMemoryFile* m = static_cast<const SfxMemoryFile*>(context);
    if (offset < 0 || length < 0 || offset > m->length || length > m->length - offset)
        return false;
    std::memcpy(buffer, static_cast<const unsigned char*>(m->bytes) + offset, static_cast<size_t>(length));
    return true;
}

bool SfxFindCertificateTable(SfxReadAtFn read, void* context, int64_t fileLength, uint32_t* pOffset, uint32_t* pSize)
{
    // Every offset below comes from the file and may be hostile; all
    // arithmetic is 64-bit and every read is bounded by the reader.
    uint32_t mz = 0, peOffset = 0, signature = 0, optionalSize = 0, sections = 0, magic = 0;
    if (!ReadLe(read, context, 0, 2, &mz) || mz != 0x5A4D || !ReadLe(read, context, 0x3C, 4, &peOffset))
        return false;
    const int64_t pe = peOffset;
    if (!ReadLe(read, context, pe, 4, &signature) || signature != 0x00004550 ||
        !ReadLe(read, context, pe + 6, 2, &sections) || !ReadLe(read, context, pe + 20, 2, &optionalSize))
        return false;
    const int64_t optional = pe + 4 + kCoffHeaderLength;
    if (!ReadLe(read, context, optional, 2, &magic))
        return false;
    int64_t countAt, directories;
    if (magic == 0x10B) {  // PE32
        countAt = 92;
        directories = 96;
    } else if (magic == 0x20B) {  // PE32+
        countAt = 108;
        directories = 112;
    } else {
        return false;
    }
    uint32_t directoryCount = 0, headersSize = 0, tableOffset = 0, tableSize = 0;
    const int64_t entry = directories + 8 * kSecurityDirectory;
    if (entry + 8 > optionalSize || !ReadLe(read, context, optional + countAt, 4, &directoryCount) ||
        directoryCount <= static_cast<uint32_t>(kSecurityDirectory) ||
        !ReadLe(read, context, optional + 60, 4, &headersSize) ||
        !ReadLe(read, context, optional + entry, 4, &tableOffset) ||
        !ReadLe(read, context, optional + entry + 4, 4, &tableSize))
        return false;
    int64_t headersEnd = optional + optionalSize + int64_t(sections) * kSectionHeaderLength;
    if (headersEnd < headersSize)
        headersEnd = headersSize;
    if (tableSize == 0 || tableOffset < headersEnd || int64_t(tableOffset) + tableSize != fileLength)
        return false;
    *pOffset = tableOffset;
    *pSize = tableSize;
    return true;
}

SfxArchiveBounds SfxLocateArchiveEnd(SfxReadAtFn read, void* context, int64_t fileLength)
{
    SfxArchiveBounds bounds;
    bounds.archiveEnd = fileLength;
    uint32_t offset = 0, size = 0;
    if (!SfxFindCertificateTable(read, context, fileLength, &offset, &size))
        return bounds;
    // The bytes in front of the table: the magic, then the padding.
    constexpr int kMaxPadding = 7;
    constexpr int kTail = SFX_MAGIC_LENGTH + kMaxPadding;
    unsigned char tail[kTail];
    if (offset < static_cast<uint32_t>(kTail) || !read(context, int64_t(offset) - kTail, tail, kTail))
        return bounds;
    int padding = 0;
    while (padding < kMaxPadding && tail[kTail - 1 - padding] == 0)
        ++padding;
    // Padding only ever fills up to a multiple of 8, and the magic ends
    // where the padding starts; anything else is no signature of ours.
    const bool aligned = padding == 0 || offset % 8 == 0;
    if (!aligned || std::memcmp(tail + kTail - padding - SFX_MAGIC_LENGTH, SFX_MAGIC, SFX_MAGIC_LENGTH) != 0)
        return bounds;
    bounds.archiveEnd = int64_t(offset) - padding;
    bounds.tableOffset = offset;
    bounds.tableSize = size;
    return bounds;
}

SfxArchiveBounds SfxLocateArchiveEnd(const void* bytes, int64_t length)
{
    SfxMemoryFile m{bytes, length};
    return SfxLocateArchiveEnd(&SfxReadMemoryAt, &m, length);
}

bool SfxHasCertificateTable(const void* bytes, int64_t length)
{
    SfxMemoryFile m{bytes, length};
    uint32_t offset = 0, size = 0;
    return SfxFindCertificateTable(&SfxReadMemoryAt, &m, length, &offset, &size);
}
