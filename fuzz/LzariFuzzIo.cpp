#include "LzariFuzzIo.h"

#include <sys/types.h>

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
