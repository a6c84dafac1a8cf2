#include "Mbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
int g_codePage = 936;
}

void AfxSetMultibyteCodePage(int codePage) { g_codePage = codePage; }
int AfxGetMultibyteCodePage() { return g_codePage; }

bool AfxIsLeadByte(unsigned char c)
{
    if (g_codePage == 936)
        return c >= 0x81 && c <= 0xFE;
#ifdef _WIN32
    return IsDBCSLeadByteEx(static_cast<UINT>(g_codePage), c) != 0;
#else
    return false;
#endif
}
