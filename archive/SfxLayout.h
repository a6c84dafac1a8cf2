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
//   N - 14            +---------------------------+
//                     | entry count        (4)    |
//   N - 10            +---------------------------+
//                     | "!DRAV_SFX!"       (10)   |
//   N                 +---------------------------+
//
// A record:  payload offset (4) | packed size (4) | stored name (L) | L (4)
// The name length follows the name so that a reader walking backwards from
// the end meets the length first. Stored names are relative GBK paths with
// backslashes, ending in the 4-byte suffix ".zup" (dropped on install).
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
