// The section of the program image that sfxpack build fills with the
// digests of the archive behind it (layout in archive/SfxLayout.h). It is
// initialized data with its bytes in the file, never .bss, because sfxpack
// writes into those bytes; all zero here, so the stub stays the same bytes
// for the same sources. The engine reads it from the file, not from memory,
// so nothing refers to it: `used` keeps it.
#include "archive/SfxLayout.h"

extern const unsigned char g_sfxDigestSection[SFX_DIGEST_SECTION_LENGTH];
__attribute__((section(SFX_DIGEST_SECTION_NAME), used))
const unsigned char g_sfxDigestSection[SFX_DIGEST_SECTION_LENGTH] = {};
