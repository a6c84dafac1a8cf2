#ifdef _WIN32
#include "SavedRegistryValue.h"

SavedRegistryValue::SavedRegistryValue(HKEY root, const char* key, const char* name)
    : m_root(root), m_key(key), m_name(name)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    m_keyExisted = true;
    m_size = sizeof m_data;
    m_existed = RegQueryValueExA(hKey, name, nullptr, &m_type, m_data, &m_size) == ERROR_SUCCESS;
    RegCloseKey(hKey);
}

SavedRegistryValue::~SavedRegistryValue()
{
    if (m_existed) {
        HKEY hKey = nullptr;
        if (RegCreateKeyExA(m_root, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) ==
            ERROR_SUCCESS) {
            RegSetValueExA(hKey, m_name.c_str(), 0, m_type, m_data, m_size);
            RegCloseKey(hKey);
        }
        return;
    }
    Delete();
    if (!m_keyExisted)
        RegDeleteKeyA(m_root, m_key.c_str());
}

bool SavedRegistryValue::Set(const std::string& text)
{
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(m_root, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExA(hKey, m_name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return ok;
}

bool SavedRegistryValue::Delete()
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(m_root, m_key.c_str(), 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
        return false;
    const bool ok = RegDeleteValueA(hKey, m_name.c_str()) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return ok;
}

void SavedRegistryValue::DeleteKey()
{
    Delete();
    RegDeleteKeyA(m_root, m_key.c_str());
}
#endif
