// SHA-256 (FIPS 180-4), fed in pieces. The one digest of the project: the
// digests a setup carries (SfxDigest.h) and sfxpack's comparison of decoded
// entries. Standard C++ only; the installer checks every packed byte with
// it before it writes anything, so it is written for speed (see the .cpp).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

class CSha256 {
public:
    typedef std::array<uint8_t, 32> Digest;

    CSha256();
    void Update(const void* data, size_t size);
    // The digest of everything fed so far; the object is spent afterwards.
    Digest Finish();

    // The digest of one piece of memory.
    static Digest Of(const void* data, size_t size);

private:
    // Compresses `count` whole 64-byte blocks.
    void Blocks(const uint8_t* data, size_t count);
    uint32_t m_state[8];
    uint8_t m_buffer[64];
    size_t m_used = 0;
    uint64_t m_length = 0;
};
