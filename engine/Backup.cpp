// The removal's backup: registry trees and values as one REGEDIT4 file, files copied with their paths kept,
// and restore.cmd, each written before the change that removes them.
#include "engine/Backup.h"

#include <stdio.h>
#include <string.h>

#include "afx/afxhandles.h"
#include "engine/MbText.h"
#include "engine/RunLog.h"

const char kPrintersKeyPath[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

namespace {

const char kRegistryFile[] = "registry.reg";
const char kRestoreScript[] = "restore.cmd";
const char kDevicesKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices";
const char kPrinterPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts";
const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";
// Deeper trees are not the printer's own; the bound also keeps a hostile tree from exhausting the stack.
const int kMaxDepth = 64;

// Writes `text` at the end of `path`, creating it when `create`.
DWORD AppendToFile(const CString& path, const CString& text, DWORD disposition) {
    CKernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file.IsValid())
        return ResultOf(FALSE);
    SetFilePointer(file, 0, NULL, FILE_END);
    DWORD written = 0;
    if (!WriteFile(file, (LPCSTR)text, (DWORD)text.GetLength(), &written, NULL))
        return ResultOf(FALSE);
    return written == (DWORD)text.GetLength() ? ERROR_SUCCESS : ERROR_CANNOT_MAKE;
}

// Creates `folder` and every folder above it that is missing.
DWORD MakeFolders(const CString& folder) {
    for (int i = 0; i <= folder.GetLength(); ++i) {
        if (i < folder.GetLength() && folder.GetAt(i) != '\\')
            continue;
        const CString part = folder.Left(i);
        // "C:" and "\\server\share" are there or not; they are not made.
        if (part.GetLength() <= 2 || part.Right(1) == ":" || (part.Left(2) == "\\\\" && part.Mid(2).Find('\\') < 0))
            continue;
        if (!CreateDirectoryA(part, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
            return ResultOf(FALSE);
    }
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ResultOf(FALSE);
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

// A registry text in REGEDIT4's quotes: backslashes and quotes escaped.
CString RegQuoted(const CString& text) {
    CString out = "\"";
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = text.GetAt(i);
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
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

// A path for a batch file's quotes: '%' doubled.
CString CmdQuoted(const CString& text) {
    CString out = "\"";
    for (int i = 0; i < text.GetLength(); ++i) {
        out += text.GetAt(i);
        if (text.GetAt(i) == '%')
            out += '%';
    }
    return out + "\"";
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

// A path as a batch command's argument: quoted when a blank or a character cmd would read otherwise is
// in it, bare otherwise ('%' doubled either way). Bare where it can be: Wine's attrib finds no quoted path.
CString CmdArgument(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i) {
        if (strchr(" \t&()[]{}^=;!'+,`~<>|\"", text.GetAt(i)))
            return CmdQuoted(text);
    }
    CString out;
    for (int i = 0; i < text.GetLength(); ++i) {
        out += text.GetAt(i);
        if (text.GetAt(i) == '%')
            out += '%';
    }
    return out;
}

// The attrib lines that give a copied file back the attributes it had: a copy sets the archive bit, and
// Wine's copy drops the read-only one. Windows' attrib changes a hidden or system file only when the
// command names those attributes too: then one line with all of them; else one flag a line, as Wine's
// attrib applies only one.
CString AttribLines(DWORD attributes, const CString& target) {
    CString flags;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        flags += " +r";
    if (attributes & FILE_ATTRIBUTE_SYSTEM)
        flags += " +s";
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        flags += " +h";
    if (!(attributes & FILE_ATTRIBUTE_ARCHIVE))
        flags += " -a";
    if (flags.IsEmpty())
        return CString();
    if (attributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN))
        return "attrib" + flags + " " + target + "\r\n";
    CString lines;
    for (int at = 0; at < flags.GetLength(); at += 3)
        lines += "attrib " + flags.Mid(at + 1, 2) + " " + target + "\r\n";
    return lines;
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

}  // namespace

CString CRemovalBackup::RegValueLine(const CString& name, DWORD type, const BYTE* data, DWORD size) {
    CString line = name.IsEmpty() ? CString("@") : RegQuoted(name);
    line += "=";
    if (type == REG_SZ && PlainString(data, size))
        return line + RegQuoted(CString((LPCSTR)data));
    if (type == REG_DWORD && size == 4) {
        char number[16];
        sprintf(number, "dword:%08lx", (unsigned long)(data[0] | data[1] << 8 | data[2] << 16 | (DWORD)data[3] << 24));
        return line + number;
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

DWORD CRemovalBackup::Begin(const CString& folder) {
    m_strFolder = folder;
    while (m_strFolder.GetLength() > 3 && m_strFolder.Right(1) == "\\")
        m_strFolder = m_strFolder.Left(m_strFolder.GetLength() - 1);
    DWORD rc = MakeFolders(m_strFolder);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = AppendToFile(m_strFolder + "\\" + kRegistryFile, "REGEDIT4\r\n", CREATE_NEW);
    if (rc != ERROR_SUCCESS)
        return rc;
    return WriteRestoreScript();
}

DWORD CRemovalBackup::WriteRestoreScript() {
    CString script = "@echo off\r\n"
                     "rem Puts back what the printer's removal took: the registry, the files, then restarts the spooler.\r\n"
                     "regedit /s \"%~dp0registry.reg\"\r\n";
    for (const SavedFile& saved : m_files) {
        const CString& path = saved.path;
        const CString folder = path.Left(FolderEnd(path));
        script += "if not exist " + CmdQuoted(folder + "\\") + " md " + CmdQuoted(folder) + "\r\n";
        const CString target = CmdArgument(path);
        // A file still there (left for the restart) may be read-only: copy refuses to overwrite it.
        script += "if exist " + target + " attrib -r " + target + "\r\n";
        script += "copy /y \"%~dp0" + CmdQuoted(SavedName(path)).Mid(1) + " " + target + " >nul\r\n";
        script += AttribLines(saved.attributes, target);
    }
    script += "net stop spooler\r\nnet start spooler\r\n";
    DeleteFileA(m_strFolder + "\\" + kRestoreScript);
    return AppendToFile(m_strFolder + "\\" + kRestoreScript, script, CREATE_NEW);
}

DWORD CRemovalBackup::AppendRegistry(const CString& text) {
    return AppendToFile(m_strFolder + "\\" + kRegistryFile, text, OPEN_EXISTING);
}

namespace {

// The REGEDIT4 sections of the key `root\path` and every key below it.
DWORD ExportTree(HKEY root, const CString& path, int depth, CString& out) {
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
        out += CRemovalBackup::RegValueLine(CString(name.data()), type, data.data(), dataSize) + "\r\n";
    }
    if (depth >= kMaxDepth)
        return subKeys == 0 ? ERROR_SUCCESS : ERROR_BUFFER_OVERFLOW;
    std::vector<char> child(maxSubKey + 2);
    for (DWORD i = 0; i < subKeys; ++i) {
        DWORD childSize = (DWORD)child.size();
        rc = RegEnumKeyExA(key, i, child.data(), &childSize, NULL, NULL, NULL, NULL);
        if (rc != ERROR_SUCCESS)
            return (DWORD)rc;
        DWORD inner = ExportTree(root, path + "\\" + child.data(), depth + 1, out);
        if (inner != ERROR_SUCCESS)
            return inner;
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD CRemovalBackup::SaveKeyTree(HKEY root, const CString& path) {
    if (m_saved.CoversKey(root, path))
        return ERROR_SUCCESS;
    CString text;
    DWORD rc = ExportTree(root, path, 0, text);
    if (rc == ERROR_SUCCESS && !text.IsEmpty())
        rc = AppendRegistry(text);
    if (rc == ERROR_SUCCESS)
        m_saved.AddKey(root, path);
    return rc;
}

DWORD CRemovalBackup::SaveValue(HKEY root, const CString& path, const CString& name, BOOL removeIfMissing) {
    if (m_saved.CoversValue(root, path, name))
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
        DWORD written = AppendRegistry(SectionLine(root, path) +
                                       RegQuoted(name) + "=-\r\n");
        if (written == ERROR_SUCCESS)
            m_saved.AddValue(root, path, name);
        return written;
    }
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    std::vector<BYTE> data(size + 2);
    rc = RegQueryValueExA(key, name, NULL, &type, data.data(), &size);
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    DWORD written = AppendRegistry(SectionLine(root, path) +
                                   RegValueLine(name, type, data.data(), size) + "\r\n");
    if (written == ERROR_SUCCESS)
        m_saved.AddValue(root, path, name);
    return written;
}

DWORD CRemovalBackup::SaveFile(const CString& path) {
    const CString tag = UpperName(path);
    if (m_savedFiles.count(tag))
        return ERROR_SUCCESS;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_SUCCESS;
    const CString saved = SavedName(path);
    if (saved.IsEmpty())
        return ERROR_BAD_PATHNAME;
    const CString copy = m_strFolder + "\\" + saved;
    DWORD rc = MakeFolders(copy.Left(FolderEnd(copy)));
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!CopyFileA(path, copy, FALSE))
        return ResultOf(FALSE);
    m_savedFiles.insert(tag);
    SavedFile entry = {path, attributes};
    m_files.push_back(entry);
    return WriteRestoreScript();
}

DWORD CRemovalBackup::BeforeChange(const ChangeEvent& event) {
    DWORD rc = ERROR_SUCCESS;
    switch (event.kind) {
    case CHANGE_DELETE_KEY: rc = SaveKeyTree(event.root, event.target); break;
    case CHANGE_DELETE_VALUE: rc = SaveValue(event.root, event.target, event.name); break;
    case CHANGE_SET_PRINTER:
    case CHANGE_DELETE_PRINTER:
    case CHANGE_DRIVER_DELETE_PRINTER:
        // The spooler keeps a printer in its key and lists it in the user's device lists.
        rc = SaveKeyTree(HKEY_LOCAL_MACHINE, CString(kPrintersKeyPath) + "\\" + event.target);
        if (rc == ERROR_SUCCESS && event.kind != CHANGE_SET_PRINTER)
            rc = SaveValue(HKEY_CURRENT_USER, kDevicesKey, event.target);
        if (rc == ERROR_SUCCESS && event.kind != CHANGE_SET_PRINTER)
            rc = SaveValue(HKEY_CURRENT_USER, kPrinterPortsKey, event.target);
        break;
    case CHANGE_DELETE_AT_RESTART:
        // A file restored must not go at the next restart: the list of deletions goes back as it was.
        rc = SaveValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenames, TRUE);
        if (rc == ERROR_SUCCESS)
            rc = SaveFile(event.target);
        break;
    case CHANGE_DELETE_FILE:
    case CHANGE_COPY_FILE:
    case CHANGE_SET_FILE_TIMES: rc = SaveFile(event.target); break;
    default: break;
    }
    if (rc != ERROR_SUCCESS)
        m_bFailed = TRUE;
    return rc;
}
