// The backup of a removal: before each change, what it removes goes to a folder with a script that puts it back.
#pragma once

#include <windows.h>

#include <set>

#include "afx/afxhandles.h"
#include "afx/afxstr.h"
#include "engine/Changes.h"
#include "engine/KeySet.h"

// Layout of the folder, safe to be cut off at any moment by a killed run or a power loss:
//   restore.cmd         written (whole, then renamed into place) before the first change; reads restore.lst
//   restore.lst         one line per saved item, each appended and flushed after the item and before the
//                       change it guards; a line counts only once it ends with "|."
//   registry\NNNN.reg   the keys and values one change removes (REGEDIT4 in the ANSI code page on Windows 9x
//                       and NT 4, UTF-16 "Windows Registry Editor Version 5.00" from Windows 2000 on)
//   files\<drive>\...   every file before its deletion, now or at the restart, or its replacement
class CRemovalBackup : public IChangeGuard {
public:
    // Creates the folder (and the folders above it), the list and restore.cmd; the API's code. A folder that
    // already holds a backup is refused (ERROR_FILE_EXISTS): it is never overwritten.
    DWORD Begin(const CString& folder);
    // Saves what the change removes, flushed to the disk; the code of what could not be written, else 0.
    DWORD BeforeChange(const ChangeEvent& event) override;
    // Whether a save failed (its change was then not made).
    BOOL Failed() const { return m_bFailed; }


private:
    // Each adds the registry text of what it saves to `record`, and what it covers to `covered`.
    DWORD SaveKeyTree(HKEY root, const CString& path, CString& record, CKeySet& covered);
    // `removeIfMissing`: a value that is not there is saved as one to delete ("name"=-).
    DWORD SaveValue(HKEY root, const CString& path, const CString& name, CString& record, CKeySet& covered,
                    BOOL removeIfMissing = FALSE);
    DWORD SaveFile(const CString& path);
    // Writes `record` as the next registry file, flushed, then names it on the list.
    DWORD CommitRecord(const CString& record);
    // Appends one line, "|." added, in the console's code page, as cmd reads it; flushed before it returns.
    DWORD AppendList(const CString& fields);

    CString m_strFolder;
    CKernelHandle m_list;           // restore.lst, open for the run
    BOOL m_bListCut = FALSE;        // an append failed part-way: the next one starts on a line of its own
    BOOL m_bUnicode = FALSE;        // the registry files' form
    int m_nRecords = 0;             // registry files begun
    BOOL m_bFailed = FALSE;
    CKeySet m_saved;                      // keys (with their trees) and values saved
    std::set<CString> m_savedFiles;   // upper-cased file paths
};
