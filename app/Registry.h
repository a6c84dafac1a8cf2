// Reading one string value from the registry (Win32 only).
//
// The installer only ever reads the registry: the folder of an earlier
// installation under HKEY_LOCAL_MACHINE and the user's desktop folder under
// HKEY_CURRENT_USER. The key is opened for reading only, so that an account
// without administrator rights, which may read HKEY_LOCAL_MACHINE but not
// write it, still finds an earlier installation.
#pragma once
#include <windows.h>

#include "framework/String.h"

// Access asked of RegOpenKeyEx: reading only, never KEY_ALL_ACCESS.
const REGSAM SFX_REGISTRY_ACCESS = KEY_READ;
// Size of the buffer the value is read into; a longer value is not read.
const DWORD SFX_REGISTRY_BUFFER_SIZE = 8000;

// Reads the value strValue of the key strKey below hRoot into *pstrResult.
// True when the key could be opened and the value read: the result is then
// the value as text up to the first NUL and never beyond the bytes read (a
// value that fills the whole buffer without a NUL is taken whole). The names
// and a string value are read in UTF-16, so a folder with any characters
// comes in whole; a value of another type is taken as the program's own
// text, byte for byte, as before: the type is not checked. On any failure
// (no key, no value, a value longer than the buffer) false, and *pstrResult
// is left as it was. The key is closed on every path.
bool ReadRegistryString(HKEY hRoot, CString strKey, CString strValue, CString* pstrResult);

// The three registry calls ReadRegistryString makes. Tests replace them to
// see the arguments (an account without administrator rights cannot be
// staged under Wine); the installer always uses the real ones.
struct SfxRegistryApi {
    LONG(WINAPI* pfnOpenKeyEx)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
    LONG(WINAPI* pfnQueryValueEx)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    LONG(WINAPI* pfnCloseKey)(HKEY);
};

// Installs replacement calls (null: the real ones again); returns the
// calls that were in use before.
const SfxRegistryApi* SfxSetRegistryApi(const SfxRegistryApi* pApi);
