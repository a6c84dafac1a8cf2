// The digests sfxpack stores in an installer's program image: the SHA-256 of
// every entry's packed bytes, and one over the directory records, the entry
// count and the magic. The stub reserves a section for them (all zero in the
// stub); a setup built from a stub without that section carries none.
#pragma once
#include "archive/SfxArchive.h"
#include "framework/File.h"

// Checks the setup's digests, when it carries them, against the directory
// that `archive` last read from `file`: first the directory digest, then
// the packed bytes of each entry i for which check[i] is true, from the last
// entry to the first (the order the engine unpacks them). Reads only through
// `file`; calls pfnPulse (when not null) at least every 64 KiB hashed.
// Returns SFX_OK (no digests, or all match), SFX_ERR_DAMAGED with
// *pBadEntry set to the first entry whose digest differs (-1: the
// directory, the count or the digest section itself), or SFX_ERR_CANCELLED
// when the pulse returned false.
int SfxCheckDigests(CFile& file, const CSfxArchive& archive, const bool* check, SfxPulseFn pfnPulse, void* pContext,
                    int* pBadEntry);
