// The desktop folder, the desktop shortcut, and the program files and folder in the user's temporary directory.
#include "tavq.h"
#include "handles.h"
#include "resource.h"
#include "wide.h"

namespace {

WCHAR g_szDesktopDir[MAX_PATH];

const WCHAR* const kProgramFiles[] = {
    WSTR("Tallyvue.exe"),     WSTR("merrow10.dll"),     WSTR("merrow_bridge.dll"),
    WSTR("merrow_core.dll"),  WSTR("merrow_norix.dll"), WSTR("Tallyvue.chm"),
};

bool Append(LPWSTR buffer, int capacity, LPCWSTR tail) {
    return tavq::AppendText(buffer, capacity, tail);
}

}  // namespace

void ClearDesktopDirectory() {
    g_szDesktopDir[0] = 0;
}

LPWSTR GetDesktopDirectory() {
    tavq::CComInit com;
    tavq::CShellFolderRef desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Receive())) || !desktop.Get())
        return g_szDesktopDir;
    tavq::CIdList folder;
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, CSIDL_DESKTOPDIRECTORY, folder.Receive()))) {
        g_szDesktopDir[0] = 0;
        tavq::PathFromIdList(folder.Get(), g_szDesktopDir);
    }
    return g_szDesktopDir;
}

void DeleteDesktopShortcut() {
    WCHAR name[256];
    if (tavq::LoadText(g_hModule, IDS_SHORTCUT_NAME, name, 256) == 0)
        tavq::CopyText(name, WSTR("Shortcut to Tallyvue"), 256);
    WCHAR path[MAX_PATH];
    tavq::CopyText(path, GetDesktopDirectory(), MAX_PATH);
    // Without any desktop path the name would point at the root of the current drive: not ours to delete.
    if (path[0] == 0)
        return;
    // A path that does not fit is not cut short into the name of some other file.
    if (!Append(path, MAX_PATH, WSTR("\\")) || !Append(path, MAX_PATH, name) || !Append(path, MAX_PATH, WSTR(".lnk")))
        return;
    tavq::RemoveFile(path);
}

void RemoveProgramFolder() {
    WCHAR folder[MAX_PATH] = {0};
    DWORD length = tavq::TempPath(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH)
        return;
    if (!Append(folder, MAX_PATH, WSTR("Tallyvue")) || !Append(folder, MAX_PATH, WSTR("\\")))
        return;
    BOOL lastDeleted = FALSE;
    for (const WCHAR* file : kProgramFiles) {
        WCHAR path[MAX_PATH];
        tavq::CopyText(path, folder, MAX_PATH);
        if (!Append(path, MAX_PATH, file)) {
            lastDeleted = FALSE;
            continue;
        }
        lastDeleted = tavq::RemoveFile(path);
    }
    // Only the outcome for the help file decides; the folder goes only when nothing else is left in it.
    if (lastDeleted)
        tavq::RemoveFolder(folder);
}
