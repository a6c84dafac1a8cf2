// Property: a stream the encoder made, then cut short or lengthened by bytes
// the fuzzer chooses, never passes as whole (and so never as whole with other
// content); unchanged, it unpacks to the input.
//
// Input: one byte that picks cutting (even) or adding (odd), two bytes of
// amount, then the content; when adding, the content's last (amount modulo
// its size + 1) bytes are taken off it and added after the stream instead.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LzariFuzzIo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const bool add = data[0] & 1;
    const size_t amount = data[1] | static_cast<size_t>(data[2]) << 8;
    const uint8_t* content = data + 3;
    size_t contentSize = size - 3;
    size_t extra = add ? amount % (contentSize + 1) : 0;
    contentSize -= extra;

    std::vector<uint8_t> stream, unpacked;
    if (RunCodec(content, contentSize, true, &stream) != CLzariCodec::STATUS_OK || stream.size() < 4)
        std::abort();
    size_t cut = 0;
    if (add) {
        stream.insert(stream.end(), content + contentSize, content + contentSize + extra);
    } else {
        cut = amount % (stream.size() + 1);
        stream.resize(stream.size() - cut);
    }
    const CLzariCodec::Status status = RunCodec(stream.data(), stream.size(), false, &unpacked);
    const bool same =
        unpacked.size() == contentSize && (contentSize == 0 || std::memcmp(unpacked.data(), content, contentSize) == 0);
    if (status == CLzariCodec::STATUS_OK && !same)
        std::abort();
    if (status == CLzariCodec::STATUS_OK && (cut > 0 || extra > 0))
        std::abort();
    if (cut == 0 && extra == 0 && status != CLzariCodec::STATUS_OK)
        std::abort();
    return 0;
}
