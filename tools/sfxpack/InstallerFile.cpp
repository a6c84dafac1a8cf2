#include "InstallerFile.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "Host.h"
#include "HostText.h"
#include "Tool.h"
#include "archive/SfxArchive.h"
#include "framework/FileSystem.h"
#include "lzari/LzariCodec.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

bool ReadStreamAt(void* context, int64_t offset, void* buffer, int length)
{
    FILE* stream = static_cast<FILE*>(context);
    return offset >= 0 && length >= 0 && host::Seek(stream, static_cast<uint64_t>(offset)) &&
           std::fread(buffer, 1, static_cast<size_t>(length), stream) == static_cast<size_t>(length);
}

}  // namespace

InstallerFile::~InstallerFile()
{
    if (m_file)
        std::fclose(m_file);
}

bool InstallerFile::Open(const fs::path& setup, std::string* error)
{
    m_path = setup;
    if (!m_setupPath.Open(setup, error))
        return false;
    // The reader of the installer itself decides what is an archive.
    m_archive = std::make_unique<CSfxArchive>();
    CSfxArchive* archive = m_archive.get();
    const int result = archive->ReadDirectory(m_setupPath.Ansi());
    if (result != SFX_OK) {
        *error = Printable(setup) + ": " + SfxResultText(result);
        return false;
    }
    // The very file whose directory was just read, even should the name
    // now stand for another.
    m_file = FsOpenStream(m_setupPath.Ansi(), "rb");
    if (!m_file) {
        *error = Printable(setup) + ": cannot open for reading";
        return false;
    }
    m_digests = std::make_unique<SfxDigestSection>();
    const int64_t length = host::Seek(m_file, 0) && std::fseek(m_file, 0, SEEK_END) == 0 ? host::Tell(m_file) : -1;
    SfxReadDigestSection(&ReadStreamAt, m_file, length, m_digests.get());
    m_entries.clear();
    m_tableOffset = archive->GetCertificateTableOffset();
    m_tableSize = archive->GetCertificateTableSize();
    m_imageEnd = UINT32_MAX;
    for (int i = 0; i < archive->GetEntryCount(); ++i) {
        const SfxEntry& entry = archive->GetEntry(i);
        ListedEntry listed;
        listed.index = i;
        listed.storedName = entry.GetName().str();
        listed.offset = static_cast<uint32_t>(entry.m_nOffset);
        listed.packedSize = static_cast<uint32_t>(entry.m_nPackedSize);
        unsigned char b[4];
        if (listed.packedSize >= 4 && host::Seek(m_file, listed.offset) && std::fread(b, 1, 4, m_file) == 4)
            listed.unpackedSize = int64_t(b[0]) | (int64_t(b[1]) << 8) | (int64_t(b[2]) << 16) | (int64_t(b[3]) << 24);
        m_imageEnd = std::min(m_imageEnd, listed.offset);
        m_entries.push_back(listed);
    }
    return true;
}

int InstallerFile::CheckDigests(int* badEntry)
{
    *badEntry = -1;
    CFile file;
    if (!file.Open(m_setupPath.Ansi(), CFile::modeRead | CFile::shareDenyWrite))
        return SFX_ERR_OPEN_SELF;
    return SfxCheckDigests(file, *m_archive, nullptr, [](void*) { return !Interrupted(); }, nullptr, badEntry);
}

bool EntrySink::Write(const unsigned char* data, size_t size)
{
    if (Interrupted()) {
        m_interrupted = true;
        return false;
    }
    if (!Take(data, size))
        return false;
    m_taken += size;
    if (m_progress && m_progress->line) {
        m_progress->bytesDone += size;
        m_progress->line->Show(m_progress->entriesDone, m_progress->entriesTotal, m_progress->bytesDone,
                               m_progress->bytesTotal);
    }
    return true;
}

CLzariCodec::Status InstallerFile::Decode(const ListedEntry& entry, CLzariSink* sink)
{
    if (!host::Seek(m_file, entry.offset))
        return CLzariCodec::STATUS_READ_ERROR;
    const auto codec = std::make_unique<CLzariCodec>();
    codec->m_pIn = m_file;
    codec->m_pSink = sink;
    // The stream is its packed bytes and no more, as when the installer
    // copies them into a file of their own.
    codec->SetInputLimit(entry.packedSize);
    codec->Decode();
    return codec->GetStatus();
}

std::string DigestsText(const SfxDigestSection& digests)
{
    switch (digests.state) {
    case SFX_DIGESTS_PRESENT: return "digests: SHA-256 of each entry and of the directory";
    case SFX_DIGESTS_DAMAGED: return "digests: the digest section is damaged";
    default: return "no digests";
    }
}

std::string SignatureText(uint32_t certificateTableSize)
{
    return certificateTableSize ? "signed, certificate table " + std::to_string(certificateTableSize) + " bytes"
                                : std::string("not signed");
}

bool SameBytes(FILE* a, uint64_t aStart, FILE* b, uint64_t bStart, uint64_t length)
{
    if (!host::Seek(a, aStart) || !host::Seek(b, bStart))
        return false;
    char bufferA[1 << 15], bufferB[1 << 15];
    while (length > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, sizeof bufferA));
        if (std::fread(bufferA, 1, want, a) != want || std::fread(bufferB, 1, want, b) != want)
            return false;
        if (std::memcmp(bufferA, bufferB, want) != 0)
            return false;
        length -= want;
    }
    return true;
}

// Setups that unpack to this much or more are announced before the work
// starts: the codec decodes program files at about 50 MB a second, so
// that is a wait of five seconds or more, and a hand-made setup may claim
// far more than its own size.
namespace {

constexpr uint64_t kLargeUnpacked = uint64_t(256) << 20;

}  // namespace

uint64_t UnpackedTotal(const std::vector<ListedEntry>& entries)
{
    uint64_t total = 0;
    for (const ListedEntry& e : entries)
        if (e.unpackedSize > 0)
            total += static_cast<uint64_t>(e.unpackedSize);
    return total;
}

void AnnounceIfLarge(const fs::path& setup, size_t entries, uint64_t unpacked, const std::string& more)
{
    if (unpacked < kLargeUnpacked)
        return;
    std::printf("%s: %zu entries, %s unpacked%s\n", Printable(setup).c_str(), entries, FormatBytes(unpacked).c_str(),
                more.c_str());
    std::fflush(stdout);
}

}  // namespace sfxpack
