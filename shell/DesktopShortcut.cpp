#include "DesktopShortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "app/Registry.h"
#include "framework/File.h"
#include "framework/FileSystem.h"
#include "framework/WideText.h"

namespace {

const char* const kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kDesktopValue = "Desktop";
const char* const kOldLinkName = "快捷方式 到 Rendo.exe.lnk";
const char* const kNewLinkName = "Orvex 高级通讯管理.lnk";
const char* const kTargetName = "Rendo.exe";

const UINT kReadChunk = 3023;  // read into a buffer one byte larger, for the NUL

}  // namespace

void UpdateDesktopShortcut(CString folder)
{
    CString desktop;
    if (!ReadRegistryString(HKEY_CURRENT_USER, kShellFoldersKey, kDesktopValue, &desktop))
        return;

    const CString oldLink = desktop + "\\" + kOldLinkName;
    const CString target = folder + "\\" + kTargetName;
    const CString newLink = desktop + "\\" + kNewLinkName;

    const bool oldPoints = FileContainsText(oldLink, target);
    const bool newPoints = FileContainsText(newLink, target);
    if (newPoints)
        return;

    if (oldPoints && !FileExists(newLink)) {
        try {
            CFile::Rename(oldLink, newLink);
            return;
        } catch (const CFileException&) {
            // The old shortcut stays where it is; the new one is written below.
        }
    }
    CreateShortcutFile(target, newLink);
}

bool DesktopShortcutExists()
{
    CString desktop;
    if (!ReadRegistryString(HKEY_CURRENT_USER, kShellFoldersKey, kDesktopValue, &desktop))
        return false;
    const DWORD attributes = GetFileAttributesW(AfxToWide(desktop + "\\" + kNewLinkName).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileContainsText(CString path, CString text)
{
    if (!FileExists(path))
        return false;
    const CString content = ReadFileAsText(path);
    if (content.Find(text) != -1)
        return true;
    // The text's UTF-16 bytes, read the same way (a NUL byte as a blank).
    const std::wstring wide = AfxToWide(text);
    std::string utf16;
    for (const wchar_t unit : wide) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        utf16 += low == '\0' ? ' ' : low;
        utf16 += high == '\0' ? ' ' : high;
    }
    return !utf16.empty() && content.str().find(utf16) != std::string::npos;
}

CString ReadFileAsText(CString path)
{
    CString result;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return result;
    try {
        char buffer[kReadChunk + 1];
        for (;;) {
            const UINT n = file.Read(buffer, kReadChunk);
            if (n == 0)
                break;
            for (UINT i = 0; i < n; ++i) {
                if (buffer[i] == '\0')
                    buffer[i] = ' ';
            }
            buffer[n] = '\0';
            result += buffer;
        }
    } catch (const CFileException&) {
        // A shortcut that cannot be read whole counts as holding nothing.
        result.Empty();
    }
    file.Abort();
    return result;
}

int CreateShortcutFile(const char* target, const char* linkPath)
{
    const HRESULT hrInit = CoInitialize(nullptr);
    // Only a successful CoInitialize (S_OK or S_FALSE) is balanced.
    const bool bUninit = SUCCEEDED(hrInit);

    IShellLinkW* pLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&pLink)))) {
        if (bUninit)
            CoUninitialize();
        return 0;
    }
    pLink->SetPath(AfxToWide(target).c_str());

    IPersistFile* pFile = nullptr;
    if (FAILED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
        pLink->Release();
        if (bUninit)
            CoUninitialize();
        return 0;
    }

    // A link path that does not fit the buffer is not saved under some
    // truncated or undefined name.
    const std::wstring link = AfxToWide(linkPath);
    const bool bConverted = link.size() < MAX_PATH;
    if (bConverted)
        pFile->Save(link.c_str(), 2);

    pFile->Release();
    pLink->Release();
    if (bUninit)
        CoUninitialize();
    return bConverted ? 1 : 0;
}
