#include "Registry.h"

#include <cstring>
#include <vector>

namespace {

const SfxRegistryApi g_realApi = {RegOpenKeyExA, RegQueryValueExA, RegCloseKey};
const SfxRegistryApi* g_pApi = &g_realApi;

}  // namespace

const SfxRegistryApi* SfxSetRegistryApi(const SfxRegistryApi* pApi)
{
    const SfxRegistryApi* previous = g_pApi;
    g_pApi = pApi ? pApi : &g_realApi;
    return previous;
}

bool ReadRegistryString(HKEY hRoot, CString strKey, CString strValue, CString* pstrResult)
{
    HKEY hKey = nullptr;
    if (g_pApi->pfnOpenKeyEx(hRoot, strKey, 0, SFX_REGISTRY_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;

    std::vector<BYTE> buffer(SFX_REGISTRY_BUFFER_SIZE);
    DWORD cbData = SFX_REGISTRY_BUFFER_SIZE;
    const LONG status = g_pApi->pfnQueryValueEx(hKey, strValue, nullptr, nullptr, buffer.data(), &cbData);
    g_pApi->pfnCloseKey(hKey);
    if (status != ERROR_SUCCESS)
        return false;

    // The text ends at the first NUL, and never runs past the bytes the call
    // reported, even when the stored value has no terminating NUL.
    if (cbData > SFX_REGISTRY_BUFFER_SIZE)
        cbData = SFX_REGISTRY_BUFFER_SIZE;
    const void* nul = std::memchr(buffer.data(), 0, cbData);
    const DWORD length = nul ? static_cast<DWORD>(static_cast<const BYTE*>(nul) - buffer.data()) : cbData;
    *pstrResult = CString(reinterpret_cast<const char*>(buffer.data()), static_cast<int>(length));
    return true;
}
