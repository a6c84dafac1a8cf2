// A stand-in for OrvexStub.exe as sfxpack and the engine see it: a PE32
// image of headers and one section reserved for the digests, all zero, and
// a CheckSum as mingw's linker writes one. Header-only, for the benchmarks
// too. The security directory sits where SignImage (ArchiveFixtures.h)
// expects it.
#pragma once
#include <cstdint>
#include <string>

#include "archive/SfxLayout.h"

inline std::string StubWithDigestSection(const char* sectionName = SFX_DIGEST_SECTION_NAME)
{
    const auto put = [](std::string* s, size_t at, uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            (*s)[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const uint32_t rawSize = 0x2200;  // the section, rounded up to the 0x200 file alignment
    std::string stub(0x200 + rawSize, '\0');
    stub[0] = 'M';
    stub[1] = 'Z';
    put(&stub, 0x3C, 0x80, 4);
    stub.replace(0x80, 4, std::string("PE\0\0", 4));
    put(&stub, 0x84, 0x14C, 2);   // i386
    put(&stub, 0x86, 1, 2);       // one section
    put(&stub, 0x94, 0xE0, 2);    // optional header size
    put(&stub, 0x96, 0x102, 2);   // executable, 32-bit
    put(&stub, 0x98, 0x10B, 2);   // PE32
    put(&stub, 0x98 + 60, 0x200, 4);     // size of the headers
    put(&stub, 0x98 + 64, 0x4B1D, 4);    // CheckSum
    put(&stub, 0x98 + 92, 16, 4);        // data directories
    const size_t section = 0x98 + 0xE0;  // the section table
    for (size_t i = 0; i < 8 && sectionName[i]; ++i)
        stub[section + i] = sectionName[i];
    put(&stub, section + 8, SFX_DIGEST_SECTION_LENGTH, 4);  // virtual size
    put(&stub, section + 12, 0x1000, 4);                    // virtual address
    put(&stub, section + 16, rawSize, 4);
    put(&stub, section + 20, 0x200, 4);                     // file offset
    put(&stub, section + 36, 0x40000040, 4);                // initialized data, read-only
    return stub;
}

// Where that stub's section starts in the file.
constexpr size_t kDigestSectionAt = 0x200;
