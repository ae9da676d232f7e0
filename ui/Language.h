// The language library and the UI font every dialog of the run shares.
#pragma once

#include "afx/afxwin.h"

// File name of the chosen language library; secondary dialogs find the loaded library by it.
extern CString g_strLangLib;
// The UI font applied to the controls of every dialog; the main dialog creates and deletes it.
extern CFont g_uiFont;

// Sets `control`'s text to string `id` of `lib` and applies the UI font to it.
void SetTextFromLibrary(HWND control, HINSTANCE lib, UINT id);
// Sends the UI font to a window (redraw flag 0).
void ApplyUiFont(HWND window);
// String `id` of `lib`, loaded into the 200-byte text buffer (at most 199 bytes).
CString LoadLibraryString(HINSTANCE lib, UINT id);
// The language library for a LOCALE_SENGLANGUAGE name ("us_res.dll" when no other fits).
LPCSTR LanguageLibraryFor(LPCSTR languageName);
