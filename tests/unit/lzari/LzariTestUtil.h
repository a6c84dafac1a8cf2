// Helpers for the codec tests: run the codec over byte vectors (through
// files in a scratch folder, as the installer does), make test inputs, and
// read the token sequence of a stream.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "lzari/LzariCodec.h"

typedef std::vector<uint8_t> Bytes;

// The result of one codec run.
struct CodecRun {
    Bytes output;
    uint32_t count = 0;  // what Encode/Decode returned
    CLzariCodec::Status status = CLzariCodec::STATUS_OK;
};

class CodecHarness {
public:
    CodecRun Encode(const Bytes& input);
    CodecRun Decode(const Bytes& stream);
    const CString& Folder() const { return m_dir.Path(); }
    CString PathOf(const char* name) const { return m_dir.Path() + "\\" + name; }

private:
    CodecRun Run(const Bytes& input, bool encode);
    TempDir m_dir;
};

bool WriteFileBytes(const CString& path, const Bytes& data);
bool ReadFileBytes(const CString& path, Bytes* data);

// Inputs from a fixed-seed generator: the same bytes on every run and target.
Bytes RandomBytes(size_t size, uint32_t seed);
Bytes TextBytes(size_t size, uint32_t seed);
Bytes RunBytes(size_t size, uint8_t value);
Bytes AllByteValues(size_t repeat);

// The unpacked length a stream states (its first four bytes, little-endian).
uint32_t LengthField(const Bytes& stream);

// One coded item of a stream: a literal byte, or a match of length 3..60 at
// distance 1..4095.
struct Token {
    int literal = -1;  // byte value, or -1 for a match
    int length = 0;
    int distance = 0;
};

// Reads the coded items of a stream without rebuilding the data, so tests
// can see which choice the encoder made.
class CLzariProbe : public CLzariCodec {
public:
    std::vector<Token> Tokens(FILE* stream, size_t maxTokens);

    using CLzariCodec::FlushBits;
    using CLzariCodec::FreqTotal;
    using CLzariCodec::InitModels;
    using CLzariCodec::SymbolFreq;
    using CLzariCodec::SymbolOfCode;
    using CLzariCodec::UpdateModel;
    using CLzariCodec::WriteBit;
    uint32_t CodeSize() const { return m_nCodeSize; }
};

std::vector<Token> TokensOf(CodecHarness& harness, const Bytes& stream, size_t maxTokens);
