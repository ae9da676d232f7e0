// The removal's backup: registry files and copies of files, each written and flushed before the change that
// removes what it holds, then named on the append-only list that restore.cmd, written before the first change,
// reads. A run killed at any moment leaves a list whose whole lines restore exactly what was changed.
#include "engine/Backup.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "engine/ChangeEffects.h"
#include "engine/MbText.h"
#include "engine/OsFamily.h"
#include "engine/RunLog.h"

namespace {

const char kListFile[] = "restore.lst";
const char kRestoreScript[] = "restore.cmd";
const char kRecordFolder[] = "registry";
// Deeper trees are not the printer's own; the bound also keeps a hostile tree from exhausting the stack.
const int kMaxDepth = 64;

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
    for (int i = 0; i <= folder.GetLength(); i += i < folder.GetLength() ? MbCharLength(folder, i) : 1) {
        if (i < folder.GetLength() && folder.GetAt(i) != '\\')
            continue;
        const CString part = folder.Left(i);
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

// Whether REG_SZ bytes read back exactly from a quoted string: one terminating zero, no other, and no
// control character (a line break would end the line).
BOOL PlainString(const BYTE* data, DWORD size) {
    if (size == 0 || data[size - 1] != 0)
        return FALSE;
    for (DWORD i = 0; i + 1 < size; ++i) {
        if (data[i] < 0x20)
            return FALSE;
    }
    return TRUE;
}

// Where a file's copy lies inside the backup: "files\C\WINDOWS\..." for "C:\WINDOWS\...",
// "files\UNC\server\share\..." for "\\server\share\...".
CString SavedName(const CString& path) {
    if (path.GetLength() >= 2 && path.GetAt(1) == ':')
        return CString("files\\") + path.Left(1) + path.Mid(2);
    if (path.Left(2) == "\\\\")
        return CString("files\\UNC") + path.Mid(1);
    return CString();
}

// A path as a batch command's argument: quoted when a blank or a character cmd would read otherwise is in
// it, bare otherwise: Wine's attrib finds no quoted path. A value of a batch loop is not expanded again, so
// '%' stays single.
CString CmdArgument(const CString& text) {
    LPCSTR s = text;
    for (int i = 0; s[i]; i += MbCharLength(s, i)) {
        if (MbCharLength(s, i) == 1 && strchr(" \t&()[]{}^=;!'+,`~<>", s[i]))
            return "\"" + text + "\"";
    }
    return text;
}

// Whether a path can stand in a field of the list: no control character, and neither the separator '|'
// nor a quote (neither is allowed in a file name).
BOOL ListablePath(const CString& path) {
    for (int i = 0; i < path.GetLength(); ++i) {
        if ((unsigned char)path.GetAt(i) < 0x20)
            return FALSE;
    }
    return !MbContains(path, '|') && !MbContains(path, '"');
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

// Whether a key or value name can stand in a registry file's line: a control character would end or
// break the line, and the format has no escape for one.
BOOL WritableName(const CString& name) {
    for (int i = 0; i < name.GetLength(); ++i) {
        if ((unsigned char)name.GetAt(i) < 0x20)
            return FALSE;
    }
    return TRUE;
}

// "[ROOT\path]" on its own line after a blank one; the spooler's trailing separator is dropped, as the
// key it names is the one without it.
CString SectionLine(HKEY root, CString path) {
    while (!path.IsEmpty() && MbFindLastSeparator(path, FALSE) == path.GetLength() - 1)
        path = path.Left(path.GetLength() - 1);
    return "\r\n[" + CString(RootKeyName(root)) + "\\" + path + "]\r\n";
}

int FolderEnd(const CString& path) {
    return MbFindLastSeparator(path, FALSE);
}

// Text of the ANSI code page as UTF-16; FALSE when it cannot be converted.
BOOL ToUtf16(LPCSTR text, int size, std::vector<WCHAR>& out) {
    out.clear();
    if (size == 0)
        return TRUE;
    int count = MultiByteToWideChar(CP_ACP, 0, text, size, NULL, 0);
    if (count <= 0)
        return FALSE;
    out.resize(count);
    return MultiByteToWideChar(CP_ACP, 0, text, size, out.data(), count) == count;
}

// The registry files' form for this system: Windows 9x's and NT 4's regedit read only REGEDIT4 in the ANSI
// code page; from Windows 2000 on regedit writes, and reg import reads, the UTF-16 form.
BOOL UnicodeRegistryFiles() {
    return RunsOnNtAtLeast(5);
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

CString CRemovalBackup::RegQuoted(const CString& text) {
    CString out = "\"";
    LPCSTR s = text;
    for (int i = 0; s[i];) {
        const int n = MbCharLength(s, i);
        if (n == 1 && (s[i] == '\\' || s[i] == '"'))
            out += '\\';
        out += CString(s + i, n);
        i += n;
    }
    return out + "\"";
}

CString CRemovalBackup::RegValueLine(const CString& name, DWORD type, const BYTE* data, DWORD size, BOOL unicode) {
    CString line = name.IsEmpty() ? CString("@") : RegQuoted(name);
    line += "=";
    if (type == REG_SZ && PlainString(data, size))
        return line + RegQuoted(CString((LPCSTR)data));
    if (type == REG_DWORD && size == 4) {
        char number[16];
        sprintf(number, "dword:%08lx", (unsigned long)(data[0] | data[1] << 8 | data[2] << 16 | (DWORD)data[3] << 24));
        return line + number;
    }
    // The UTF-16 form holds the string types' bytes as UTF-16, as the system stores them.
    std::vector<WCHAR> wide;
    if (unicode && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) &&
        ToUtf16((LPCSTR)data, (int)size, wide)) {
        data = reinterpret_cast<const BYTE*>(wide.data());
        size = (DWORD)(wide.size() * sizeof(WCHAR));
    }
    char prefix[24];
    if (type == REG_BINARY)
        strcpy(prefix, "hex:");
    else
        sprintf(prefix, "hex(%lx):", (unsigned long)type);
    line += prefix;
    int column = line.GetLength();
    for (DWORD i = 0; i < size; ++i) {
        char byte[8];
        sprintf(byte, "%02x", data[i]);
        line += byte;
        column += 2;
        if (i + 1 < size) {
            line += ",";
            column++;
            if (column > 76) {
                line += "\\\r\n  ";
                column = 2;
            }
        }
    }
    return line;
}

CString CRemovalBackup::ImportCommand(LPCSTR file) {
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

    CString text = "@echo off\r\n"
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
    // Written whole under another name and then renamed: restore.cmd is never there cut short.
    const CString draft = m_strFolder + "\\restore.new";
    DeleteFileA(draft);
    rc = WriteNewFile(draft, (LPCSTR)text, (DWORD)text.GetLength());
    if (rc == ERROR_SUCCESS)
        rc = ResultOf(MoveFileA(draft, script));
    return rc;
}

DWORD CRemovalBackup::AppendList(const CString& fields) {
    CString line = fields + "|.\r\n";
    if (m_bListCut)
        line = "\r\n" + line;
    // cmd reads the list in the console's code page, which is the OEM one, not the ANSI one the paths are in.
    if (GetACP() != GetOEMCP()) {
        std::vector<WCHAR> wide;
        if (!ToUtf16(line, line.GetLength(), wide))
            return ERROR_NO_UNICODE_TRANSLATION;
        BOOL lost = FALSE;
        int size = WideCharToMultiByte(CP_OEMCP, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, &lost);
        std::vector<char> oem(size > 0 ? size : 1);
        if (size <= 0 || lost ||
            WideCharToMultiByte(CP_OEMCP, 0, wide.data(), (int)wide.size(), oem.data(), size, NULL, &lost) != size ||
            lost)
            return ERROR_NO_UNICODE_TRANSLATION;
        line = CString(oem.data(), size);
    }
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
    if (m_bUnicode) {
        std::vector<WCHAR> wide;
        const CString text = "Windows Registry Editor Version 5.00\r\n" + record + "\r\n";
        if (!ToUtf16(text, text.GetLength(), wide))
            return ERROR_NO_UNICODE_TRANSLATION;
        wide.insert(wide.begin(), (WCHAR)0xFEFF);
        rc = WriteNewFile(path, wide.data(), (DWORD)(wide.size() * sizeof(WCHAR)));
    } else {
        const CString text = "REGEDIT4\r\n" + record + "\r\n";
        rc = WriteNewFile(path, (LPCSTR)text, (DWORD)text.GetLength());
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    return AppendList(CString("reg|") + name);
}

namespace {

// The registry text of the key `root\path` and every key below it.
DWORD ExportTree(HKEY root, const CString& path, int depth, BOOL unicode, CString& out) {
    CRegKey key;
    LONG rc = key.Open(root, path, KEY_READ);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
    rc = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subKeys, &maxSubKey, NULL, &values, &maxName, &maxData, NULL, NULL);
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    if (!WritableName(path))
        return ERROR_INVALID_DATA;
    out += SectionLine(root, path);
    std::vector<char> name(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameSize = (DWORD)name.size(), dataSize = (DWORD)data.size(), type = 0;
        rc = RegEnumValueA(key, i, name.data(), &nameSize, NULL, &type, data.data(), &dataSize);
        if (rc != ERROR_SUCCESS)
            return (DWORD)rc;
        if (!WritableName(CString(name.data())))
            return ERROR_INVALID_DATA;
        out += CRemovalBackup::RegValueLine(CString(name.data()), type, data.data(), dataSize, unicode) + "\r\n";
    }
    if (depth >= kMaxDepth)
        return subKeys == 0 ? ERROR_SUCCESS : ERROR_BUFFER_OVERFLOW;
    std::vector<char> child(maxSubKey + 2);
    for (DWORD i = 0; i < subKeys; ++i) {
        DWORD childSize = (DWORD)child.size();
        rc = RegEnumKeyExA(key, i, child.data(), &childSize, NULL, NULL, NULL, NULL);
        if (rc != ERROR_SUCCESS)
            return (DWORD)rc;
        DWORD inner = ExportTree(root, path + "\\" + child.data(), depth + 1, unicode, out);
        if (inner != ERROR_SUCCESS)
            return inner;
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD CRemovalBackup::SaveKeyTree(HKEY root, const CString& path, CString& record, CKeySet& covered) {
    if (covered.CoversKey(root, path))
        return ERROR_SUCCESS;
    DWORD rc = ExportTree(root, path, 0, m_bUnicode, record);
    if (rc == ERROR_SUCCESS)
        covered.AddKey(root, path);
    return rc;
}

DWORD CRemovalBackup::SaveValue(HKEY root, const CString& path, const CString& name, CString& record,
                                CKeySet& covered, BOOL removeIfMissing) {
    if (covered.CoversValue(root, path, name))
        return ERROR_SUCCESS;
    if (!WritableName(path) || !WritableName(name))
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
        record += SectionLine(root, path) + RegQuoted(name) + "=-\r\n";
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
    record += SectionLine(root, path) + RegValueLine(name, type, data.data(), size, m_bUnicode) + "\r\n";
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
    if (saved.IsEmpty() || folderEnd < 0 || !ListablePath(path))
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
    rc = AppendList("file|" + saved + "|" + path.Left(folderEnd) + "|" + CmdArgument(path) + "|" +
                    AttribFields(attributes));
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
