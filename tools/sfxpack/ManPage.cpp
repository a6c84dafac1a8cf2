// The man page, made from the texts that --help prints (Help.cpp): their
// layout is read back into paragraphs and lists and written as roff, so a
// line added to a page needs nothing here.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "Help.h"

namespace sfxpack {

namespace {

struct Block {
    bool list = false;
    std::vector<std::pair<bool, std::string>> lines;         // paragraph: (shown as typed, text)
    std::vector<std::pair<std::string, std::string>> items;  // list: (tag, text)
};

struct Section {
    std::string heading;
    std::vector<Block> blocks;
};

std::vector<Section> ParseSections(const std::string& text)
{
    std::vector<Section> sections;
    size_t base = 0;
    bool inBlock = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos) {
            inBlock = false;
            continue;
        }
        if (indent == 0 || sections.empty()) {
            sections.push_back({indent == 0 ? line : std::string(), {}});
            inBlock = false;
            if (indent == 0)
                continue;
        }
        const std::string words = line.substr(indent);
        const size_t gap = words.find("  ");
        std::vector<Block>& blocks = sections.back().blocks;
        if (!inBlock) {
            blocks.emplace_back();
            blocks.back().list = words[0] == '-' || gap != std::string::npos;
            base = indent;
            inBlock = true;
        }
        Block& block = blocks.back();
        if (!block.list) {
            block.lines.push_back({indent > base, words});
        } else if (indent > base && !block.items.empty()) {
            std::string& itemText = block.items.back().second;
            itemText += (itemText.empty() ? "" : " ") + words;
        } else if (gap == std::string::npos) {
            block.items.push_back({words, std::string()});
        } else {
            block.items.push_back({words.substr(0, gap), words.substr(words.find_first_not_of(' ', gap))});
        }
    }
    return sections;
}

bool IsWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsPlaceholder(const std::string& word)
{
    if (word.empty() || word[0] < 'A' || word[0] > 'Z')
        return false;
    for (char c : word)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

// Text for roff: backslashes and, where asked, hyphens as the minus sign
// that options are typed with; anything beyond ASCII as a Unicode escape,
// which groff and mandoc read whatever the locale.
std::string Escape(const std::string& text, bool minus = false, bool quoted = false)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\\')
                out += "\\e";
            else if (c == '-' && minus)
                out += "\\-";
            else if (c == '"' && quoted)
                out += "\\(dq";
            else
                out += static_cast<char>(c);
            continue;
        }
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        unsigned long code = length == 4 ? c & 0x07u : length == 3 ? c & 0x0Fu : c & 0x1Fu;
        for (int k = 1; k < length && i + 1 < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[++i]) & 0x3Fu);
        char escape[16];
        std::snprintf(escape, sizeof escape, "\\[u%04lX]", code);
        out += escape;
    }
    return out;
}

// Roff text as input lines of at most 80 bytes where a blank allows (roff
// fills them into one paragraph again), none starting with a dot or a
// quote, which roff would read as a request. Text shown as typed keeps its
// one line.
std::string TextLine(const std::string& roff, bool fill = true)
{
    std::string out;
    size_t start = 0;
    while (true) {
        size_t end = roff.size();
        if (fill && end - start > 80) {
            const size_t blank = roff.rfind(' ', start + 80);
            end = blank != std::string::npos && blank > start ? blank : roff.find(' ', start + 80);
            end = end == std::string::npos ? roff.size() : end;
        }
        const bool request = end > start && (roff[start] == '.' || roff[start] == '\'');
        out += (request ? "\\&" : "") + roff.substr(start, end - start) + "\n";
        if (end >= roff.size())
            return out;
        start = end + 1;
    }
}

