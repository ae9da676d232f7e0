// The hand-off to the companion library that removes the monitoring application, and the replacement of
// the driver's copy of that library by the one shipped beside the program.
#include "engine/PrinterEntry.h"

#include <mbstring.h>
#include <stdlib.h>
#include <string.h>

#include "engine/Changes.h"

namespace {

const char kCompanion[] = "tavq.dll";

// Drive and folder of `path` (with its trailing separator), upper-cased when `upper`.
CString FolderOf(const CString& path, BOOL upper) {
    char drive[_MAX_DRIVE] = "", dir[_MAX_DIR] = "", name[_MAX_FNAME] = "", ext[_MAX_EXT] = "";
    CString copy = path;
    if (upper)
        copy.MakeUpper();
    if (copy.GetLength() >= _MAX_PATH)
        return CString();
    _splitpath(copy, drive, dir, name, ext);
    return CString(drive) + dir;
}

// The first January 1998, 01:01:01 local time, as the file system keeps it.
BOOL CompanionTimeStamp(FILETIME& stamp) {
    SYSTEMTIME local;
    memset(&local, 0, sizeof(local));
    local.wYear = 1998;
    local.wMonth = 1;
    local.wDay = 1;
    local.wHour = 1;
    local.wMinute = 1;
    local.wSecond = 1;
    FILETIME localTime;
    return SystemTimeToFileTime(&local, &localTime) && LocalFileTimeToFileTime(&localTime, &stamp);
}

}  // namespace

CString ShippedCompanionPath() {
    char program[256] = "";
    HMODULE self = GetModuleHandleA(NULL);
    if (!self || GetModuleFileNameA(self, program, sizeof(program)) == 0 || program[0] == '\0')
        return CString();
    program[sizeof(program) - 1] = '\0';
    return FolderOf(CString(program), FALSE) + kCompanion;
}

int CPrinterEntry::RunCompanionRemover() {
    const CString dataFolder = FolderOf(m_strDataFile, TRUE);
    POSITION pos = m_files.GetHeadPosition();
    while (pos) {
        CDriverFile* file = static_cast<CDriverFile*>(m_files.GetNext(pos));
        if (file->m_strPath.GetLength() >= _MAX_PATH)
            continue;
        char drive[_MAX_DRIVE] = "", dir[_MAX_DIR] = "", name[_MAX_FNAME] = "", ext[_MAX_EXT] = "";
        _splitpath(file->m_strPath, drive, dir, name, ext);
        if (_mbsicmp(reinterpret_cast<const unsigned char*>((LPCSTR)(CString(name) + ext)),
                     reinterpret_cast<const unsigned char*>(kCompanion)) != 0)
            continue;
        // Only the copy in the data file's own folder is the driver's.
        const CString folder = FolderOf(file->m_strPath, TRUE);
        if (_mbsicmp(reinterpret_cast<const unsigned char*>((LPCSTR)dataFolder),
                     reinterpret_cast<const unsigned char*>((LPCSTR)folder)) != 0)
            continue;
        // Another printer still lists this copy: its application stays.
        if (file->m_bDelete == 0)
            return 1;
        BOOL called = FALSE;
        int result = Changes().CallCompanion(file->m_strPath, "Delete", &called);
        if (!called)
            continue;
        if (m_nOsFamily != OS_FAMILY_9X) {
            const CString source = ShippedCompanionPath();
            if (source.IsEmpty())
                return 0;
            const CString target = file->m_strPath;
            const CString targetFolder = FolderOf(target, FALSE);
            if (Changes().CopyFileOver(source, target, targetFolder)) {
                WIN32_FILE_ATTRIBUTE_DATA status;
                FILETIME stamp;
                if (GetFileAttributesExA(target, GetFileExInfoStandard, &status) && CompanionTimeStamp(stamp))
                    Changes().SetFileTimes(target, targetFolder, stamp);
                // The shipped copy stays: the next driver installation finds a current one.
                file->m_bDelete = 0;
                file->m_strReplacedBy = source;
            }
        }
        return result;
    }
    return 1;
}
