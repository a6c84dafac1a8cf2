#include "SfxDigest.h"

#include <cstring>

#include "archive/SfxLayout.h"

namespace {

constexpr int kCoffHeaderLength = 20;
constexpr int kSectionHeaderLength = 40;
constexpr int kMaxSections = 96;            // the most the Windows loader takes
constexpr int kChecksumInOptional = 64;     // PE32 and PE32+ alike
constexpr int kHashChunk = 32 * 1024;       // one read of packed bytes
constexpr int64_t kPulseEvery = 64 * 1024;  // bytes hashed between two pulses, at most

uint32_t Le32(const unsigned char* b)
{
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

void PutLe32(unsigned char* b, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool ReadLe(SfxReadAtFn read, void* context, int64_t offset, int width, uint32_t* value)
{
    unsigned char b[4] = {0, 0, 0, 0};
    if (offset < 0 || !read(context, offset, b, width))
        return false;
    *value = Le32(b);
    return true;
}

// Parses the section's bytes into `section`.
void ParseSection(const unsigned char* bytes, SfxDigestSection* section)
{
    bool empty = true;
    for (int i = 0; i < SFX_DIGEST_SECTION_LENGTH && empty; ++i)
        empty = bytes[i] == 0;
    if (empty) {
        section->state = SFX_DIGESTS_NONE;
        return;
    }
    section->state = SFX_DIGESTS_DAMAGED;
    const uint32_t version = Le32(bytes + SFX_DIGEST_TAG_LENGTH);
    const uint32_t count = Le32(bytes + SFX_DIGEST_TAG_LENGTH + 4);
    if (std::memcmp(bytes, SFX_DIGEST_TAG, SFX_DIGEST_TAG_LENGTH) != 0 || version != SFX_DIGEST_VERSION || count == 0 ||
        count > static_cast<uint32_t>(SFX_MAX_ENTRIES))
        return;
    const unsigned char* slot = bytes + SFX_DIGEST_HEADER_LENGTH;
    std::memcpy(section->directory.data(), slot, SFX_DIGEST_LENGTH);
    for (int i = 0; i < SFX_MAX_ENTRIES; ++i) {
        slot += SFX_DIGEST_LENGTH;
        std::memcpy(section->entries[i].data(), slot, SFX_DIGEST_LENGTH);
        // The slots past the count are zero, so that every byte of the
        // section means something and a changed one is found.
        if (static_cast<uint32_t>(i) >= count && section->entries[i] != CSha256::Digest{})
            return;
    }
    section->count = count;
    section->state = SFX_DIGESTS_PRESENT;
}

// Reads `length` bytes at `offset` of an open file; false when they are not all there.
struct FileAndLength {
    CFile* file;
    int64_t length;
};

bool ReadOpenFileAt(void* context, int64_t offset, void* buffer, int length)
{
    const FileAndLength* f = static_cast<const FileAndLength*>(context);
    if (offset < 0 || length < 0 || offset > f->length - length)
        return false;
    f->file->Seek(static_cast<LONG>(offset), CFile::begin);
    return f->file->Read(buffer, static_cast<UINT>(length)) == static_cast<UINT>(length);
}

// Calls the caller's pulse once per kPulseEvery bytes hashed.
class Pulse {
public:
    Pulse(SfxPulseFn fn, void* context) : m_fn(fn), m_context(context) {}
    // How much may be hashed before the next pulse is due.
    int64_t Room() const { return kPulseEvery - m_since; }
    // False when the caller asks to stop.
    bool Hashed(int64_t bytes)
    {
        m_since += bytes;
        if (m_since < kPulseEvery)
            return true;
        m_since = 0;
        return !m_fn || m_fn(m_context);
    }

private:
    SfxPulseFn m_fn;
    void* m_context;
    int64_t m_since = 0;
};

// The SHA-256 of `length` bytes of `file` from `offset`: SFX_OK, or
// SFX_ERR_DAMAGED when the file ends first, or SFX_ERR_CANCELLED.
int HashRange(CFile& file, int64_t offset, int64_t length, Pulse& pulse, CSha256::Digest* digest)
{
    CSha256 hash;
    unsigned char buffer[kHashChunk];
    file.Seek(static_cast<LONG>(offset), CFile::begin);
    while (length > 0) {
        int64_t want = length < kHashChunk ? length : kHashChunk;
        if (want > pulse.Room())
            want = pulse.Room();
        const UINT got = file.Read(buffer, static_cast<UINT>(want));
        if (got == 0)
            return SFX_ERR_DAMAGED;  // the file is shorter than its directory says
        hash.Update(buffer, got);
        length -= got;
        if (!pulse.Hashed(got))
            return SFX_ERR_CANCELLED;
    }
    *digest = hash.Finish();
    return SFX_OK;
}

}  // namespace

void SfxReadDigestSection(SfxReadAtFn read, void* context, int64_t fileLength, SfxDigestSection* section)
{
    *section = SfxDigestSection();
    uint32_t mz = 0, peOffset = 0, signature = 0, sections = 0, optionalSize = 0, magic = 0;
    if (!ReadLe(read, context, 0, 2, &mz) || mz != 0x5A4D || !ReadLe(read, context, 0x3C, 4, &peOffset))
        return;
    const int64_t pe = peOffset;
    if (!ReadLe(read, context, pe, 4, &signature) || signature != 0x00004550 ||
        !ReadLe(read, context, pe + 6, 2, &sections) || !ReadLe(read, context, pe + 20, 2, &optionalSize))
        return;
    const int64_t optional = pe + 4 + kCoffHeaderLength;
    if (ReadLe(read, context, optional, 2, &magic) && (magic == 0x10B || magic == 0x20B) &&
        optionalSize >= static_cast<uint32_t>(kChecksumInOptional + 4) && optional + kChecksumInOptional + 4 <= fileLength)
        section->checksumAt = optional + kChecksumInOptional;
    if (sections == 0 || sections > static_cast<uint32_t>(kMaxSections))
        return;
    unsigned char table[kMaxSections * kSectionHeaderLength];
    const int64_t tableAt = optional + optionalSize;
    const int tableLength = static_cast<int>(sections) * kSectionHeaderLength;
    if (!read(context, tableAt, table, tableLength))
        return;
    static const char kName[8] = SFX_DIGEST_SECTION_NAME;
    for (uint32_t i = 0; i < sections; ++i) {
        const unsigned char* header = table + i * kSectionHeaderLength;
        if (std::memcmp(header, kName, sizeof kName) != 0)
            continue;
        const uint32_t rawSize = Le32(header + 16);
        const int64_t rawAt = Le32(header + 20);
        section->offset = rawAt;
        section->state = SFX_DIGESTS_DAMAGED;
        // Inside the file, behind the headers, and large enough.
        unsigned char bytes[SFX_DIGEST_SECTION_LENGTH];
        if (rawAt < tableAt + tableLength || rawSize < static_cast<uint32_t>(SFX_DIGEST_SECTION_LENGTH) ||
            !read(context, rawAt, bytes, SFX_DIGEST_SECTION_LENGTH))
            return;
        ParseSection(bytes, section);
        return;
    }
}

int SfxCheckDigests(CFile& file, const CSfxArchive& archive, const bool* check, SfxPulseFn pfnPulse, void* pContext,
                    int* pBadEntry)
{
    *pBadEntry = -1;
    try {
        FileAndLength open{&file, file.GetLength()};
        SfxDigestSection section;
        SfxReadDigestSection(&ReadOpenFileAt, &open, open.length, &section);
        if (section.state == SFX_DIGESTS_NONE)
            return SFX_OK;
        const int count = archive.GetEntryCount();
        if (section.state != SFX_DIGESTS_PRESENT || section.count != static_cast<uint32_t>(count))
            return SFX_ERR_DAMAGED;

        Pulse pulse(pfnPulse, pContext);
        CSha256::Digest digest;
        const int64_t directoryStart = archive.GetDirectoryStart();
        int result = HashRange(file, directoryStart, archive.GetArchiveEnd() - directoryStart, pulse, &digest);
        if (result == SFX_OK && digest != section.directory)
            result = SFX_ERR_DAMAGED;
        if (result != SFX_OK)
            return result;

        bool matched[SFX_MAX_ENTRIES] = {};
        for (int i = count - 1; i >= 0; --i) {
            if (check && !check[i])
                continue;
            const SfxEntry& entry = archive.GetEntry(i);
            // Entries that share their packed bytes and their digest are
            // hashed once: a hand-made setup may point them all at one payload.
            bool known = false;
            for (int j = i + 1; j < count && !known; ++j) {
                const SfxEntry& other = archive.GetEntry(j);
                known = matched[j] && other.m_nOffset == entry.m_nOffset &&
                        other.m_nPackedSize == entry.m_nPackedSize && section.entries[j] == section.entries[i];
            }
            if (!known) {
                result = HashRange(file, entry.m_nOffset, entry.m_nPackedSize, pulse, &digest);
                if (result == SFX_OK && digest != section.entries[i])
                    result = SFX_ERR_DAMAGED;
                if (result != SFX_OK) {
                    if (result == SFX_ERR_DAMAGED)
                        *pBadEntry = i;
                    return result;
                }
            }
            matched[i] = true;
        }
        return SFX_OK;
    } catch (const CFileException&) {
        *pBadEntry = -1;
        return SFX_ERR_FILE_IO;
    }
}

void CSfxPeChecksum::Add(int64_t offset, const void* data, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint64_t sum = 0;
    if (size > 0 && (offset & 1)) {  // the high byte of a word
        sum += uint64_t(*p++) << 8;
        --size;
    }
    for (; size >= 2; p += 2, size -= 2)
        sum += uint32_t(p[0]) | (uint32_t(p[1]) << 8);
    if (size > 0)  // the low byte of a word whose high byte comes later, or is the file's end
        sum += *p;
    m_sum += sum;
}

uint32_t CSfxPeChecksum::Finish(int64_t fileLength) const
{
    uint64_t sum = m_sum;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum) + static_cast<uint32_t>(fileLength);
}

CSfxDigestWriter::CSfxDigestWriter(const std::string& stub)
    : m_stubLength(static_cast<int64_t>(stub.size())), m_position(static_cast<int64_t>(stub.size()))
{
    SfxMemoryFile memory{stub.data(), m_stubLength};
    SfxReadDigestSection(&SfxReadMemoryAt, &memory, m_stubLength, &m_stub);
    if (m_stub.checksumAt >= 0)
        m_stubChecksum = Le32(reinterpret_cast<const unsigned char*>(stub.data()) + m_stub.checksumAt);
}

void CSfxDigestWriter::Add(const void* data, size_t size)
{
    m_tail.Add(m_position, data, size);
    m_position += static_cast<int64_t>(size);
}

void CSfxDigestWriter::Payload(const void* data, size_t size)
{
    m_payload.Update(data, size);
    Add(data, size);
}

void CSfxDigestWriter::EndPayload()
{
    m_entries.push_back(m_payload.Finish());
    m_payload = CSha256();
}

void CSfxDigestWriter::Directory(const void* data, size_t size)
{
    m_directory.Update(data, size);
    Add(data, size);
}

bool CSfxDigestWriter::Fill(std::string* image) const
{
    if (!Fills())
        return true;
    if (m_entries.empty() || m_entries.size() > static_cast<size_t>(SFX_MAX_ENTRIES) ||
        static_cast<int64_t>(image->size()) < m_stubLength)
        return false;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&(*image)[0]);
    unsigned char* section = bytes + m_stub.offset;
    std::memset(section, 0, SFX_DIGEST_SECTION_LENGTH);
    std::memcpy(section, SFX_DIGEST_TAG, SFX_DIGEST_TAG_LENGTH);
    PutLe32(section + SFX_DIGEST_TAG_LENGTH, SFX_DIGEST_VERSION);
    PutLe32(section + SFX_DIGEST_TAG_LENGTH + 4, static_cast<uint32_t>(m_entries.size()));
    CSha256 directory = m_directory;
    const CSha256::Digest directoryDigest = directory.Finish();
    unsigned char* slot = section + SFX_DIGEST_HEADER_LENGTH;
    std::memcpy(slot, directoryDigest.data(), SFX_DIGEST_LENGTH);
    for (const CSha256::Digest& entry : m_entries) {
        slot += SFX_DIGEST_LENGTH;
        std::memcpy(slot, entry.data(), SFX_DIGEST_LENGTH);
    }
    // The linker's CheckSum no longer holds once the image changed and the
    // archive stands behind it; the setup's own takes its place.
    if (m_stubChecksum != 0) {
        PutLe32(bytes + m_stub.checksumAt, 0);
        CSfxPeChecksum sum = m_tail;
        sum.Add(0, bytes, static_cast<size_t>(m_stubLength));
        PutLe32(bytes + m_stub.checksumAt, sum.Finish(m_position));
    }
    return true;
}
