// The usage message box: its text is built from several strings, each within the 200-byte text buffer.
#include "ui/UsageBox.h"

#include "afx/afxhandles.h"
#include "lang/langres.h"
#include "ui/Language.h"

CString UsageText(HINSTANCE lib) {
    // A blank line after the syntax, the names and the options' lines.
    static const UINT kParagraphs[] = {IDS_USAGE_SYNTAX, 0,               IDS_USAGE_OPTIONS, IDS_USAGE_NAMES,
                                       0,                IDS_USAGE_LOG,   IDS_USAGE_WHATIF,  IDS_USAGE_BACKUP,
                                       IDS_USAGE_ALL,    IDS_USAGE_LIST,  IDS_USAGE_HELP,    0,
                                       IDS_USAGE_EXIT1,  IDS_USAGE_EXIT2, IDS_USAGE_EXIT3};
    CString text;
    for (UINT id : kParagraphs) {
        if (id != 0)
            text += LoadLibraryString(lib, id);
        if (id != IDS_USAGE_EXIT3)
            text += "\n";
    }
    return text;
}

int ShowUsageBox() {
    char language[200] = "";
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, language, sizeof(language)))
        language[0] = '\0';
    g_strLangLib = LanguageLibraryFor(language);
    CLibrary lib;
    lib.Load(g_strLangLib);
    return MessageBoxA(NULL, UsageText(lib), LoadLibraryString(lib, IDS_MAIN_CAPTION), MB_OK | MB_ICONINFORMATION);
}
