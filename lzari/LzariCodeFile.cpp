#include "lzari/LzariCodeFile.h"

#include <cstdio>

#include "framework/FileSystem.h"
#include "lzari/LzariCodec.h"

namespace {

// The output file, with the caller's pulse after every block.
class CPulsedFileSink : public CLzariSink {
public:
    CPulsedFileSink(FILE* out, LzariPulseFn pfnPulse, void* pContext) : m_out(out), m_pfnPulse(pfnPulse), m_pContext(pContext) {}
    bool Write(const unsigned char* data, size_t size) override
    {
        if (std::fwrite(data, 1, size, m_out) != size)
            return false;
        m_bCancelled = !m_pfnPulse(m_pContext);
        return !m_bCancelled;
    }
    bool Cancelled() const { return m_bCancelled; }

private:
    FILE* m_out;
    LzariPulseFn m_pfnPulse;
    void* m_pContext;
    bool m_bCancelled = false;
};

}  // namespace

int LzariCodeFile(CString inputPath, CString outputPath, bool encode, LzariPulseFn pfnPulse, void* pContext)
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
    CPulsedFileSink pulsed(out, pfnPulse, pContext);
    if (pfnPulse && !encode)
        codec.m_pSink = &pulsed;
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

    if (pulsed.Cancelled())
        return LZARI_ERR_CANCELLED;
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
