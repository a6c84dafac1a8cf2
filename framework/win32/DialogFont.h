// The face a dialog is shown in. A dialog template names its face (the
// installer's name "宋体", SimSun); on a Windows that lacks it (an English
// Windows without the Chinese fonts) the dialog manager would take some
// Latin face and every Chinese text would come out as empty boxes. Before
// a dialog is created its template's face is tried on the template's own
// caption; when it cannot draw it, the first face that can, among the ones
// the application prefers and then among all installed faces, replaces it
// in a copy of the template, so that the layout is computed for the face
// actually drawn.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// The faces to try, in order, when a template's face cannot draw its
// caption (a null-terminated list; null: none, only the installed faces).
void AfxSetDialogFallbackFaces(const wchar_t* const* faces);

// What a dialog template (DIALOG or DIALOGEX) says about its text.
struct AfxDialogTemplateText {
    std::wstring caption;
    std::wstring face;        // empty when the template names no font
    size_t faceOffset = 0;    // where the face's characters start
    size_t itemsOffset = 0;   // where the first control's record starts
};
// False when the bytes are no dialog template this layer understands.
bool AfxReadDialogTemplate(const void* data, size_t size, AfxDialogTemplateText* text);
// The template with its face replaced; everything else byte for byte.
std::vector<BYTE> AfxTemplateWithFace(const void* data, size_t size, const AfxDialogTemplateText& text,
                                      const std::wstring& face);

// True when the face is installed (by this name) and has a glyph for every
// character of text.
bool AfxFaceDrawsText(const std::wstring& face, const std::wstring& text);
// templateFace when it draws text; else the first preferred face, then the
// first installed one, that does; else templateFace.
std::wstring AfxChooseDialogFace(const std::wstring& templateFace, const std::wstring& text);
