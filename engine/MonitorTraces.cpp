// The monitoring application's traces for the current user, looked for where tavq.dll removes them.
#include "engine/MonitorTraces.h"

#include "afx/afxhandles.h"
#include "afx/afxshell.h"

namespace {

const char kRunKey[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";
const char kRunValue[] = "Norix Tallyvue";
const char kSettingsKey[] = "SOFTWARE\\Norix\\Tallyvue";
const char kShortcutName[] = "\\Tallyvue.lnk";
const char kFolderName[] = "Tallyvue";

MonitorTrace Trace(MonitorTraceKind kind, const CString& where, HKEY root = NULL, const CString& value = CString()) {
    MonitorTrace trace;
    trace.kind = kind;
    trace.where = where;
    trace.root = root;
    trace.value = value;
    return trace;
}

// The current user's file-system desktop folder as the shell names it; empty when it has none.
CString DesktopDirectory() {
    CComRuntime com;
    CItemIdList folder;
    if (FAILED(SHGetSpecialFolderLocation(NULL, CSIDL_DESKTOPDIRECTORY, folder.Receive())) || !folder.Get())
        return CString();
    char path[MAX_PATH + 1] = {0};
    if (!SHGetPathFromIDListA(folder.Get(), path))
        return CString();
    path[MAX_PATH] = 0;
    return CString(path);
}

// The library forms its paths in UTF-16 buffers of MAX_PATH characters and leaves alone what does not fit.
BOOL FitsLibraryPath(const CString& path) {
    const int characters = MultiByteToWideChar(CP_ACP, 0, path, -1, NULL, 0);
    return characters > 0 && characters <= MAX_PATH;
}

BOOL IsFile(const CString& path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL IsFolder(const CString& path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL KeyExists(HKEY root, LPCSTR path) {
    CRegKey key;
    return key.Open(root, path, KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

// Whatever its type and size: the value is asked for by name only, none of its data is read.
BOOL ValueExists(HKEY root, LPCSTR path, LPCSTR value) {
    CRegKey key;
    if (key.Open(root, path, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return FALSE;
    return RegQueryValueExA(key, value, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
}

}  // namespace

LPCSTR MonitorTraceName(MonitorTraceKind kind) {
    switch (kind) {
    case TRACE_SHORTCUT: return "shortcut";
    case TRACE_AUTOSTART: return "autostart";
    case TRACE_SETTINGS: return "settings";
    case TRACE_FOLDER: return "folder";
    }
    return "unknown";
}

std::vector<MonitorTrace> FindMonitorTraces() {
    std::vector<MonitorTrace> traces;
    // Without a desktop path the library deletes no shortcut: there is nothing of its to look for.
    const CString desktop = DesktopDirectory();
    if (!desktop.IsEmpty()) {
        const CString shortcut = desktop + kShortcutName;
        if (FitsLibraryPath(shortcut) && IsFile(shortcut))
            traces.push_back(Trace(TRACE_SHORTCUT, shortcut));
    }
    if (ValueExists(HKEY_CURRENT_USER, kRunKey, kRunValue))
        traces.push_back(Trace(TRACE_AUTOSTART, kRunKey, HKEY_CURRENT_USER, kRunValue));
    if (KeyExists(HKEY_CURRENT_USER, kSettingsKey))
        traces.push_back(Trace(TRACE_SETTINGS, kSettingsKey, HKEY_CURRENT_USER));
    // The temporary folder as the library takes it: with its trailing separator, and only when it fits.
    char temp[MAX_PATH + 1] = {0};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length > 0 && length < MAX_PATH) {
        const CString folder = CString(temp) + kFolderName;
        if (FitsLibraryPath(folder + "\\") && IsFolder(folder))
            traces.push_back(Trace(TRACE_FOLDER, folder));
    }
    return traces;
}
