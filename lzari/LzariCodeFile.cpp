#include "lzari/LzariCodeFile.h"

#include <cstdio>

#include "framework/FileSystem.h"
#include "lzari/LzariCodec.h"

int LzariCodeFile(CString inputPath, CString outputPath, bool encode)
{
    FILE* in = FsOpenStream(inputPath, "rb");
    if (!in)
        return LZARI_ERR_OPEN_INPUT;
    FILE* out = FsOpenStream(outputPath, "wb");
    if (!out) {
        std::fclose(in);
        return LZARI_ERR_OPEN_OUTPUT;
    }

    CLzariCodec codec;
    codec.m_pIn = in;
    codec.m_pOut = out;
    if (encode)
        codec.Encode();
    else
        codec.Decode();
    const CLzariCodec::Status status = codec.GetStatus();
    const bool readFailed = std::ferror(in) != 0;
    const bool writeFailed = std::ferror(out) != 0;
    std::fclose(in);
    // The last buffered bytes reach the file only here: a full disk shows up
    // as a failed close.
    const bool closeFailed = std::fclose(out) != 0;

    if (status == CLzariCodec::STATUS_READ_ERROR || readFailed)
        return LZARI_ERR_READ;
    if (status == CLzariCodec::STATUS_WRITE_ERROR || writeFailed || closeFailed)
        return LZARI_ERR_WRITE;
    if (status == CLzariCodec::STATUS_TRUNCATED)
        return LZARI_ERR_TRUNCATED;
    if (status == CLzariCodec::STATUS_BAD_END)
        return LZARI_ERR_BAD_END;
    return LZARI_OK;
}
