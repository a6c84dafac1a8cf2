#include "SfxNameCheck.h"

#include <cctype>
#include <cstring>

#include "archive/SfxLayout.h"
#include "framework/Mbcs.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(const char* s, int length, const char* upperWord)
{
    if (static_cast<int>(std::strlen(upperWord)) != length)
        return false;
    for (int i = 0; i < length; ++i)
        if (Upper(s[i]) != upperWord[i])
            return false;
    return true;
}

// Length of the character at bytes[i] within a buffer of length bytes.
int CharLength(const char* bytes, int i, int length)
{
    return (i + 1 < length && AfxIsLeadByte(static_cast<unsigned char>(bytes[i]))) ? 2 : 1;
}

}  // namespace

bool SfxIsCodePage936Text(const char* bytes, int length)
{
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c <= 0x80)
            continue;  // ASCII, and 0x80 (the euro sign)
        if (c == 0xFF || i + 1 == length)
            return false;
        const unsigned char t = static_cast<unsigned char>(bytes[++i]);
        if (t < 0x40 || t == 0x7F || t == 0xFF)
            return false;
    }
    return true;
}

bool SfxIsDeviceName(const char* component, int length)
{
    // Windows ignores the extension and trailing blanks of a device name.
    int base = 0;
    while (base < length && component[base] != '.')
        ++base;
    while (base > 0 && component[base - 1] == ' ')
        --base;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (EqualsUpper(component, base, device))
            return true;
    if (base == 4 && (EqualsUpper(component, 3, "COM") || EqualsUpper(component, 3, "LPT")))
        return component[3] >= '1' && component[3] <= '9';
    return false;
}

namespace {

// Checks every component of a relative name; the last one must name a
// file, not "." or nothing (a name ending in a separator).
SfxNameProblem CheckComponents(const char* bytes, int length)
{
    // Walk the characters; a second byte of a double-byte character is never
    // a separator or a forbidden character.
    int componentStart = 0;
    for (int i = 0; i <= length;) {
        const bool end = i == length;
        const int n = end ? 1 : CharLength(bytes, i, length);
        if (!end && n == 1) {
            const unsigned char c = static_cast<unsigned char>(bytes[i]);
            if (c < 0x20 || std::strchr(":*?\"<>|", c) != nullptr)
                return SFX_NAME_BAD_CHARACTER;
        }
        if (end || (n == 1 && IsSeparator(bytes[i]))) {
            const char* component = bytes + componentStart;
            const int componentLength = i - componentStart;
            if (componentLength == 2 && component[0] == '.' && component[1] == '.')
                return SFX_NAME_PARENT;
            if (SfxIsDeviceName(component, componentLength))
                return SFX_NAME_DEVICE;
            if (end && (componentLength == 0 || (componentLength == 1 && component[0] == '.')))
                return SFX_NAME_NO_FILE_NAME;
            componentStart = i + 1;
        }
        i += n;
    }
    return SFX_NAME_OK;
}

// True when a separator character starts within the last 4 bytes: the
// temporary file (the stored name) would then lie in a folder named like
// the installed file, not beside it.
bool SuffixHoldsSeparator(const char* bytes, int length)
{
    for (int i = 0; i < length; i += CharLength(bytes, i, length))
        if (i >= length - SFX_NAME_SUFFIX_LENGTH && IsSeparator(bytes[i]) && CharLength(bytes, i, length) == 1)
            return true;
    return false;
}

// True when a part of the installed name ends in one of the engine's
// suffixes, as Windows compares names. A dot is never a byte of a
// double-byte character, so the suffix found is where a character starts.
bool HasReservedPart(const char* bytes, int length)
{
    const std::string key = SfxWindowsPathKey(std::string(bytes, static_cast<size_t>(length))) + "\\";
    for (const char* suffix : {".ZUN\\", ".ZBK\\", ".ZJN\\"})
        if (key.find(suffix) != std::string::npos)
            return true;
    return false;
}

}  // namespace

