// File-to-file use of the codec: the extraction engine's one call into it.
#pragma once
#include "framework/String.h"

// Results of LzariCodeFile.
enum {
    LZARI_OK = 0,
    LZARI_ERR_OPEN_INPUT,   // the input file could not be opened for reading
    LZARI_ERR_OPEN_OUTPUT,  // the output file could not be created
    LZARI_ERR_TRUNCATED,    // decode: the packed stream ends before its data
    LZARI_ERR_READ,         // the input could not be read to its end
    LZARI_ERR_WRITE,        // the output could not be written or closed
    LZARI_ERR_BAD_END,      // decode: the packed file goes on after its stream, or its end is damaged
    LZARI_ERR_CANCELLED     // decode: the pulse asked to stop
};

// Called while decoding, after each block of output (at most 16 KiB), so
// that a caller can answer its window or notice an interrupt. Returns
// false to stop the run.
typedef bool (*LzariPulseFn)(void* pContext);

// Packs (encode true) or unpacks inputPath into outputPath, which is created
// or emptied. Paths are the program's text (code page 936, framework/Mbcs.h)
// with backslashes. Neither file stays open.
// On a failure the output file may hold a partial result; the caller
// removes it.
int LzariCodeFile(CString inputPath, CString outputPath, bool encode, LzariPulseFn pfnPulse = nullptr,
                  void* pContext = nullptr);
