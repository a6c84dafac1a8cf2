// Property: unpacking any bytes ends, never crashes and never writes more
// than the length field states; a sound report means all of it was decoded.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "LzariFuzzIo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> output;
    uint32_t count;
    const CLzariCodec::Status status = RunCodec(data, size, false, &output, &count);

    uint32_t length = 0;
    if (size >= 4)
        length = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    if (output.size() != count || count > length)
        std::abort();
    if (status == CLzariCodec::STATUS_OK && count != length)
        std::abort();
    if (size < 4 && status != CLzariCodec::STATUS_TRUNCATED)
        std::abort();
    return 0;
}
