// Every executable we ship, read as Windows reads it before running it: the
// DLLs it imports (only Windows' KnownDLLs, which the loader maps from
// System32 whatever lies beside the program), its flags, its manifest and
// its version resource, the last two from the project's version.
#include <windows.h>
#include <imagehlp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "support/ArchiveFixtures.h"

namespace {

// The KnownDLLs of every Windows from 7 to 11 (the values of
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs present
// on all of them; 32-bit programs on 64-bit Windows get the same list).
const char* const kKnownDlls[] = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll",  "gdi32.dll",    "imagehlp.dll",
    "imm32.dll",    "kernel32.dll", "msctf.dll",   "msvcrt.dll",   "normaliz.dll", "nsi.dll",
    "ole32.dll",    "oleaut32.dll", "psapi.dll",   "rpcrt4.dll",   "sechost.dll",  "setupapi.dll",
    "shell32.dll",  "shlwapi.dll",  "user32.dll",  "wldap32.dll",  "ws2_32.dll",
};

const char* const kSupportedOs[] = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
};

std::string WindowsPath(std::string unixPath)
{
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A PE file as it lies on disk, read through its headers: a PE32 image (the
// 32-bit executables we ship) or a PE32+ one (the 64-bit twin), whichever
// this test executable's own width is.
class PeFile {
public:
    explicit PeFile(const std::string& path) : m_bytes(ReadBinaryFile(path.c_str()))
    {
        m_nt = m_bytes.empty() ? nullptr : ImageNtHeader(&m_bytes[0]);
    }

    // 32 or 64 by the optional header's magic; 0 when it is no PE image.
    int Bits() const
    {
        if (!m_nt)
            return 0;
        const WORD magic = m_nt->OptionalHeader.Magic;
        return magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? 32 : magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 64 : 0;
    }
    // The two optional headers place the field differently.
    WORD DllCharacteristics() const
    {
        return Bits() == 32 ? reinterpret_cast<const IMAGE_NT_HEADERS32*>(m_nt)->OptionalHeader.DllCharacteristics
                            : reinterpret_cast<const IMAGE_NT_HEADERS64*>(m_nt)->OptionalHeader.DllCharacteristics;
    }
    ULONG DirectorySize(USHORT entry)
    {
        ULONG size = 0;
        return ImageDirectoryEntryToData(&m_bytes[0], FALSE, entry, &size) ? size : 0;
    }

    // The names of the DLLs in the import directory.
    std::vector<std::string> Imports()
    {
        std::vector<std::string> names;
        ULONG size = 0;
        auto* d = static_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
            ImageDirectoryEntryToData(&m_bytes[0], FALSE, IMAGE_DIRECTORY_ENTRY_IMPORT, &size));
        for (; d && d->Name != 0; ++d)
            names.push_back(static_cast<const char*>(ImageRvaToVa(m_nt, &m_bytes[0], d->Name, nullptr)));
        return names;
    }

private:
    std::string m_bytes;
    PIMAGE_NT_HEADERS m_nt = nullptr;
};

std::string ManifestOf(const std::string& path)
{
    HMODULE image = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!image)
        return "";
    std::string text;
    if (HRSRC res = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {  // RT_MANIFEST
        const char* data = static_cast<const char*>(LockResource(LoadResource(image, res)));
        if (data)
            text.assign(data, SizeofResource(image, res));
    }
    FreeLibrary(image);
    return text;
}

std::string VersionString(const std::vector<char>& info, const char* block, const char* name)
{
    char* value = nullptr;
    UINT size = 0;
    const std::string key = std::string("\\StringFileInfo\\") + block + "\\" + name;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &size) || size == 0)
        return "<missing>";
    return std::string(value);
}

// An executable and the width its build gives it.
struct Executable {
    const char* path;
    int bits;
};

