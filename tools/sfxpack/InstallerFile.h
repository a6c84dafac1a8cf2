// An installer opened for inspection: its directory as the installer's own
// reader sees it, plus what list and diff need beyond that.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "HostText.h"
#include "Tool.h"
#include "archive/SfxDigest.h"
#include "lzari/LzariCodec.h"

namespace sfxpack {

struct ListedEntry {
    int index = 0;
    std::string storedName;     // GBK bytes, suffix included
    uint32_t offset = 0;
    uint32_t packedSize = 0;
    int64_t unpackedSize = -1;  // the stream's length field; -1 when unreadable
};

// How far a run of decodes has come, for the progress line.
struct DecodeProgress {
    ProgressLine* line = nullptr;
    size_t entriesDone = 0;
    size_t entriesTotal = 0;
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
};

// Where an entry's decoded bytes go instead of a file. This one only
// counts them; others look at them in Take, which returns false to stop
// the decode. Every sink stops on an interrupt, and moves the progress line.
class EntrySink : public CLzariSink {
public:
    explicit EntrySink(DecodeProgress* progress) : m_progress(progress) {}
    bool Write(const unsigned char* data, size_t size) final;
    bool WasInterrupted() const { return m_interrupted; }
    uint64_t BytesTaken() const { return m_taken; }

protected:
    virtual bool Take(const unsigned char*, size_t) { return true; }

private:
    DecodeProgress* m_progress;
    uint64_t m_taken = 0;
    bool m_interrupted = false;
};

class InstallerFile {
public:
    InstallerFile() = default;
    ~InstallerFile();
    InstallerFile(const InstallerFile&) = delete;
    InstallerFile& operator=(const InstallerFile&) = delete;

    // Reads and checks the directory; false with a one-line reason that
    // names the file.
    bool Open(const std::filesystem::path& setup, std::string* error);

    const std::vector<ListedEntry>& Entries() const { return m_entries; }
    // Where the first payload starts: the bytes before it are the program image.
    uint32_t ImageEnd() const { return m_imageEnd; }
    // The certificate table of a signed setup (size 0: not signed).
    uint32_t CertificateTableSize() const { return m_tableSize; }
    uint32_t CertificateTableOffset() const { return m_tableOffset; }
    FILE* Stream() { return m_file; }
    const std::filesystem::path& Path() const { return m_path; }
    // The digest section of the image, as read when opened (SfxDigest.h).
    const SfxDigestSection& Digests() const { return *m_digests; }

    // The installer's own digest check over the whole setup: SFX_OK (no
    // digests, or all match), SFX_ERR_DAMAGED naming the entry (-1: the
    // directory or the section), SFX_ERR_CANCELLED on an interrupt, or
    // SFX_ERR_FILE_IO.
    int CheckDigests(int* badEntry);

    // Decodes one entry, exactly its packed bytes, into the sink; the
    // codec's verdict (STATUS_WRITE_ERROR when the sink stopped it).
    CLzariCodec::Status Decode(const ListedEntry& entry, CLzariSink* sink);

private:
    std::filesystem::path m_path;
    EngineSetupPath m_setupPath;  // the engine's name of the file, open as long as this
    std::unique_ptr<CSfxArchive> m_archive;
    std::unique_ptr<SfxDigestSection> m_digests;
    FILE* m_file = nullptr;
    std::vector<ListedEntry> m_entries;
    uint32_t m_imageEnd = 0;
    uint32_t m_tableOffset = 0;
    uint32_t m_tableSize = 0;
};

// "signed, certificate table N bytes" or "not signed".
std::string SignatureText(uint32_t certificateTableSize);
// Whether the image carries digests, in a few words.
std::string DigestsText(const SfxDigestSection& digests);

// True when the byte ranges [aStart, aStart + length) of a and
// [bStart, bStart + length) of b hold the same bytes; false also on a
// read error.
bool SameBytes(FILE* a, uint64_t aStart, FILE* b, uint64_t bStart, uint64_t length);

// The sum of the entries' length fields.
uint64_t UnpackedTotal(const std::vector<ListedEntry>& entries);
// Prints "SETUP: N entries, SIZE unpacked" plus more before long work: when
// the setup unpacks to 256 MiB or more.
void AnnounceIfLarge(const std::filesystem::path& setup, size_t entries, uint64_t unpacked, const std::string& more);

}  // namespace sfxpack