SfxNameProblem SfxCheckStoredName(const char* bytes, int length)
{
    if (length < SFX_MIN_NAME_LENGTH)
        return SFX_NAME_TOO_SHORT;
    if (length >= SFX_NAME_BUFFER)
        return SFX_NAME_TOO_LONG;
    if (std::memchr(bytes, '\0', static_cast<size_t>(length)) != nullptr)
        return SFX_NAME_HAS_NUL;
    if (!SfxIsCodePage936Text(bytes, length))
        return SFX_NAME_NOT_GBK;
    if (IsSeparator(bytes[0]))
        return SFX_NAME_ABSOLUTE;
    // The stored name is the temporary file's name; the name without its
    // suffix is the installed file's. Both must stay inside the folder.
    const SfxNameProblem stored = CheckComponents(bytes, length);
    if (stored != SFX_NAME_OK)
        return stored;
    if (SuffixHoldsSeparator(bytes, length))
        return SFX_NAME_SUFFIX_SEPARATOR;
    const SfxNameProblem installed = CheckComponents(bytes, length - SFX_NAME_SUFFIX_LENGTH);
    if (installed != SFX_NAME_OK)
        return installed;
    return HasReservedPart(bytes, length - SFX_NAME_SUFFIX_LENGTH) ? SFX_NAME_RESERVED : SFX_NAME_OK;
}

const char* SfxNameProblemText(SfxNameProblem problem)
{
    switch (problem) {
    case SFX_NAME_OK: return "ok";
    case SFX_NAME_TOO_SHORT: return "stored name shorter than 5 bytes";
    case SFX_NAME_TOO_LONG: return "stored name of 1000 bytes or more";
    case SFX_NAME_HAS_NUL: return "stored name holds a NUL byte";
    case SFX_NAME_NOT_GBK: return "name is not valid code page 936 (GBK) text";
    case SFX_NAME_ABSOLUTE: return "name starts with a separator (absolute, UNC or device path)";
    case SFX_NAME_BAD_CHARACTER: return "name holds a colon, a wildcard or a control character";
    case SFX_NAME_PARENT: return "name has a \"..\" component";
    case SFX_NAME_DEVICE: return "name has a reserved device name as a component";
    case SFX_NAME_NO_FILE_NAME: return "installed name ends in a separator";
    case SFX_NAME_SUFFIX_SEPARATOR: return "the last 4 bytes of the stored name hold a separator";
    case SFX_NAME_RESERVED: return "a name part ends in .zun, .zbk or .zjn, which the installer uses for its own files";
    }
    return "unknown problem";
}

std::string SfxWindowsCaseKey(const std::string& gbk)
{
    std::string key = gbk;
    for (size_t i = 0; i < key.size(); ++i) {
        unsigned char& c = reinterpret_cast<unsigned char&>(key[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < key.size()) {
            unsigned char& t = reinterpret_cast<unsigned char&>(key[++i]);
            // Lower-case letters of GBK and the upper-case letters they
            // stand below, a fixed distance apart in the second byte.
            if (c == 0xA3 && t >= 0xE1 && t <= 0xFA)
                t -= 0x20;  // full-width Latin
            else if (c == 0xA6 && t >= 0xC1 && t <= 0xD8)
                t -= 0x20;  // Greek
            else if (c == 0xA7 && t >= 0xD1 && t <= 0xF1)
                t -= 0x30;  // Cyrillic
            else if (c == 0xA2 && t >= 0xA1 && t <= 0xAA)
                t += 0x50;  // small Roman numerals
        } else if (c >= 'a' && c <= 'z') {
            c = static_cast<unsigned char>(c - 'a' + 'A');
        }
    }
    return key;
}

bool SfxNamesEqualIgnoringCase(const CString& a, const CString& b)
{
    return SfxWindowsCaseKey(a.str()) == SfxWindowsCaseKey(b.str());
}

std::string SfxWindowsPathKey(const std::string& gbk)
{
    const std::string folded = SfxWindowsCaseKey(gbk);
    std::string key;
    key.reserve(folded.size());
    size_t partStart = 0;
    const auto endPart = [&] {
        // A dot or a blank is never the second byte of a GBK character.
        size_t partEnd = key.size();
        while (partEnd > partStart && (key[partEnd - 1] == '.' || key[partEnd - 1] == ' '))
            --partEnd;
        key.resize(partEnd);
    };
    for (size_t i = 0; i < folded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folded[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < folded.size()) {
            // A double-byte character, whose second byte may be 0x5C.
            key += folded[i];
            key += folded[++i];
        } else if (c == '\\' || c == '/') {
            endPart();
            key += '\\';
            partStart = key.size();
        } else {
            key += static_cast<char>(c);
        }
    }
    endPart();
    return key;
}

bool SfxNamesNameTheSameFile(const CString& a, const CString& b)
{
    return SfxWindowsPathKey(a.str()) == SfxWindowsPathKey(b.str());
}
