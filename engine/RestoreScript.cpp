// restore.cmd and the lines of restore.lst.
#include "engine/RestoreScript.h"

#include <vector>

#include "engine/MbText.h"

namespace {

// A path as a batch command's argument: quoted when a blank or a character cmd would read otherwise is in
// it, bare otherwise: Wine's attrib finds no quoted path. A value of a batch loop is not expanded again, so
// '%' stays single.
CString CmdArgument(const CString& text) {
    if (MbContainsAny(text, " \t&()[]{}^=;!'+,`~<>"))
        return "\"" + text + "\"";
    return text;
}

// Whether a path can stand in a field of the list: no control character, and neither the separator '|'
// nor a quote (neither is allowed in a file name).
BOOL ListablePath(const CString& path) {
    return !MbHasControl(path, path.GetLength()) && !MbContainsAny(path, "|\"");
}

// The attributes a copied file gets back (a copy sets the archive bit, and Wine's copy drops the read-only
// one), as three fields of its line: "+r" or "-r", "+a" or "-a", and "-" or, for a hidden or system file, all
// flags for one call: Windows' attrib changes such a file only when the command names those attributes too,
// while Wine's attrib applies only one flag a call.
CString AttribFields(DWORD attributes) {
    CString fields = attributes & FILE_ATTRIBUTE_READONLY ? "+r|" : "-r|";
    fields += attributes & FILE_ATTRIBUTE_ARCHIVE ? "+a|" : "-a|";
    if (!(attributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN)))
        return fields + "-";
    if (attributes & FILE_ATTRIBUTE_READONLY)
        fields += "+r ";
    if (attributes & FILE_ATTRIBUTE_SYSTEM)
        fields += "+s ";
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        fields += "+h ";
    return fields + (attributes & FILE_ATTRIBUTE_ARCHIVE ? "+a" : "-a");
}

#if !defined(_WIN64)
// A 32-bit program on 64-bit Windows (IsWow64Process exists from Windows XP SP2 on).
BOOL RunsOnWow64() {
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    IsWow64ProcessFn isWow64 = kernel ? reinterpret_cast<IsWow64ProcessFn>(
                                            reinterpret_cast<void (*)(void)>(GetProcAddress(kernel, "IsWow64Process")))
                                      : NULL;
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}
#endif

}  // namespace

CString ImportCommand(LPCSTR file) {
#if defined(_WIN64)
    // A 32-bit cmd would start the 32-bit regedit, which writes HKLM\Software into Wow6432Node.
    return CString("reg import \"") + file + "\" /reg:64 >nul";
#else
    if (RunsOnWow64())
        return CString("reg import \"") + file + "\" /reg:32 >nul";
    // One view; Windows 9x and NT 4 have no reg import.
    return CString("regedit /s \"") + file + "\"";
#endif
}

CString RestoreScriptText() {
    return "@echo off\r\n"
           "rem Puts back what the printer's removal took, in the order it was saved. Each line of\r\n"
           "rem restore.lst names a registry file to import or a file to copy back; a line that a killed\r\n"
           "rem run cut short lacks its last field, a dot, and is skipped. Then the spooler starts again\r\n"
           "rem and reads the printers and drivers back.\r\n"
           "setlocal enableextensions disabledelayedexpansion\r\n"
           "pushd \"%~dp0\"\r\n"
           "for /f \"tokens=1-8 delims=|\" %%a in (restore.lst) do (\r\n"
           "  if \"%%a|%%c\"==\"reg|.\" " +
           ImportCommand("%%b") +
           "\r\n"
           "  if \"%%a|%%h\"==\"file|.\" (\r\n"
           "    if not exist \"%%c\\\" md \"%%c\"\r\n"
           "    if \"%%g\"==\"-\" if exist %%d attrib -r %%d\r\n"
           "    if not \"%%g\"==\"-\" if exist %%d attrib -r -s -h %%d\r\n"
           "    copy /y \"%%b\" %%d >nul\r\n"
           "    if \"%%g\"==\"-\" attrib %%e %%d\r\n"
           "    if \"%%g\"==\"-\" attrib %%f %%d\r\n"
           "    if not \"%%g\"==\"-\" attrib %%g %%d\r\n"
           "  )\r\n"
           ")\r\n"
           "popd\r\n"
           "net stop spooler\r\n"
           "net start spooler\r\n";
}

CString SavedName(const CString& path) {
    if (path.GetLength() >= 2 && path.GetAt(1) == ':')
        return CString("files\\") + path.Left(1) + path.Mid(2);
    if (path.Left(2) == "\\\\")
        return CString("files\\UNC") + path.Mid(1);
    return CString();
}

CString FileListFields(const CString& saved, const CString& path, int folderEnd, DWORD attributes) {
    if (!ListablePath(path))
        return CString();
    return "file|" + saved + "|" + path.Left(folderEnd) + "|" + CmdArgument(path) + "|" + AttribFields(attributes);
}

CString RegListFields(const CString& name) {
    return CString("reg|") + name;
}

BOOL ListLine(const CString& fields, CString& line) {
    line = fields + "|.\r\n";
    // cmd reads the list in the console's code page, which is the OEM one, not the ANSI one the paths are in.
    if (GetACP() == GetOEMCP())
        return TRUE;
    std::vector<WCHAR> wide;
    if (!MbToUtf16(line, line.GetLength(), wide))
        return FALSE;
    BOOL lost = FALSE;
    int size = WideCharToMultiByte(CP_OEMCP, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, &lost);
    std::vector<char> oem(size > 0 ? size : 1);
    if (size <= 0 || lost ||
        WideCharToMultiByte(CP_OEMCP, 0, wide.data(), (int)wide.size(), oem.data(), size, NULL, &lost) != size ||
        lost)
        return FALSE;
    line = CString(oem.data(), size);
    return TRUE;
}
