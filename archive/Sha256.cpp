#include "Sha256.h"

#include <cstring>

// The compression function is written out 16 rounds at a time: the eight
// working variables change roles by renaming instead of moving, and the
// message schedule lives in a 16-word ring that each round extends in place.
// The size-optimized Windows build never unrolls a loop by itself, so it
// gets the same code as the native one (about 1.6 times the speed of the
// plain loop there; bench/RESULTS.md).

namespace {

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// Macros rather than functions: a size-optimizing compiler would call a
// function for each of them, several times a round.
#define SHA_ROTR(x, n) (((x) >> (n)) | ((x) << (32 - (n))))
#define SHA_SIGMA0(a) (SHA_ROTR(a, 2) ^ SHA_ROTR(a, 13) ^ SHA_ROTR(a, 22))
#define SHA_SIGMA1(e) (SHA_ROTR(e, 6) ^ SHA_ROTR(e, 11) ^ SHA_ROTR(e, 25))
#define SHA_SMALL0(w) (SHA_ROTR(w, 7) ^ SHA_ROTR(w, 18) ^ ((w) >> 3))
#define SHA_SMALL1(w) (SHA_ROTR(w, 17) ^ SHA_ROTR(w, 19) ^ ((w) >> 10))
// Choose and majority in their forms with one operation less.
#define SHA_CHOOSE(e, f, g) ((g) ^ ((e) & ((f) ^ (g))))
#define SHA_MAJORITY(a, b, c) ((((a) ^ (b)) & ((b) ^ (c))) ^ (b))

inline uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

}  // namespace

// Round i of the current 16 (k: the round constants from the first of them).
#define SHA_ROUND(a, b, c, d, e, f, g, h, i, word)                  \
    do {                                                            \
        h += SHA_SIGMA1(e) + SHA_CHOOSE(e, f, g) + k[i] + (word);           \
        d += h;                                                     \
        h += SHA_SIGMA0(a) + SHA_MAJORITY(a, b, c);                         \
    } while (0)
// Rounds 16 to 63 first extend the schedule: w[i] becomes W[t] from
// W[t-16] (itself), W[t-15], W[t-7] and W[t-2].
#define SHA_NEXT(i) (w[i] += SHA_SMALL1(w[((i) + 14) & 15]) + w[((i) + 9) & 15] + SHA_SMALL0(w[((i) + 1) & 15]))
#define SHA_16_ROUNDS(WORD)                                  \
    SHA_ROUND(a, b, c, d, e, f, g, h, 0, WORD(0));           \
    SHA_ROUND(h, a, b, c, d, e, f, g, 1, WORD(1));           \
    SHA_ROUND(g, h, a, b, c, d, e, f, 2, WORD(2));           \
    SHA_ROUND(f, g, h, a, b, c, d, e, 3, WORD(3));           \
    SHA_ROUND(e, f, g, h, a, b, c, d, 4, WORD(4));           \
    SHA_ROUND(d, e, f, g, h, a, b, c, 5, WORD(5));           \
    SHA_ROUND(c, d, e, f, g, h, a, b, 6, WORD(6));           \
    SHA_ROUND(b, c, d, e, f, g, h, a, 7, WORD(7));           \
    SHA_ROUND(a, b, c, d, e, f, g, h, 8, WORD(8));           \
    SHA_ROUND(h, a, b, c, d, e, f, g, 9, WORD(9));           \
    SHA_ROUND(g, h, a, b, c, d, e, f, 10, WORD(10));         \
    SHA_ROUND(f, g, h, a, b, c, d, e, 11, WORD(11));         \
    SHA_ROUND(e, f, g, h, a, b, c, d, 12, WORD(12));         \
    SHA_ROUND(d, e, f, g, h, a, b, c, 13, WORD(13));         \
    SHA_ROUND(c, d, e, f, g, h, a, b, 14, WORD(14));         \
    SHA_ROUND(b, c, d, e, f, g, h, a, 15, WORD(15))
#define SHA_LOADED(i) w[i]

CSha256::CSha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}
{
}

void CSha256::Blocks(const uint8_t* data, size_t count)
{
    for (; count > 0; --count, data += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = BigEndian32(data + 4 * i);
        uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
        uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
        const uint32_t* k = kRound;
        SHA_16_ROUNDS(SHA_LOADED);
        for (k = kRound + 16; k != kRound + 64; k += 16) {
            SHA_16_ROUNDS(SHA_NEXT);
        }
        m_state[0] += a;
        m_state[1] += b;
        m_state[2] += c;
        m_state[3] += d;
        m_state[4] += e;
        m_state[5] += f;
        m_state[6] += g;
        m_state[7] += h;
    }
}

void CSha256::Update(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_length += size;
    if (m_used > 0) {
        const size_t n = size < 64 - m_used ? size : 64 - m_used;
        std::memcpy(m_buffer + m_used, p, n);
        m_used += n;
        p += n;
        size -= n;
        if (m_used < 64)
            return;
        Blocks(m_buffer, 1);
        m_used = 0;
    }
    // Whole blocks straight from the caller's memory.
    Blocks(p, size / 64);
    p += size - size % 64;
    size %= 64;
    std::memcpy(m_buffer, p, size);
    m_used = size;
}

CSha256::Digest CSha256::Finish()
{
    const uint64_t bits = m_length * 8;
    uint8_t tail[72] = {0x80};
    // The 0x80 byte, zeros up to 8 bytes before a block's end, the length.
    const size_t padding = (m_used < 56 ? 56 : 120) - m_used;
    for (int i = 0; i < 8; ++i)
        tail[padding + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Update(tail, padding + 8);
    Digest digest;
    for (int i = 0; i < 32; ++i)
        digest[static_cast<size_t>(i)] = static_cast<uint8_t>(m_state[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

CSha256::Digest CSha256::Of(const void* data, size_t size)
{
    CSha256 hash;
    hash.Update(data, size);
    return hash.Finish();
}
