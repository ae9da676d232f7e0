// The registry file writer: sections and values in the text regedit reads, every byte of a value kept.
#include "engine/RegFile.h"

#include <stdio.h>
#include <string.h>

#include "afx/afxhandles.h"
#include "engine/KeySet.h"
#include "engine/MbText.h"
#include "engine/OsFamily.h"

namespace {

// Deeper trees are not the printer's own; the bound also keeps a hostile tree from exhausting the stack.
const int kMaxDepth = 64;

// Whether REG_SZ bytes read back exactly from a quoted string: one terminating zero, no other, and no
// control character (a line break would end the line).
BOOL PlainString(const BYTE* data, DWORD size) {
    if (size == 0 || data[size - 1] != 0)
        return FALSE;
    return !MbHasControl(reinterpret_cast<LPCSTR>(data), (int)size - 1);
}

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
    if (!RegWritableName(path))
        return ERROR_INVALID_DATA;
    out += RegSectionLine(root, path);
    std::vector<char> name(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameSize = (DWORD)name.size(), dataSize = (DWORD)data.size(), type = 0;
        rc = RegEnumValueA(key, i, name.data(), &nameSize, NULL, &type, data.data(), &dataSize);
        if (rc != ERROR_SUCCESS)
            return (DWORD)rc;
        if (!RegWritableName(CString(name.data())))
            return ERROR_INVALID_DATA;
        out += RegValueLine(CString(name.data()), type, data.data(), dataSize, unicode) + "\r\n";
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

BOOL UnicodeRegistryFiles() {
    // Windows 9x's and NT 4's regedit read only REGEDIT4; from Windows 2000 on regedit writes, and reg
    // import reads, the UTF-16 form.
    return RunsOnNtAtLeast(5);
}

BOOL RegWritableName(const CString& name) {
    return !MbHasControl(name, name.GetLength());
}

CString RegQuoted(const CString& text) {
    return "\"" + MbEscape(text, "\\\"", '\\') + "\"";
}

CString RegValueLine(const CString& name, DWORD type, const BYTE* data, DWORD size, BOOL unicode) {
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
        MbToUtf16((LPCSTR)data, (int)size, wide)) {
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

CString RegSectionLine(HKEY root, const CString& path) {
    return "\r\n[" + CString(RootKeyName(root)) + "\\" + MbWithoutTrailingSeparators(path) + "]\r\n";
}

DWORD RegExportTree(HKEY root, const CString& path, BOOL unicode, CString& out) {
    return ExportTree(root, path, 0, unicode, out);
}

BOOL RegFileBytes(const CString& record, BOOL unicode, std::vector<BYTE>& bytes) {
    if (!unicode) {
        const CString text = "REGEDIT4\r\n" + record + "\r\n";
        LPCSTR s = text;
        bytes.assign(s, s + text.GetLength());
        return TRUE;
    }
    std::vector<WCHAR> wide;
    const CString text = "Windows Registry Editor Version 5.00\r\n" + record + "\r\n";
    if (!MbToUtf16(text, text.GetLength(), wide))
        return FALSE;
    wide.insert(wide.begin(), (WCHAR)0xFEFF);
    const BYTE* w = reinterpret_cast<const BYTE*>(wide.data());
    bytes.assign(w, w + wide.size() * sizeof(WCHAR));
    return TRUE;
}
