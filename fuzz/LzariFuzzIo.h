// In-memory stdio streams for the codec fuzzers (glibc only).
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "lzari/LzariCodec.h"

// A read stream over size bytes at data (size may be 0).
FILE* OpenMemoryInput(const uint8_t* data, size_t size);
// A write stream that appends every byte to *sink.
FILE* OpenMemoryOutput(std::vector<uint8_t>* sink);
// Runs one direction of the codec from size bytes at data, appending to
// *output; *count (when given) gets what Encode or Decode returned.
CLzariCodec::Status RunCodec(const uint8_t* data, size_t size, bool encode, std::vector<uint8_t>* output,
                             uint32_t* count = nullptr);
