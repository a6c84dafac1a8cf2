// Builders for test installers: packed payloads, whole archive images and
// byte-level access for making damaged variants.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "archive/SfxArchiveWriter.h"
#include "framework/String.h"

// One file of a test payload: its installed name (GBK, backslashes) and content.
struct FixtureFile {
    std::string name;
    std::string content;
};

// The LZARI stream of data.
std::string PackBytes(const std::string& data);

// Packed entries for files, each stored under name + ".zup", in order.
std::vector<SfxPackedEntry> PackFiles(const std::vector<FixtureFile>& files);

// A program image stand-in followed by the archive of files.
std::string MakeInstallerImage(const std::vector<FixtureFile>& files, const std::string& stub = std::string(4096, 'M'));

// Whole-file helpers on ANSI (backslash) paths.
void WriteBinaryFile(const CString& path, const std::string& bytes);
std::string ReadBinaryFile(const CString& path);

// Little-endian field access inside an image.
uint32_t GetLe32(const std::string& bytes, size_t at);
void PutLe32(std::string* bytes, size_t at, uint32_t value);

// Every file below a folder, as relative ANSI paths with backslashes, sorted.
std::vector<std::string> ListFilesBelow(const CString& folder);
// Everything below a folder, one sorted line each: name, kind (file,
// folder, link), read-only, and a file's content or a link's target; two
// folders that compare equal hold the same names, contents and attributes.
std::string DescribeTree(const CString& folder);

// A deterministic generator for test data (never seeded from the clock).
class TestRandom {
public:
    explicit TestRandom(uint32_t seed) : m_state(seed ? seed : 1) {}
    uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    std::string Bytes(size_t n);
    std::string Text(size_t n);

private:
    uint32_t m_state;
};

// A PE32 image of headers only (1024 bytes, headers end at 0x200), as a
// signing tool accepts it.
std::string MinimalPeStub();
constexpr size_t kPeSecurityEntry = 0x118;  // offset and size of the certificate table

// image padded with zero bytes to a multiple of 8 and followed by a
// certificate table of tableSize bytes, its directory entry set: what
// signing does.
std::string SignImage(std::string image, uint32_t tableSize = 1000);
