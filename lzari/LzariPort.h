// The few things the codec asks of the compiler beyond standard C++: bit
// scans, byte order, and hints for the hot loops. Each has a plain C++ form;
// LZARI_PORTABLE (the CMake option SFX_LZARI_PORTABLE) selects it on every
// compiler, so that the plain forms stay tested.
#pragma once
#include <cstdint>
#include <cstring>

#if defined(__GNUC__) && !defined(LZARI_PORTABLE)
#define LZARI_BUILTINS 1
#endif

#if defined(__GNUC__)
#define LZARI_ALWAYS_INLINE inline __attribute__((always_inline))
#define LZARI_UNLIKELY(x) __builtin_expect(!!(x), 0)
// Hides a value's origin from the optimiser, so that it recomputes what it
// needs from it instead of keeping copies alive through a hot loop.
#define LZARI_OPAQUE(v) __asm__("" : "+r"(v))
#else
#define LZARI_ALWAYS_INLINE inline
#define LZARI_UNLIKELY(x) (x)
#define LZARI_OPAQUE(v) ((void)0)
#endif

namespace lzari_port {

// Leading zero bits of a value that is not 0.
inline int LeadingZeros32(uint32_t v)
{
#ifdef LZARI_BUILTINS
    return __builtin_clz(v);
#else
    int n = 0;
    for (uint32_t bit = 0x80000000u; !(v & bit); bit >>= 1)
        ++n;
    return n;
#endif
}

inline int LeadingZeros64(uint64_t v)
{
#ifdef LZARI_BUILTINS
    return __builtin_clzll(v);
#else
    const uint32_t high = static_cast<uint32_t>(v >> 32);
    return high ? LeadingZeros32(high) : 32 + LeadingZeros32(static_cast<uint32_t>(v));
#endif
}

// Eight bytes as one number, the first byte most significant, so that
// numbers compare as the byte strings do.
inline uint64_t LoadBigEndian64(const unsigned char* p)
{
#if defined(LZARI_BUILTINS) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
#elif defined(LZARI_BUILTINS) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
#else
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
#endif
}

// Where the top 16 bits of a 64-bit number lie in memory: bytes 6 and 7 on
// a little-endian machine, 0 and 1 on a big-endian one.
inline int Top16Offset()
{
#if defined(LZARI_BUILTINS) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return 6;
#elif defined(LZARI_BUILTINS) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return 0;
#else
    const uint64_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first ? 6 : 0;
#endif
}

}  // namespace lzari_port
