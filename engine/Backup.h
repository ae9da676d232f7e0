// The backup of a removal: before each change, what it removes goes to a folder with a script that puts it back.
#pragma once

#include <windows.h>

#include <set>
#include <vector>

#include "afx/afxstr.h"
#include "engine/Changes.h"
#include "engine/KeySet.h"

// The printers' keys, where a printer deleted through the spooler or its driver is kept.
extern const char kPrintersKeyPath[];

// Layout of the folder: "registry.reg" (REGEDIT4, every key tree and value before its deletion, and the
// restart's list of deletions as it was), "files\<drive>\<path>" (every file before its deletion, now or
// at the restart, or its replacement) and "restore.cmd" (imports, copies back with the attributes, cycles
// the spooler).
class CRemovalBackup : public IChangeGuard {
public:
    // Creates the folder (and the folders above it), the registry file and restore.cmd; the API's code.
    // A folder that already holds a backup is refused (ERROR_FILE_EXISTS): it is never overwritten.
    DWORD Begin(const CString& folder);
    // Saves what the change removes; the code of what could not be written, else 0.
    DWORD BeforeChange(const ChangeEvent& event) override;
    // Whether a save failed (its change was then not made).
    BOOL Failed() const { return m_bFailed; }

    // REGEDIT4 text of one value: `"name"=...` with the value's type and bytes kept exactly.
    static CString RegValueLine(const CString& name, DWORD type, const BYTE* data, DWORD size);

private:
    DWORD SaveKeyTree(HKEY root, const CString& path);
    // `removeIfMissing`: a value that is not there is saved as one to delete ("name"=-).
    DWORD SaveValue(HKEY root, const CString& path, const CString& name, BOOL removeIfMissing = FALSE);
    DWORD SaveFile(const CString& path);
    DWORD AppendRegistry(const CString& text);
    DWORD WriteRestoreScript();
    // Whether `path` under `root`, or a key above it, has been saved whole already.

    CString m_strFolder;
    BOOL m_bFailed = FALSE;
    CKeySet m_saved;                      // keys (with their trees) and values saved
    std::set<CString> m_savedFiles;   // upper-cased file paths
    struct SavedFile {
        CString path;
        DWORD attributes;  // as it was before the change
    };
    std::vector<SavedFile> m_files;  // in the order they were saved
};