class ShippedExecutable : public ::testing::TestWithParam<Executable> {
protected:
    std::string Path() const { return WindowsPath(GetParam().path); }
    // The headers, of the width the build gives them.
    void ExpectWidth(const PeFile& pe) const
    {
        ASSERT_EQ(GetParam().bits, pe.Bits()) << GetParam().path << " (missing, or of the other width)";
    }
};

TEST_P(ShippedExecutable, ImportsOnlyKnownDlls)
{
    PeFile pe(Path());
    ExpectWidth(pe);
    const std::vector<std::string> imports = pe.Imports();
    EXPECT_FALSE(imports.empty());
    // A DLL named like any of these beside the program would be loaded.
    std::vector<std::string> unknown;
    for (const std::string& name : imports)
        if (std::find(std::begin(kKnownDlls), std::end(kKnownDlls), Lower(name)) == std::end(kKnownDlls))
            unknown.push_back(name);
    EXPECT_EQ(std::vector<std::string>{}, unknown);
    // A delay-loaded DLL is looked up by name on first use.
    EXPECT_EQ(0u, pe.DirectorySize(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT));
}

TEST_P(ShippedExecutable, IsTerminalServerAware)
{
    PeFile pe(Path());
    ExpectWidth(pe);
    EXPECT_TRUE(pe.DllCharacteristics() & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE);
}

TEST_P(ShippedExecutable, ManifestAsksForNoElevationNamesWindows7To11AndTheSystemDpi)
{
    const std::string manifest = ManifestOf(Path());
    ASSERT_FALSE(manifest.empty()) << "no manifest";
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\""));
    for (const char* id : kSupportedOs)
        EXPECT_NE(std::string::npos, manifest.find(id)) << id;
    EXPECT_EQ(std::string::npos, manifest.find("Common-Controls")) << "the classic controls only";
    EXPECT_NE(std::string::npos, manifest.find(">true</dpiAware>")) << "system DPI aware";
    EXPECT_NE(std::string::npos, manifest.find("version=\"" SFX_PROJECT_VERSION ".0\""));

    // Windows would refuse to start a program whose manifest it cannot parse.
    ACTCTXA context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    const std::string path = Path();
    context.lpSource = path.c_str();
    context.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE handle = CreateActCtxA(&context);
    EXPECT_NE(INVALID_HANDLE_VALUE, handle) << GetLastError();
    if (handle != INVALID_HANDLE_VALUE)
        ReleaseActCtx(handle);
}

TEST_P(ShippedExecutable, VersionResourceCarriesTheProjectVersion)
{
    const std::string path = Path();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_NE(0u, size) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(3, std::sscanf(SFX_PROJECT_VERSION, "%u.%u.%u", &major, &minor, &patch));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(minor, major), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(0, patch), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 4u);
    char block[16];
    std::snprintf(block, sizeof block, "%04x%04x", translation[0], translation[1]);
    EXPECT_EQ("Orvex", VersionString(info, block, "ProductName"));
    EXPECT_EQ(SFX_PROJECT_VERSION, VersionString(info, block, "FileVersion"));
    EXPECT_EQ(SFX_PROJECT_VERSION, VersionString(info, block, "ProductVersion"));
    EXPECT_NE("<missing>", VersionString(info, block, "FileDescription"));
}

// This build's executables: the ones we ship, or in the 64-bit twin the twins.
constexpr int kThisBuildBits = sizeof(void*) == 8 ? 64 : 32;
INSTANTIATE_TEST_SUITE_P(ThisBuild, ShippedExecutable,
                         ::testing::Values(Executable{SFX_STUB_EXE, kThisBuildBits},
                                           Executable{SFX_SFXPACK_EXE, kThisBuildBits}));
#ifdef SFX_RELEASE_STUB_EXE
// The twin also reads the 32-bit executables we ship, so that a machine that
// cannot run them still checks what Windows reads before it runs them.
INSTANTIATE_TEST_SUITE_P(Release32, ShippedExecutable,
                         ::testing::Values(Executable{SFX_RELEASE_STUB_EXE, 32},
                                           Executable{SFX_RELEASE_SFXPACK_EXE, 32}));
#endif

}  // namespace
