#include "ArchiveFixtures.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "TempDir.h"
#include "framework/FileSystem.h"
#include "lzari/LzariCodeFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "framework/HostPath.h"
#endif

namespace fs = std::filesystem;

void WriteBinaryFile(const CString& path, const std::string& bytes)
{
    FILE* f = FsOpenStream(path, "wb");
    if (!f)
        throw std::runtime_error(std::string("cannot create ") + path.GetString());
    const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    const bool ok = std::fclose(f) == 0 && written == bytes.size();
    if (!ok)
        throw std::runtime_error(std::string("cannot write ") + path.GetString());
}

std::string ReadBinaryFile(const CString& path)
{
    FILE* f = FsOpenStream(path, "rb");
    if (!f)
        throw std::runtime_error(std::string("cannot open ") + path.GetString());
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    std::fclose(f);
    return out;
}

std::string PackBytes(const std::string& data)
{
    TempDir scratch;
    const CString in = scratch.Path() + "\\in.bin";
    const CString out = scratch.Path() + "\\out.zup";
    WriteBinaryFile(in, data);
    if (LzariCodeFile(in, out, true) != LZARI_OK)
        throw std::runtime_error("encoding failed");
    return ReadBinaryFile(out);
}

std::vector<SfxPackedEntry> PackFiles(const std::vector<FixtureFile>& files)
{
    std::vector<SfxPackedEntry> entries;
    for (const FixtureFile& file : files)
        entries.push_back({file.name + ".zup", PackBytes(file.content)});
    return entries;
}

std::string MakeInstallerImage(const std::vector<FixtureFile>& files, const std::string& stub)
{
    return SfxBuildImage(stub, PackFiles(files));
}

uint32_t GetLe32(const std::string& bytes, size_t at)
{
    const auto b = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes.at(at + i))); };
    return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

void PutLe32(std::string* bytes, size_t at, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes->at(at + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

namespace {

// Calls visit(relative ANSI name with backslashes, directory entry) for
// everything below the folder.
template <typename Visit>
void WalkBelow(const CString& folder, Visit visit)
{
#ifdef _WIN32
    wchar_t wide[1024];
    MultiByteToWideChar(CP_ACP, 0, folder, -1, wide, 1024);
    const fs::path root(wide);
#else
    const fs::path root(HostPathFromAnsi(folder));
#endif
    std::error_code ec;
    if (!fs::exists(root, ec))
        return;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path rel = fs::relative(it->path(), root);
#ifdef _WIN32
        const std::wstring w = rel.wstring();
        char ansi[2048];
        const int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
        std::string name(ansi, n > 0 ? static_cast<size_t>(n - 1) : 0);
#else
        CString ansiName;
        AnsiFromHostPath(rel.string(), &ansiName);
        std::string name = ansiName.str();
#endif
        std::replace(name.begin(), name.end(), '/', '\\');
        visit(name, *it);
    }
}

}  // namespace

std::vector<std::string> ListFilesBelow(const CString& folder)
{
    std::vector<std::string> names;
    WalkBelow(folder, [&](const std::string& name, const fs::directory_entry& entry) {
        if (entry.is_regular_file())
            names.push_back(name);
    });
    std::sort(names.begin(), names.end());
    return names;
}

std::string DescribeTree(const CString& folder)
{
    std::vector<std::string> lines;
    WalkBelow(folder, [&](const std::string& name, const fs::directory_entry& entry) {
        std::error_code ec;
        const fs::file_status st = entry.symlink_status(ec);
        std::string line = name + (fs::is_symlink(st) ? " link " : fs::is_directory(st) ? " folder" : " file");
        if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
            line += " read-only";
        if (fs::is_symlink(st))
            line += fs::read_symlink(entry.path(), ec).string();
        else if (fs::is_regular_file(st))
            line += " " + ReadBinaryFile(folder + "\\" + name.c_str());
        lines.push_back(line);
    });
    std::sort(lines.begin(), lines.end());
    std::string tree;
    for (const std::string& line : lines)
        tree += line + "\n";
    return tree;
}

std::string TestRandom::Bytes(size_t n)
{
    std::string out(n, '\0');
    for (char& c : out)
        c = static_cast<char>(Next() & 0xFF);
    return out;
}

std::string TestRandom::Text(size_t n)
{
    static const char* const kWords[] = {"archive ", "entry ", "folder ", "install ", "the ", "of ", "packed ",
                                         "stream ", "client ", "data\r\n", "user ", "keep "};
    std::string out;
    while (out.size() < n)
        out += kWords[Next() % (sizeof kWords / sizeof kWords[0])];
    out.resize(n);
    return out;
}

std::string MinimalPeStub()
{
    std::string stub(0x400, '\0');
    stub[0] = 'M';
    stub[1] = 'Z';
    PutLe32(&stub, 0x3C, 0x80);
    stub.replace(0x80, 4, std::string("PE\0\0", 4));
    PutLe32(&stub, 0x84, 0x14C);           // i386, no sections
    PutLe32(&stub, 0x94, 0x0102 << 16 | 0xE0);  // optional header size, characteristics
    PutLe32(&stub, 0x98, 0x10B);           // PE32
    PutLe32(&stub, 0x98 + 60, 0x200);      // size of the headers
    PutLe32(&stub, 0x98 + 92, 16);         // data directories
    return stub;
}

std::string SignImage(std::string image, uint32_t tableSize)
{
    image.append((8 - image.size() % 8) % 8, '\0');
    PutLe32(&image, kPeSecurityEntry, static_cast<uint32_t>(image.size()));
    PutLe32(&image, kPeSecurityEntry + 4, tableSize);
    return image + std::string(tableSize, 'C');
}