// A synopsis or a list tag with its words marked up: options and literal
// words bold, placeholders (STUB, DIR) italic, brackets and commas roman.
// One font alternation macro (.B, .BI, .BR, ...) where two fonts do;
// font escapes otherwise.
std::string TagLine(const std::string& tag)
{
    std::vector<std::pair<char, std::string>> runs;
    for (size_t i = 0; i < tag.size();) {
        size_t j = i;
        char font = 'R';
        if (tag[i] == ' ' && !runs.empty()) {
            runs.back().second += ' ';
            ++i;
            continue;
        }
        if (IsWordChar(tag[i]) || tag[i] == '-') {
            while (j < tag.size() && (IsWordChar(tag[j]) || tag[j] == '-'))
                ++j;
            font = IsPlaceholder(tag.substr(i, j - i)) ? 'I' : 'B';
        } else {
            while (j < tag.size() && !IsWordChar(tag[j]) && tag[j] != '-' && tag[j] != ' ')
                ++j;
            j = j == i ? i + 1 : j;
        }
        if (!runs.empty() && runs.back().first == font)
            runs.back().second += tag.substr(i, j - i);
        else
            runs.push_back({font, tag.substr(i, j - i)});
        i = j;
    }
    std::set<char> fonts;
    for (const auto& run : runs)
        fonts.insert(run.first);
    std::string line;
    if (fonts.size() <= 2 && !(runs.size() == 1 && runs[0].first == 'R')) {
        line = std::string(".") + runs[0].first + (runs.size() > 1 ? std::string(1, runs[1].first) : "");
        for (const auto& run : runs)
            line += " \"" + Escape(run.second, true, true) + "\"";
        return line + "\n";
    }
    for (const auto& run : runs)
        line += std::string("\\f") + run.first + Escape(run.second, true);
    return TextLine(line + "\\fR");
}

// Prose with the options it names in bold and the page's placeholders in
// italics.
std::string ProseLine(const std::string& text, const std::set<std::string>& placeholders)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const bool boundary = i == 0 || (!IsWordChar(text[i - 1]) && text[i - 1] != '-');
        size_t j = i;
        if (boundary && text[i] == '-') {
            const size_t dashes = text.compare(i, 2, "--") == 0 ? 2 : 1;
            j = i + dashes;
            if (j < text.size() && ((text[j] >= 'a' && text[j] <= 'z') || (text[j] >= 'A' && text[j] <= 'Z'))) {
                while (j < text.size() && (IsWordChar(text[j]) || text[j] == '-'))
                    ++j;
                out += "\\fB" + Escape(text.substr(i, j - i), true) + "\\fR";
                i = j;
                continue;
            }
        } else if (boundary && IsWordChar(text[i])) {
            while (j < text.size() && IsWordChar(text[j]))
                ++j;
            // An identifier (packed_size) is never hyphenated.
            const std::string word = text.substr(i, j - i);
            const char* whole = word.find('_') != std::string::npos ? "\\%" : "";
            out += placeholders.count(word) ? "\\fI" + word + "\\fR" : whole + Escape(word);
            i = j;
            continue;
        }
        // One character, all of its bytes.
        j = i + 1;
        while (j < text.size() && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80)
            ++j;
        out += Escape(text.substr(i, j - i));
        i = j;
    }
    return TextLine(out);
}

std::set<std::string> Placeholders(const std::string& synopsis)
{
    std::set<std::string> words;
    for (size_t i = 0; i < synopsis.size();) {
        size_t j = i;
        while (j < synopsis.size() && IsWordChar(synopsis[j]))
            ++j;
        if (IsPlaceholder(synopsis.substr(i, j - i)))
            words.insert(synopsis.substr(i, j - i));
        i = j + 1;
    }
    return words;
}

