#include "Registry.h"

#include <cstring>
#include <string>
#include <vector>

#include "framework/WideText.h"

namespace {

const SfxRegistryApi g_realApi = {RegOpenKeyExW, RegQueryValueExW, RegCloseKey};
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
    if (g_pApi->pfnOpenKeyEx(hRoot, AfxToWide(strKey).c_str(), 0, SFX_REGISTRY_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;

    std::vector<BYTE> buffer(SFX_REGISTRY_BUFFER_SIZE);
    DWORD cbData = SFX_REGISTRY_BUFFER_SIZE;
    DWORD type = REG_NONE;
    const LONG status =
        g_pApi->pfnQueryValueEx(hKey, AfxToWide(strValue).c_str(), nullptr, &type, buffer.data(), &cbData);
    g_pApi->pfnCloseKey(hKey);
    if (status != ERROR_SUCCESS)
        return false;

    // The text ends at the first NUL, and never runs past the bytes the call
    // reported, even when the stored value has no terminating NUL.
    if (cbData > SFX_REGISTRY_BUFFER_SIZE)
        cbData = SFX_REGISTRY_BUFFER_SIZE;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        // UTF-16; an odd last byte is no character.
        std::wstring text(cbData / sizeof(wchar_t), L'\0');
        std::memcpy(&text[0], buffer.data(), text.size() * sizeof(wchar_t));
        text.resize(std::wcslen(text.c_str()));
        *pstrResult = AfxFromWide(text);
        return true;
    }
    const void* nul = std::memchr(buffer.data(), 0, cbData);
    const DWORD length = nul ? static_cast<DWORD>(static_cast<const BYTE*>(nul) - buffer.data()) : cbData;
    *pstrResult = CString(reinterpret_cast<const char*>(buffer.data()), static_cast<int>(length));
    return true;
}
