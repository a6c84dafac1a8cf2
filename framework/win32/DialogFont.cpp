#include "DialogFont.h"

#include <cstring>

namespace {

const wchar_t* const* g_fallbackFaces = nullptr;

class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}
    size_t Offset() const { return m_at; }
    bool Skip(size_t n)
    {
        if (n > m_size - m_at)
            return false;
        m_at += n;
        return true;
    }
    bool Word(WORD* value)
    {
        if (m_size - m_at < 2)
            return false;
        std::memcpy(value, m_data + m_at, 2);
        m_at += 2;
        return true;
    }
    bool Text(std::wstring* text)
    {
        WORD c = 0;
        for (;;) {
            if (!Word(&c))
                return false;
            if (c == 0)
                return true;
            if (text)
                *text += static_cast<wchar_t>(c);
        }
    }
    // A menu or class field: nothing, an ordinal or a name.
    bool NameOrOrdinal()
    {
        WORD first = 0;
        if (!Word(&first))
            return false;
        if (first == 0)
            return true;
        if (first == 0xFFFF)
            return Skip(2);
        return Text(nullptr);
    }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_at = 0;
};

size_t AlignToDword(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

int CALLBACK CountFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return 0;
}

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM list)
{
    // Faces whose name starts with @ are the vertical forms of another.
    if (font->lfFaceName[0] != L'@')
        reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(font->lfFaceName);
    return 1;
}

}  // namespace

void AfxSetDialogFallbackFaces(const wchar_t* const* faces) { g_fallbackFaces = faces; }

bool AfxReadDialogTemplate(const void* data, size_t size, AfxDialogTemplateText* text)
{
    TemplateReader r(static_cast<const BYTE*>(data), size);
    WORD version = 0, signature = 0;
    if (!r.Word(&version) || !r.Word(&signature))
        return false;
    const bool extended = version == 1 && signature == 0xFFFF;
    DWORD style = 0;
    if (extended) {
        // helpID, exStyle, style
        if (!r.Skip(8) || !r.Word(reinterpret_cast<WORD*>(&style)) || !r.Word(reinterpret_cast<WORD*>(&style) + 1))
            return false;
    } else {
        std::memcpy(&style, data, 4);
        if (!r.Skip(4))  // exStyle
            return false;
    }
    // item count, x, y, cx, cy
    if (!r.Skip(10) || !r.NameOrOrdinal() || !r.NameOrOrdinal())
        return false;
    text->caption.clear();
    text->face.clear();
    if (!r.Text(&text->caption))
        return false;
    if (style & (DS_SETFONT | DS_SHELLFONT)) {
        // point size; in the extended form also weight, italic and charset
        if (!r.Skip(extended ? 6 : 2))
            return false;
        text->faceOffset = r.Offset();
        if (!r.Text(&text->face))
            return false;
    } else {
        text->faceOffset = r.Offset();
    }
    text->itemsOffset = AlignToDword(r.Offset());
    return text->itemsOffset <= size;
}

std::vector<BYTE> AfxTemplateWithFace(const void* data, size_t size, const AfxDialogTemplateText& text,
                                      const std::wstring& face)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    std::vector<BYTE> out(bytes, bytes + text.faceOffset);
    for (const wchar_t c : face + L'\0') {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    // The controls' records keep their alignment: each starts on a DWORD
    // from the template's start, in the copy as in the original.
    out.resize(AlignToDword(out.size()), 0);
    out.insert(out.end(), bytes + text.itemsOffset, bytes + size);
    return out;
}

bool AfxFaceDrawsText(const std::wstring& face, const std::wstring& text)
{
    if (face.empty() || face.size() >= LF_FACESIZE)
        return false;
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfCharSet = DEFAULT_CHARSET;
    face.copy(lf.lfFaceName, face.size());
    HDC dc = ::GetDC(nullptr);
    HFONT font = ::CreateFontIndirectW(&lf);
    bool draws = false;
    if (dc && font) {
        // The face itself, not a substitute the font mapper took for a
        // missing one (which may draw the text today and not elsewhere).
        int found = 0;
        ::EnumFontFamiliesExW(dc, &lf, &CountFace, reinterpret_cast<LPARAM>(&found), 0);
        HGDIOBJ previous = ::SelectObject(dc, font);
        wchar_t realized[LF_FACESIZE] = L"";
        ::GetTextFaceW(dc, LF_FACESIZE, realized);
        std::vector<WORD> glyphs(text.size() + 1);
        draws = (found > 0 || face == realized) &&
                ::GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                   GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR;
        for (size_t i = 0; draws && i < text.size(); ++i)
            draws = glyphs[i] != 0xFFFF;
        ::SelectObject(dc, previous);
    }
    if (font)
        ::DeleteObject(font);
    if (dc)
        ::ReleaseDC(nullptr, dc);
    return draws;
}

std::wstring AfxChooseDialogFace(const std::wstring& templateFace, const std::wstring& text)
{
    if (AfxFaceDrawsText(templateFace, text))
        return templateFace;
    for (const wchar_t* const* face = g_fallbackFaces; face && *face; ++face)
        if (AfxFaceDrawsText(*face, text))
            return *face;
    std::vector<std::wstring> installed;
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    if (HDC dc = ::GetDC(nullptr)) {
        ::EnumFontFamiliesExW(dc, &all, &CollectFace, reinterpret_cast<LPARAM>(&installed), 0);
        ::ReleaseDC(nullptr, dc);
    }
    for (const std::wstring& face : installed)
        if (AfxFaceDrawsText(face, text))
            return face;
    return templateFace;
}
