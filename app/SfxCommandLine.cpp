#include "SfxCommandLine.h"

#include <cctype>
#include <string>

#include "archive/SfxArchive.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The switch's name, up to "=" or its end, in capitals.
std::string NameOf(const std::string& token)
{
    std::string name;
    for (size_t i = 1; i < token.size() && token[i] != '='; ++i)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(token[i])));
    return name;
}

bool StartsWithFolderSwitch(const char* s) { return s[0] == '/' && (s[1] == 'D' || s[1] == 'd') && s[2] == '='; }

void Fail(SfxCommandLine* line, const std::string& what, const std::string& argument)
{
    if (!line->error.IsEmpty())
        return;
    line->error = what.c_str();
    line->badArgument = argument.c_str();
}

}  // namespace

SfxCommandLine SfxParseCommandLine(const CString& arguments)
{
    SfxCommandLine line;
    const char* s = arguments;
    for (;;) {
        while (IsBlank(*s))
            ++s;
        if (*s == '\0')
            break;
        if (StartsWithFolderSwitch(s)) {
            // The rest of the line, as NSIS reads it; trailing blanks are no part of a folder.
            std::string folder(s + 3);
            while (!folder.empty() && IsBlank(folder.back()))
                folder.pop_back();
            line.hasFolder = true;
            line.folder = folder.c_str();
            if (folder.empty())
                Fail(&line, "/D= names no folder", "/D=");
            break;
        }
        // One switch, up to a blank outside quotes; the quotes themselves go.
        std::string token;
        bool quoted = false;
        for (; *s != '\0' && (quoted || !IsBlank(*s)); ++s) {
            if (*s == '"')
                quoted = !quoted;
            else
                token += *s;
        }
        const std::string name = NameOf(token);
        const size_t equals = token.find('=');
        const std::string value = equals == std::string::npos ? "" : token.substr(equals + 1);
        if (token.empty() || token[0] != '/') {
            Fail(&line, "not a switch: " + token, token);
        } else if (StartsWithFolderSwitch(token.c_str())) {
            // A quoted /D= ends the line just the same.
            line.hasFolder = true;
            line.folder = value.c_str();
            if (value.empty())
                Fail(&line, "/D= names no folder", token);
            while (IsBlank(*s))
                ++s;
            if (*s != '\0')
                Fail(&line, "/D= must be the last switch", token);
            break;
        } else if (name == "LOG" && equals != std::string::npos) {
            line.hasLog = !value.empty();
            line.logPath = value.c_str();
            if (value.empty())
                Fail(&line, "/LOG= names no file", token);
        } else if (equals != std::string::npos) {
            Fail(&line, "the switch takes no value: " + token, token);
        } else if (name == "S") {
            line.silent = true;
        } else if (name == "DISCARD") {
            line.discard = true;
        } else if (name == "RUN") {
            line.run = true;
        } else {
            Fail(&line, "unknown switch: " + token, token);
        }
    }
    return line;
}

int SfxExitCodeFor(int engineResult, bool written)
{
    if (engineResult == SFX_OK)
        return SFX_EXIT_INSTALLED;
    if (written)
        return SFX_EXIT_UNDONE;
    switch (engineResult) {
    case SFX_ERR_OPEN_SELF:
    case SFX_ERR_NO_MAGIC:
    case SFX_ERR_EMPTY:
    case SFX_ERR_REOPEN_SELF:
    case SFX_ERR_DAMAGED: return SFX_EXIT_DAMAGED;
    default: return SFX_EXIT_NOT_STARTED;
    }
}