// The blocks of one section. A paragraph macro starts every block but one
// that opens the section (roff starts a paragraph there anyway).
std::string RenderBlocks(const std::vector<Block>& blocks, const std::set<std::string>& placeholders, bool opensSection)
{
    std::string roff;
    for (const Block& block : blocks) {
        if (block.list) {
            for (const auto& item : block.items)
                roff += ".TP\n" + TagLine(item.first) + (item.second.empty() ? "" : ProseLine(item.second, placeholders));
        } else {
            roff += opensSection ? "" : ".PP\n";
            bool typed = false;
            for (const auto& line : block.lines) {
                if (line.first != typed)
                    roff += line.first ? ".RS\n.nf\n" : ".fi\n.RE\n";
                typed = line.first;
                roff += typed ? TextLine(Escape(line.second, true), false) : ProseLine(line.second, placeholders);
            }
            roff += typed ? ".fi\n.RE\n" : "";
        }
        opensSection = false;
    }
    return roff;
}

std::string Quoted(const std::string& text) { return "\"" + Escape(text, false, true) + "\""; }

// A section of the tool's texts as a section of the man page.
std::string RenderSection(const std::string& text, const std::set<std::string>& placeholders)
{
    std::string roff;
    for (const Section& section : ParseSections(text))
        roff += ".SH " + Quoted(section.heading) + "\n" + RenderBlocks(section.blocks, placeholders, true);
    return roff;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Capitalized(const std::string& heading)
{
    std::string text = heading;
    for (size_t i = 1; i < text.size(); ++i)
        if (text[i] >= 'A' && text[i] <= 'Z' && text[i - 1] != ' ')
            text[i] = static_cast<char>(text[i] - 'A' + 'a');
    return text;
}

}  // namespace

void WriteManPage(std::FILE* out, const char* version, const std::string& date)
{
    const Manual& manual = TheManual();
    std::string roff = ".\\\" Written by sfxpack --manpage from the pages that --help prints.\n";
    roff += ".TH SFXPACK 1 " + date + " " + Quoted(std::string("sfxpack ") + version) + " \"User Commands\"\n";
    roff += ".SH NAME\nsfxpack \\- " + Escape(manual.summary) + "\n.SH SYNOPSIS\n";
    // Ragged right: a long synopsis wraps without stretched blanks.
    roff += ".ad l\n";
    for (size_t i = 0; i < manual.pageCount; ++i)
        roff += (i ? ".br\n" : "") + TagLine(manual.pages[i].synopsis);
    roff += ".ad b\n";
    const std::set<std::string> toolPlaceholders = {"COMMAND"};
    roff += RenderSection(manual.description, toolPlaceholders);
    roff += RenderSection(manual.commands, toolPlaceholders);
    // One section per command: its synopsis, its description, then its
    // options and whatever else the page has, as subsections.
    for (size_t i = 0; i < manual.pageCount; ++i) {
        const HelpPage& page = manual.pages[i];
        const std::set<std::string> placeholders = Placeholders(page.synopsis);
        roff += ".SH " + Quoted(Upper(std::string("sfxpack ") + page.command)) + "\n" + TagLine(page.synopsis);
        for (const Section& section : ParseSections(page.body)) {
            const bool titled = section.heading != "DESCRIPTION";
            roff += titled ? ".SS " + Quoted(Capitalized(section.heading)) + "\n" : "";
            roff += RenderBlocks(section.blocks, placeholders, titled);
        }
    }
    roff += RenderSection(manual.exitStatus, {"N"});
    roff += RenderSection(manual.examples, {});
    roff += ".SH \"SEE ALSO\"\n.BR wine (1)\n";
    std::fputs(roff.c_str(), out);
}

bool ManPageDate(std::string* date)
{
    std::time_t when = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long seconds = std::strtoull(epoch, &end, 10);
        if (*epoch < '0' || *epoch > '9' || *end != '\0' || errno != 0)
            return false;
        when = static_cast<std::time_t>(seconds);
    }
    const std::tm* utc = std::gmtime(&when);
    char text[32];
    if (!utc || std::strftime(text, sizeof text, "%Y-%m-%d", utc) == 0)
        return false;
    *date = text;
    return true;
}

}  // namespace sfxpack
