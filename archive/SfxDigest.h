// The digests sfxpack stores in an installer's program image: the SHA-256 of
// every entry's packed bytes, and one over the directory records, the entry
// count and the magic. The stub reserves a section for them (all zero in the
// stub); a setup built from a stub without that section carries none. The
// layout is drawn in SfxLayout.h; this is the one code that reads and
// writes it, for the installer and sfxpack alike.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/SfxArchive.h"
#include "archive/SfxSignature.h"
#include "archive/Sha256.h"
#include "framework/File.h"

// What a file's digest section holds.
enum {
    SFX_DIGESTS_NONE = 0,     // no section, or one left all zero: nothing to check
    SFX_DIGESTS_PRESENT = 1,  // a filled section in the layout of SfxLayout.h
    SFX_DIGESTS_DAMAGED = 2,  // a section that is neither (too small, cut off, garbled)
};

struct SfxDigestSection {
    int state = SFX_DIGESTS_NONE;
    int64_t offset = -1;      // where the section's bytes start in the file; -1: no section
    int64_t checksumAt = -1;  // the PE optional header's CheckSum field; -1: no PE image
    uint32_t count = 0;
    CSha256::Digest directory{};
    CSha256::Digest entries[SFX_MAX_ENTRIES]{};
};

// Finds the digest section through the PE section table and reads it. Any
// offset in the headers may be hostile: every read is bounded by pfnRead,
// and a file that is no PE image has no section.
void SfxReadDigestSection(SfxReadAtFn pfnRead, void* pContext, int64_t fileLength, SfxDigestSection* pSection);

// Checks the setup's digests, when it carries them, against the directory
// that `archive` last read from `file`: first the directory digest, then
// the packed bytes of each entry i for which check[i] is true (every entry
// when check is null), from the last entry to the first (the order the
// engine unpacks them). Reads only through `file`; calls pfnPulse (when not
// null) at least every 64 KiB hashed. Returns SFX_OK (no digests, or all
// match), SFX_ERR_DAMAGED with *pBadEntry set to the first entry whose
// digest differs (-1: the directory, the count or the digest section
// itself), SFX_ERR_CANCELLED when the pulse returned false, or
// SFX_ERR_FILE_IO (*pBadEntry -1) when `file` cannot be read.
int SfxCheckDigests(CFile& file, const CSfxArchive& archive, const bool* check, SfxPulseFn pfnPulse, void* pContext,
                    int* pBadEntry);

// The PE optional header's CheckSum as the loader and signing tools compute
// it: the 16-bit sum with end-around carry of the whole file, taken as
// little-endian words, with the CheckSum field counted as zero, plus the
// file's length. Fed in pieces, each at its offset in the file, in any order.
class CSfxPeChecksum {
public:
    void Add(int64_t offset, const void* data, size_t size);
    uint32_t Finish(int64_t fileLength) const;

private:
    uint64_t m_sum = 0;
};

// Fills the digest section of a setup while its archive is written behind
// the stub. The writer feeds everything behind the stub in file order:
// each payload in pieces with EndPayload after it, then the directory
// records with the count and the magic. Fill then writes the section into
// the stub and, when the stub carries a CheckSum (mingw's linker writes
// one), the CheckSum of the whole setup, as signing tools do; a stub
// without a CheckSum keeps zero. Same input, same bytes.
class CSfxDigestWriter {
public:
    explicit CSfxDigestWriter(const std::string& stub);

    // The stub's own section: state NONE with offset -1 when it has none
    // (the setup carries no digests and Fill changes nothing), NONE with an
    // offset when it is empty, as a stub's is; PRESENT or DAMAGED when it
    // is no stub to build on (a built setup given as stub, or garbled).
    const SfxDigestSection& StubSection() const { return m_stub; }
    // True when the setup gets digests: the stub's section is there and empty.
    bool Fills() const { return m_stub.offset >= 0 && m_stub.state == SFX_DIGESTS_NONE; }

    void Payload(const void* data, size_t size);
    void EndPayload();
    void Directory(const void* data, size_t size);

    // Fills the section (and the CheckSum) in `image`, which starts with the
    // stub; the stub's bytes alone are touched. False when the entries fed
    // do not fit the section (more than SFX_MAX_ENTRIES).
    bool Fill(std::string* image) const;

private:
    void Add(const void* data, size_t size);

    SfxDigestSection m_stub;
    int64_t m_stubLength;
    int64_t m_position;
    uint32_t m_stubChecksum = 0;
    CSha256 m_payload;
    CSha256 m_directory;
    std::vector<CSha256::Digest> m_entries;
    CSfxPeChecksum m_tail;  // everything behind the stub
};
