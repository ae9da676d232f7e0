// Language texts and the UI font.
#include "ui/Language.h"

#include <string.h>

#include "ui/UninstallDlg.h"

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

void CUninstallDlg::SelectLanguage(LPCSTR languageName) {
    // Until the other seven libraries ship, every language gets the English one.
    (void)languageName;
    g_strLangLib = "us_res.dll";
    m_strFontFace = "Arial";
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
