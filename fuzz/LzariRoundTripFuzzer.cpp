// Property: packing any bytes and unpacking the stream gives them back,
// and the decoder takes the stream as whole.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LzariFuzzIo.h"

static void Run(const uint8_t* data, size_t size, bool encode, std::vector<uint8_t>* output)
{
    uint32_t count;
    if (RunCodec(data, size, encode, output, &count) != CLzariCodec::STATUS_OK)
        std::abort();
    if (encode && size > 0 && count != output->size())
        std::abort();
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
