#include "LzariFuzzIo.h"

#include <sys/types.h>

#include <cstdlib>

FILE* OpenMemoryInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return std::fopen("/dev/null", "rb");
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

static ssize_t SinkWrite(void* cookie, const char* buf, size_t size)
{
    auto* sink = static_cast<std::vector<uint8_t>*>(cookie);
    sink->insert(sink->end(), buf, buf + size);
    return static_cast<ssize_t>(size);
}

FILE* OpenMemoryOutput(std::vector<uint8_t>* sink)
{
    cookie_io_functions_t io = {nullptr, SinkWrite, nullptr, nullptr};
    return fopencookie(sink, "wb", io);
}

CLzariCodec::Status RunCodec(const uint8_t* data, size_t size, bool encode, std::vector<uint8_t>* output,
                             uint32_t* count)
{
    FILE* in = OpenMemoryInput(data, size);
    FILE* out = OpenMemoryOutput(output);
    if (!in || !out)
        std::abort();
    CLzariCodec::Status status;
    {
        CLzariCodec codec;
        codec.m_pIn = in;
        codec.m_pOut = out;
        const uint32_t n = encode ? codec.Encode() : codec.Decode();
        if (count)
            *count = n;
        status = codec.GetStatus();
    }
    std::fclose(in);
    std::fclose(out);
    return status;
}
