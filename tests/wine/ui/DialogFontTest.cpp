// The face a dialog is shown in where the template's face is missing (an
// English Windows without the Chinese fonts): the main dialog's template
// with a face no system has is shown in one that draws its caption, with
// every control, and the layout computed for that face.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/win32/DialogFont.h"
#include "resource.h"

namespace {

std::vector<BYTE> MainDialogTemplate()
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_SFX_DIALOG), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    return std::vector<BYTE>(data, data + SizeofResource(module, found));
}

INT_PTR CALLBACK NoHandlers(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring FaceOfDialogFont(HWND dialog)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfFaceName;
}

TEST(DialogFont, ATemplateWhoseFaceCannotDrawItsCaptionIsShownInAFaceThatCan)
{
    const std::vector<BYTE> original = MainDialogTemplate();
    AfxDialogTemplateText text;
    ASSERT_TRUE(AfxReadDialogTemplate(original.data(), original.size(), &text));
    EXPECT_EQ(L"宋体", text.face);
    EXPECT_EQ(L"Orvex通讯管理系统安装提示", text.caption);

    const std::vector<BYTE> missing = AfxTemplateWithFace(original.data(), original.size(), text, L"Orvex No Such Face");
    AfxDialogTemplateText changed;
    ASSERT_TRUE(AfxReadDialogTemplate(missing.data(), missing.size(), &changed));
    EXPECT_EQ(L"Orvex No Such Face", changed.face);
    EXPECT_EQ(text.caption, changed.caption);
    EXPECT_TRUE(std::equal(original.begin() + static_cast<long>(text.itemsOffset), original.end(),
                           missing.begin() + static_cast<long>(changed.itemsOffset), missing.end()))
        << "the controls' records are carried over byte for byte";

    // The template's own face while it draws; else the first preferred face
    // that does; else any installed one that does.
    const wchar_t* const preferred[] = {L"Orvex Missing Too", L"SimSun", nullptr};
    AfxSetDialogFallbackFaces(preferred);
    EXPECT_EQ(L"宋体", AfxChooseDialogFace(text.face, text.caption));
    EXPECT_EQ(L"SimSun", AfxChooseDialogFace(changed.face, changed.caption));
    AfxSetDialogFallbackFaces(nullptr);
    const std::wstring installed = AfxChooseDialogFace(changed.face, changed.caption);
    EXPECT_NE(changed.face, installed);
    EXPECT_TRUE(AfxFaceDrawsText(installed, changed.caption));

    // Windows builds the dialog from the copy in the chosen face, controls and all.
    const std::vector<BYTE> shown = AfxTemplateWithFace(missing.data(), missing.size(), changed, L"SimSun");
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(shown.data()),
                                             nullptr, &NoHandlers, 0);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"SimSun", FaceOfDialogFont(dialog));
    wchar_t start[32] = L"";
    GetDlgItemTextW(dialog, IDC_START, start, 32);
    EXPECT_EQ(std::wstring(L"开始安装"), start);
    EXPECT_NE(nullptr, GetDlgItem(dialog, IDC_COUNTDOWN));
    DestroyWindow(dialog);
}

}  // namespace
