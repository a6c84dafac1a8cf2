// Property: packing any bytes and unpacking the stream gives them back,
// and the decoder takes the stream as whole.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LzariFuzzIo.h"
#include "lzari/LzariCodec.h"

static void Run(const uint8_t* data, size_t size, bool encode, std::vector<uint8_t>* output)
{
    FILE* in = OpenMemoryInput(data, size);
    FILE* out = OpenMemoryOutput(output);
    if (!in || !out)
        std::abort();
    {
        CLzariCodec codec;
        codec.m_pIn = in;
        codec.m_pOut = out;
        const uint32_t count = encode ? codec.Encode() : codec.Decode();
        if (codec.GetStatus() != CLzariCodec::STATUS_OK)
            std::abort();
        std::fflush(out);
        if (encode && size > 0 && count != output->size())
            std::abort();
    }
    std::fclose(in);
    std::fclose(out);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> packed, unpacked;
    Run(data, size, true, &packed);
    if (packed.size() < 4)
        std::abort();
    Run(packed.data(), packed.size(), false, &unpacked);
    if (unpacked.size() != size || (size > 0 && std::memcmp(unpacked.data(), data, size) != 0))
        std::abort();
    return 0;
}
