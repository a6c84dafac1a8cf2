// In-memory stdio streams for the codec fuzzers (glibc only).
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

// A read stream over size bytes at data (size may be 0).
FILE* OpenMemoryInput(const uint8_t* data, size_t size);
// A write stream that appends every byte to *sink.
FILE* OpenMemoryOutput(std::vector<uint8_t>* sink);
