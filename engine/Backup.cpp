// The removal's backup: registry files and copies of files, each written and flushed before the change that
// removes what it holds, then named on the append-only list that restore.cmd, written before the first change,
// reads. A run killed at any moment leaves a list whose whole lines restore exactly what was changed.
#include "engine/Backup.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "engine/ChangeEffects.h"
#include "engine/MbText.h"
#include "engine/RegFile.h"
#include "engine/RestoreScript.h"

namespace {

const char kListFile[] = "restore.lst";
const char kRestoreScript[] = "restore.cmd";
const char kRecordFolder[] = "registry";

// Writes `size` bytes to a new file and flushes them to the disk before it returns.
DWORD WriteNewFile(const CString& path, const void* data, DWORD size) {
    CKernelHandle file(
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsValid())
        return ResultOf(FALSE);
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, NULL))
        return ResultOf(FALSE);
    if (written != size)
        return ERROR_CANNOT_MAKE;
    return ResultOf(FlushFileBuffers(file));
}

// Flushes what a copy wrote to an existing file to the disk.
DWORD FlushExisting(const CString& path) {
    CKernelHandle file(
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsValid())
        return ResultOf(FALSE);
    return ResultOf(FlushFileBuffers(file));
}

// Creates `folder` and every folder above it that is missing.
DWORD MakeFolders(const CString& folder) {
    CString part;
    const std::vector<CString> parts = MbSplit(folder, FALSE);
    for (size_t i = 0; i < parts.size(); ++i) {
        part += (i ? "\\" : "") + parts[i];
        // "C:" and "\\server\share" are there or not; they are not made.
        if (part.GetLength() <= 2 || part.Right(1) == ":" ||
            (part.Left(2) == "\\\\" && MbSplit(part, FALSE).size() <= 4))
            continue;
        if (!CreateDirectoryA(part, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
            return ResultOf(FALSE);
    }
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ResultOf(FALSE);
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

int FolderEnd(const CString& path) {
    return MbFindLastSeparator(path, FALSE);
}

}  // namespace

DWORD CRemovalBackup::Begin(const CString& folder) {
    m_strFolder = folder;
    while (m_strFolder.GetLength() > 3 && MbFindLastSeparator(m_strFolder, FALSE) == m_strFolder.GetLength() - 1)
        m_strFolder = m_strFolder.Left(m_strFolder.GetLength() - 1);
    m_bUnicode = UnicodeRegistryFiles();
    DWORD rc = MakeFolders(m_strFolder);
    if (rc != ERROR_SUCCESS)
        return rc;
    const CString script = m_strFolder + "\\" + kRestoreScript;
    if (GetFileAttributesA(script) != INVALID_FILE_ATTRIBUTES)
        return ERROR_FILE_EXISTS;
    // The list is made first: CREATE_NEW claims the folder.
    *m_list.Receive() = CreateFileA(m_strFolder + "\\" + kListFile, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (!m_list.IsValid())
        return ResultOf(FALSE);

    const CString text = RestoreScriptText();
    // Written whole under another name and then renamed: restore.cmd is never there cut short.
    const CString draft = m_strFolder + "\\restore.new";
    DeleteFileA(draft);
    rc = WriteNewFile(draft, (LPCSTR)text, (DWORD)text.GetLength());
    if (rc == ERROR_SUCCESS)
        rc = ResultOf(MoveFileA(draft, script));
    return rc;
}

DWORD CRemovalBackup::AppendList(const CString& fields) {
    CString line;
    if (!ListLine(fields, line))
        return ERROR_NO_UNICODE_TRANSLATION;
    if (m_bListCut)
        line = "\r\n" + line;
    DWORD written = 0;
    m_bListCut = TRUE;
    if (SetFilePointer(m_list, 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return ResultOf(FALSE);
    if (!WriteFile(m_list, (LPCSTR)line, (DWORD)line.GetLength(), &written, NULL))
        return ResultOf(FALSE);
    if (written != (DWORD)line.GetLength())
        return ERROR_CANNOT_MAKE;
    if (!FlushFileBuffers(m_list))
        return ResultOf(FALSE);
    m_bListCut = FALSE;
    return ERROR_SUCCESS;
}

DWORD CRemovalBackup::CommitRecord(const CString& record) {
    DWORD rc = MakeFolders(m_strFolder + "\\" + kRecordFolder);
    if (rc != ERROR_SUCCESS)
        return rc;
    char name[32];
    sprintf(name, "%s\\%04d.reg", kRecordFolder, ++m_nRecords);
    const CString path = m_strFolder + "\\" + name;
    std::vector<BYTE> bytes;
    if (!RegFileBytes(record, m_bUnicode, bytes))
        return ERROR_NO_UNICODE_TRANSLATION;
    rc = WriteNewFile(path, bytes.data(), (DWORD)bytes.size());
    if (rc != ERROR_SUCCESS)
        return rc;
    return AppendList(RegListFields(name));
}

DWORD CRemovalBackup::SaveKeyTree(HKEY root, const CString& path, CString& record, CKeySet& covered) {
    if (covered.CoversKey(root, path))
        return ERROR_SUCCESS;
    DWORD rc = RegExportTree(root, path, m_bUnicode, record);
    if (rc == ERROR_SUCCESS)
        covered.AddKey(root, path);
    return rc;
}

DWORD CRemovalBackup::SaveValue(HKEY root, const CString& path, const CString& name, CString& record,
                                CKeySet& covered, BOOL removeIfMissing) {
    if (covered.CoversValue(root, path, name))
        return ERROR_SUCCESS;
    if (!RegWritableName(path) || !RegWritableName(name))
        return ERROR_INVALID_DATA;
    CRegKey key;
    LONG rc = key.Open(root, path, KEY_READ);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    DWORD type = 0, size = 0;
    rc = RegQueryValueExA(key, name, NULL, &type, NULL, &size);
    if (rc == ERROR_FILE_NOT_FOUND && removeIfMissing) {
        // The restore removes what the run will have added.
        record += RegSectionLine(root, path) + RegQuoted(name) + "=-\r\n";
        covered.AddValue(root, path, name);
        return ERROR_SUCCESS;
    }
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    std::vector<BYTE> data(size + 2);
    rc = RegQueryValueExA(key, name, NULL, &type, data.data(), &size);
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    record += RegSectionLine(root, path) + RegValueLine(name, type, data.data(), size, m_bUnicode) + "\r\n";
    covered.AddValue(root, path, name);
    return ERROR_SUCCESS;
}

DWORD CRemovalBackup::SaveFile(const CString& path) {
    const CString tag = UpperName(path);
    if (m_savedFiles.count(tag))
        return ERROR_SUCCESS;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_SUCCESS;
    const CString saved = SavedName(path);
    const int folderEnd = FolderEnd(path);
    const CString fields = saved.IsEmpty() || folderEnd < 0 ? CString() : FileListFields(saved, path, folderEnd, attributes);
    if (fields.IsEmpty())
        return ERROR_BAD_PATHNAME;
    const CString copy = m_strFolder + "\\" + saved;
    DWORD rc = MakeFolders(copy.Left(FolderEnd(copy)));
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!CopyFileA(path, copy, FALSE))
        return ResultOf(FALSE);
    // The copy took the file's attributes: a read-only one cannot be opened to be flushed, and restore.cmd
    // sets the attributes itself.
    if (!SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL))
        return ResultOf(FALSE);
    rc = FlushExisting(copy);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = AppendList(fields);
    if (rc == ERROR_SUCCESS)
        m_savedFiles.insert(tag);
    return rc;
}

DWORD CRemovalBackup::BeforeChange(const ChangeEvent& event) {
    DWORD rc = ERROR_SUCCESS;
    CString record;
    CKeySet covered = m_saved;
    const std::vector<ChangeEffect> effects = EffectsOf(event);
    // The registry first, as one file; then the files, each flushed before the change.
    for (const ChangeEffect& effect : effects) {
        if (rc != ERROR_SUCCESS)
            break;
        if (effect.kind == EFFECT_KEY_TREE)
            rc = SaveKeyTree(effect.root, effect.path, record, covered);
        else if (effect.kind == EFFECT_VALUE)
            rc = SaveValue(effect.root, effect.path, effect.name, record, covered, effect.addedIfMissing);
    }
    if (rc == ERROR_SUCCESS && !record.IsEmpty())
        rc = CommitRecord(record);
    if (rc == ERROR_SUCCESS)
        m_saved = covered;
    for (const ChangeEffect& effect : effects) {
        if (rc == ERROR_SUCCESS && effect.kind == EFFECT_FILE)
            rc = SaveFile(effect.path);
    }
    if (rc != ERROR_SUCCESS)
        m_bFailed = TRUE;
    return rc;
}
