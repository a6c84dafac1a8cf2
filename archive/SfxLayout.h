// The archive an installer carries behind its own program image.
// Every integer is 32-bit unsigned little-endian; N is the file's length.
//
//   0                 +---------------------------+
//                     | program image             |
//   end of image      +---------------------------+
//                     | payload 0 (LZARI stream)  |  <- offset of entry 0
//                     | payload 1                 |
//                     | ...                       |
//   directory start   +---------------------------+
//                     | record 0                  |
//                     | ...                       |
//                     | record count-1            |
//   E - 14            +---------------------------+
//                     | entry count        (4)    |
//   E - 10            +---------------------------+
//                     | "!DRAV_SFX!"       (10)   |
//   E                 +---------------------------+  E = N when unsigned
//                     | zero padding     (0 to 7) |  only in a signed file
//   T                 +---------------------------+
//                     | certificate table          |
//   N                 +---------------------------+
//
// Where the archive ends (E; the offsets above count back from it): when
// the PE optional header's security directory (index 4: file offset T and
// a size) is non-empty, starts after the PE headers and ends exactly at N,
// and the magic ends 0 to 7 zero bytes before T (signing pads the file to a
// multiple of 8), E is the end of the magic. Otherwise E = N. A malformed
// directory is "not signed", and the file is read from N. One function
// holds this rule, SfxLocateArchiveEnd (SfxSignature.h), for the installer
// and sfxpack alike.
//
// A record:  payload offset (4) | packed size (4) | stored name (L) | L (4)
// The name length follows the name so that a reader walking backwards from
// the end meets the length first. Stored names are relative GBK paths with
// backslashes, ending in the 4-byte suffix ".zup" (dropped on install).
//
// The digests, inside the program image. The stub reserves a PE section
// named ".sfxdig" (initialized data, all zero as linked, so the stub stays
// the same bytes for the same sources); sfxpack build fills it in the setup
// it writes. Nothing behind the image changes for it: a reader that knows
// only the map above reads a setup with digests as one without.
//
//   section start      +--------------------------------+
//                      | tag "SFXDIGST"           (8)   |
//                      | version, 1               (4)   |
//                      | entry count              (4)   |  the archive's count
//   +16                +--------------------------------+
//                      | SHA-256 of the directory (32)  |  directory start to E:
//                      |                                |  records, count, magic
//   +48                +--------------------------------+
//                      | SHA-256 of payload 0     (32)  |  its packed bytes
//                      | ...                            |
//                      | SHA-256 of payload 255   (32)  |  slots from the count on
//   +8240              +--------------------------------+  stay zero
//
// The section is found through the PE section table by its name. A section
// left all zero (a stub, or an archive some other packer appended) means
// "no digests". A filled section holds exactly this layout; a later layout
// would take another section name, so that every packer fills only a
// layout it knows. Signing covers the image, and so the digests; the
// directory digest ends at E, in front of a signature's padding.
//
// The writer (sfxpack) and the reader (CSfxArchive) both use these values.
#pragma once
#include <cstdint>

constexpr char SFX_MAGIC[] = "!DRAV_SFX!";
constexpr int SFX_MAGIC_LENGTH = sizeof(SFX_MAGIC) - 1;  // 10, never stored
constexpr int SFX_COUNT_LENGTH = 4;
constexpr int SFX_TRAILER_LENGTH = SFX_COUNT_LENGTH + SFX_MAGIC_LENGTH;  // 14
constexpr int SFX_RECORD_FIXED_LENGTH = 12;  // offset, size and name length
constexpr int SFX_MAX_ENTRIES = 256;
constexpr int SFX_NAME_BUFFER = 1000;  // a stored name is shorter than this
constexpr char SFX_NAME_SUFFIX[] = ".zup";
constexpr int SFX_NAME_SUFFIX_LENGTH = 4;
constexpr int SFX_MIN_NAME_LENGTH = SFX_NAME_SUFFIX_LENGTH + 1;
constexpr int SFX_MIN_PAYLOAD_LENGTH = 4;  // a stream's length field; an empty file is just that
constexpr int64_t SFX_MAX_FILE_SIZE = int64_t(1) << 31;  // the file stays below this

// The digest section (see the second map).
#define SFX_DIGEST_SECTION_NAME ".sfxdig"  // a macro: the stub's section attribute takes it
constexpr char SFX_DIGEST_TAG[] = "SFXDIGST";
constexpr int SFX_DIGEST_TAG_LENGTH = sizeof(SFX_DIGEST_TAG) - 1;  // 8, no terminator stored
constexpr uint32_t SFX_DIGEST_VERSION = 1;
constexpr int SFX_DIGEST_LENGTH = 32;  // SHA-256
constexpr int SFX_DIGEST_HEADER_LENGTH = SFX_DIGEST_TAG_LENGTH + 4 + 4;
constexpr int SFX_DIGEST_SECTION_LENGTH = SFX_DIGEST_HEADER_LENGTH + SFX_DIGEST_LENGTH * (1 + SFX_MAX_ENTRIES);  // 8240
