#include "SfxAppState.h"

namespace {
CSfxAppState* g_pState = nullptr;

const char* const kProtectedFiles[] = {
    "user\\keep01.pst", "user\\keep02.pst", "user\\keep03.pst", "user\\keep04.pst", "user\\keep05.pst",
    "user\\keep06.pst", "user\\keep07.pst", "user\\keep08.pst", "user\\keep09.pst", "user\\keep10.pst",
};
}  // namespace

const char* const SFX_KEEP_MARKER = kProtectedFiles[0];

CSfxAppState::CSfxAppState() { g_pState = this; }

CSfxAppState::~CSfxAppState()
{
    if (g_pState == this)
        g_pState = nullptr;
}

void CSfxAppState::AddProtectedFiles()
{
    for (const char* path : kProtectedFiles)
        m_protectedFiles.SetAtGrow(m_protectedFiles.GetSize(), path);
}

CSfxAppState* AfxGetAppState() { return g_pState; }
