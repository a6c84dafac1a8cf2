// SHA-256 (FIPS 180-4), fed in pieces: diff compares decoded entries by
// their digests instead of keeping them anywhere.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace sfxpack {

class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    // The digest of everything fed so far; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

private:
    void Block(const uint8_t* block);
    uint32_t m_state[8];
    uint8_t m_buffer[64];
    size_t m_used = 0;
    uint64_t m_length = 0;
};

}  // namespace sfxpack
