// Language texts and the UI font.
#include "ui/Language.h"

#include <string.h>

#include "ui/UninstallDlg.h"

// Defined with the functions that use them, so the dialogs link without the application object.
CString g_strLangLib;
CFont g_uiFont;

CString LoadLibraryString(HINSTANCE lib, UINT id) {
    char text[200] = "";
    LoadStringA(lib, id, text, sizeof(text));
    return CString(text);
}

void ApplyUiFont(HWND window) {
    SendMessageA(window, WM_SETFONT, (WPARAM)(HFONT)g_uiFont, 0);
}

void SetTextFromLibrary(HWND control, HINSTANCE lib, UINT id) {
    ::SetWindowTextA(control, LoadLibraryString(lib, id));
    ApplyUiFont(control);
}

namespace {

struct LanguageRow {
    const char* key;
    const char* library;
    const char* face;
};

// Tested from the top; the first row whose key occurs in the name wins, English when none does.
const LanguageRow kLanguages[] = {
    {"Japanese", "jp_res.dll", "MS UI Gothic"},
    {"French", "fr_res.dll", "Arial"},
    {"Italian", "it_res.dll", "Arial"},
    {"German", "gr_res.dll", "Arial"},
    {"Spanish", "sp_res.dll", "Arial"},
    {"Dutch", "du_res.dll", "Arial"},
    {"Portuguese", "bp_res.dll", "Arial"},
};
const LanguageRow kDefaultLanguage = {"", "us_res.dll", "Arial"};

const LanguageRow* LanguageRowFor(LPCSTR languageName) {
    for (const LanguageRow& candidate : kLanguages) {
        // Case-sensitive substring test: "Japanese (Japan)" still counts as Japanese.
        if (strstr(languageName, candidate.key))
            return &candidate;
    }
    return &kDefaultLanguage;
}

}  // namespace

LPCSTR LanguageLibraryFor(LPCSTR languageName) {
    return LanguageRowFor(languageName)->library;
}

void CUninstallDlg::SelectLanguage(LPCSTR languageName) {
    const LanguageRow* row = LanguageRowFor(languageName);
    g_strLangLib = row->library;
    m_strFontFace = row->face;
}

int CUninstallDlg::CreateUiFont(LPCSTR languageName) {
    LOGFONTA font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = -12;
    font.lfWeight = FW_NORMAL;
    // The character set follows the whole name, the face the substring test of SelectLanguage.
    font.lfCharSet = strcmp(languageName, "Japanese") == 0 ? SHIFTJIS_CHARSET : 0;
    lstrcpynA(font.lfFaceName, m_strFontFace, LF_FACESIZE);
    return g_uiFont.CreateFontIndirect(&font) ? 1 : 0;
}
