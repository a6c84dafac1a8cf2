// Names between the host's file system and the installer's code page.
// The Linux build takes UTF-8 names, the Windows build wide names; both
// turn them into the same GBK (code page 936) bytes. Part of the host
// layer (see Host.h).
#pragma once
#include <filesystem>
#include <string>

#include "framework/String.h"

namespace sfxpack {

// One name of the host (no separators) as GBK, only when the GBK converts
// back to exactly that name: glibc's converter drops some characters (the
// Unicode tag characters) without an error, and Windows may put a
// look-alike or a question mark for a character GBK lacks.
bool GbkFromHostName(const std::filesystem::path::string_type& name, std::string* gbk);

// GBK text as UTF-8; false when the bytes are not GBK.
bool ConvertGbkToUtf8(const std::string& gbk, std::string* utf8);

// The GBK bytes of a relative path, components joined with backslashes.
// False when a character has no GBK form.
bool GbkFromRelativePath(const std::filesystem::path& relative, std::string* gbk);

// The GBK bytes of UTF-8 text (an option's value, a folder name); false
// when a character has no GBK form.
bool GbkFromUtf8(const std::string& utf8, std::string* gbk);

// UTF-8 text for GBK bytes, for printing (bytes that are not GBK are shown
// as \xNN escapes).
std::string Utf8FromGbk(const std::string& gbk);

// The host path of a GBK relative name below a folder.
std::filesystem::path HostPathBelow(const std::filesystem::path& folder, const std::string& gbkRelative);

// The installer engine's form of a host path (its code page 936 text with
// backslashes; on Windows any wide name converts).
bool AnsiFromHost(const std::filesystem::path& host, CString* ansi);

// The engine opens the setup by a path in its own text. This names the very file the
// host path names, however the host spells it (on Linux the file is opened
// here and named by its descriptor), or fails naming the file.
class EngineSetupPath {
public:
    EngineSetupPath() = default;
    ~EngineSetupPath();
    EngineSetupPath(const EngineSetupPath&) = delete;
    EngineSetupPath& operator=(const EngineSetupPath&) = delete;
    bool Open(const std::filesystem::path& setup, std::string* error);
    const CString& Ansi() const { return m_ansi; }

private:
    CString m_ansi;
    int m_fd = -1;
};

// Creates the folder (and those above it) and makes it the current folder,
// so that the engine, given ".", works in it whatever its name.
bool EnterFolder(const std::filesystem::path& folder, std::string* error);

// A host path for printing.
std::string Printable(const std::filesystem::path& host);

// fopen for a host path.
FILE* OpenHostFile(const std::filesystem::path& host, const char* mode);

}  // namespace sfxpack
