// The codec keeps all its state in the object: coding allocates nothing,
// whatever the input's size. Every operator new of this test program is
// counted; on glibc the bytes in use on the C heap are compared as well.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#define SFX_HEAP_IN_USE 1
#endif

#include "LzariTestUtil.h"
#include "framework/FileSystem.h"

namespace {
std::atomic<long> g_newCalls{0};
}  // namespace

// The replacements hand their blocks to malloc and free, which some
// compilers take for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    ++g_newCalls;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

size_t HeapInUse()
{
#ifdef SFX_HEAP_IN_USE
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

// Opens both streams with buffers of our own, so that stdio has nothing
// left to allocate, then counts what one direction allocates.
struct Allocations {
    long newCalls = -1;
    long heapGrowth = -1;
    uint32_t count = 0;
};

Allocations CountWhileCoding(CodecHarness& h, const Bytes& input, bool encode)
{
    Allocations a;
    const CString inPath = h.PathOf("mem_in.dat");
    const CString outPath = h.PathOf("mem_out.dat");
    if (!WriteFileBytes(inPath, input))
        return a;
    FILE* in = FsOpenStream(inPath, "rb");
    FILE* out = FsOpenStream(outPath, "wb");
    static char inBuf[BUFSIZ], outBuf[BUFSIZ];
    if (in && out && std::setvbuf(in, inBuf, _IOFBF, sizeof inBuf) == 0 &&
        std::setvbuf(out, outBuf, _IOFBF, sizeof outBuf) == 0) {
        CLzariCodec* codec = new CLzariCodec;  // the caller's choice: here on the heap
        codec->m_pIn = in;
        codec->m_pOut = out;
        const long newBefore = g_newCalls;
        const size_t heapBefore = HeapInUse();
        a.count = encode ? codec->Encode() : codec->Decode();
        a.heapGrowth = static_cast<long>(HeapInUse() - heapBefore);
        a.newCalls = g_newCalls - newBefore;
        delete codec;
    }
    if (in)
        std::fclose(in);
    if (out)
        std::fclose(out);
    return a;
}

}  // namespace

TEST(LzariMemory, CodingAllocatesNothingAtAnySize)
{
    CodecHarness h;
    for (size_t size : {size_t(100), size_t(64) << 10, size_t(1) << 20}) {
        SCOPED_TRACE(size);
        Bytes input = TextBytes(size / 2, 7);
        const Bytes noise = RandomBytes(size - input.size(), 8);
        input.insert(input.end(), noise.begin(), noise.end());

        const Allocations enc = CountWhileCoding(h, input, true);
        EXPECT_EQ(enc.newCalls, 0);
        EXPECT_EQ(enc.heapGrowth, 0);
        Bytes packed;
        ASSERT_TRUE(ReadFileBytes(h.PathOf("mem_out.dat"), &packed));

        const Allocations dec = CountWhileCoding(h, packed, false);
        EXPECT_EQ(dec.newCalls, 0);
        EXPECT_EQ(dec.heapGrowth, 0);
        EXPECT_EQ(dec.count, size);
    }
}
