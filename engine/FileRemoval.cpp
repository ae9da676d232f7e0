// File removal of a removed printer's driver: flagged files now or at the next restart, their registry
// lists, the temporary watermark files and the OEM setup information files.
#include "engine/PrinterEntry.h"

#include "afx/afxhandles.h"
#include "engine/Changes.h"
#include "engine/MbText.h"

namespace {

const char kInstalledFiles[] = "SYSTEM\\CurrentControlSet\\Control\\InstalledFiles\\";
const char kKnown16Dlls[] = "SYSTEM\\CurrentControlSet\\Control\\SessionManager\\Known16DLLs\\";

// The Windows directory, or FALSE when it does not fit `capacity` bytes.
BOOL WindowsDirectory(UINT capacity, CString& dir) {
    char buffer[261] = "";
    if (capacity > 260)
        capacity = 260;
    UINT length = GetWindowsDirectoryA(buffer, capacity);
    if (length == 0 || length >= capacity)
        return FALSE;
    dir = buffer;
    return TRUE;
}

}  // namespace

void CPrinterEntry::DeleteDriverFiles(const std::vector<FileDecision>& files) {
    CRegKey installed, known16;
    installed.Open(HKEY_LOCAL_MACHINE, kInstalledFiles, KEY_ALL_ACCESS);
    known16.Open(HKEY_LOCAL_MACHINE, kKnown16Dlls, KEY_ALL_ACCESS);

    for (const FileDecision& file : files) {
        if (!file.deleted)
            continue;
        // A name from the registry that climbs out of its folder ("..\..\WIN.INI", "\WIN.INI") names
        // someone else's file: neither it nor the lists that name it are touched.
        if (!IsJoinedName(file.path, file.folder))
            continue;
        const int last = MbFindLastSeparator(file.path, TRUE);
        const CString name = last < 0 ? file.path : file.path.Mid(last + 1);
        if (installed)
            Changes().DeleteValue(HKEY_LOCAL_MACHINE, kInstalledFiles, installed, name);
        if (known16)
            Changes().DeleteValue(HKEY_LOCAL_MACHINE, kKnown16Dlls, known16, name);
        Changes().RemoveFileNowOrAtRestart(file.path, file.folder);
    }

    const int length = m_strDataFileName.GetLength();
    const CString base = length < 4 ? CString() : m_strDataFileName.Left(length - 4);
    // On Windows 9x the field still names the temporary folder itself: nothing to delete.
    if (IsNtFamily(m_nOsFamily)) {
        char temp[261] = "";
        DWORD got = GetTempPathA(260, temp);
        if (got > 0 && got < 260)
            Changes().RemoveFile(m_strTempWmk, temp);
    }
    CString windows;
    if (WindowsDirectory(260, windows))
        Changes().RemoveFile(windows + "\\Temp\\" + base + ".wmk", windows + "\\Temp");
}

void CPrinterEntry::DeleteOemInf() {
    if (!IsNtFamily(m_nOsFamily))
        return;
    CString windows;
    if (!WindowsDirectory(255, windows))
        return;
    Changes().RemoveFileNowOrAtRestart(windows + "\\inf\\oem.inf", windows + "\\inf");
    Changes().RemoveFileNowOrAtRestart(windows + "\\inf\\oem.pnf", windows + "\\inf");
}
