// A registry value that a test changes and puts back: saved when the guard
// is made, restored (or removed again, with its key when the test made the
// key) when it goes. Windows only.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <string>

class SavedRegistryValue {
public:
    SavedRegistryValue(HKEY root, const char* key, const char* name);
    ~SavedRegistryValue();
    SavedRegistryValue(const SavedRegistryValue&) = delete;
    SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;

    // Sets a REG_SZ value (making the key again when it was deleted).
    bool Set(const std::string& text);
    bool Delete();
    // Deletes the value and the key itself.
    void DeleteKey();

private:
    HKEY m_root;
    std::string m_key;
    std::string m_name;
    bool m_keyExisted = false;
    bool m_existed = false;
    DWORD m_type = REG_SZ;
    BYTE m_data[4096] = {};
    DWORD m_size = 0;
};
#endif
