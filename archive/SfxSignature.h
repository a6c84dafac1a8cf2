// Where the archive of an installer ends, signed or not.
//
// Signing (signtool, osslsigncode) pads the file with zero bytes to a
// multiple of 8 and appends the PE certificate table; the optional header's
// security directory (a file offset and a size) points at it. The archive
// then ends in front of that padding instead of at the end of the file.
#pragma once
#include <cstdint>

// Reads exactly `length` bytes at `offset`; false when they are not all there.
typedef bool (*SfxReadAtFn)(void* pContext, int64_t offset, void* pBuffer, int length);

// A file held in memory, read through SfxReadMemoryAt (the context).
struct SfxMemoryFile {
    const void* bytes;
    int64_t length;
};
bool SfxReadMemoryAt(void* pContext, int64_t offset, void* pBuffer, int length);

struct SfxArchiveBounds {
    int64_t archiveEnd = 0;   // where the magic ends
    uint32_t tableOffset = 0; // the certificate table, when signed
    uint32_t tableSize = 0;
    bool IsSigned() const { return tableSize != 0; }
};

// The certificate table the headers point at, when it is well formed: a
// non-empty range after the PE headers that ends exactly at the end of the
// file. Any other directory (outside the file, short of its end, empty,
// over the headers, in a file that is no PE image) means "not signed".
bool SfxFindCertificateTable(SfxReadAtFn pfnRead, void* pContext, int64_t fileLength, uint32_t* pOffset, uint32_t* pSize);

// The one rule for where the archive ends: in front of a well-formed
// certificate table and the at most 7 zero bytes that align it, when the
// magic stands right there; otherwise at the end of the file.
SfxArchiveBounds SfxLocateArchiveEnd(SfxReadAtFn pfnRead, void* pContext, int64_t fileLength);

// The same rules for a file held in memory.
SfxArchiveBounds SfxLocateArchiveEnd(const void* pBytes, int64_t length);
bool SfxHasCertificateTable(const void* pBytes, int64_t length);
