// The fences: pure tests of a key path or file path, no machine state read.
#include "engine/Fences.h"

#include "engine/MbText.h"

namespace {

// Keys that hold every printer's, driver's, user's or service's data; "*" stands for any one part.
// Neither they nor a key above them is ever deleted as a whole.
const char* const kMachineContainers[] = {
    "SYSTEM\\*\\Control\\Print\\Printers",
    "SYSTEM\\*\\Control\\Print\\Environments\\*\\Drivers\\Version-0",
    "SYSTEM\\*\\Control\\Print\\Environments\\*\\Drivers\\Version-1",
    "SYSTEM\\*\\Control\\Print\\Environments\\*\\Drivers\\Version-2",
    "SYSTEM\\*\\Control\\Print\\Environments\\*\\Drivers\\Version-3",
    "SYSTEM\\*\\Control\\Print\\Environments\\*\\Drivers\\Version-4",
    "SYSTEM\\*\\Control\\Print\\Monitors",
    "SYSTEM\\*\\Control\\Print\\Providers",
    "SYSTEM\\*\\Control\\Session Manager",
    "SYSTEM\\*\\Control\\InstalledFiles",
    "SYSTEM\\*\\Control\\SessionManager\\Known16DLLs",
    "SYSTEM\\*\\Services\\*",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print Services\\Servers\\*\\Printers",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\Classes\\CLSID",
    "SOFTWARE\\PPML\\Postscript",
};

// The same for one user's hive (HKEY_CURRENT_USER, and every user under HKEY_USERS).
const char* const kUserContainers[] = {
    "Printers\\Connections",
    "Printers\\Settings\\Drivers",
    "Printers\\Settings\\Printers",
    "Printers\\DevModes2",
    "Printers\\DevModePerUser",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
    "Software\\Classes\\CLSID",
};

const char* const kRootNames[] = {
    "HKEY_LOCAL_MACHINE", "HKLM", "HKEY_CURRENT_USER", "HKCU", "HKEY_USERS", "HKU", "HKEY_CLASSES_ROOT",
    "HKCR", "HKEY_CURRENT_CONFIG", "HKCC", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA",
};

// Whether the key `parts` is `pattern` or lies above it.
BOOL CoversPattern(const std::vector<CString>& parts, LPCSTR pattern, BOOL anyUserFirst) {
    std::vector<CString> want = MbSplit(pattern, FALSE);
    if (anyUserFirst)
        want.insert(want.begin(), CString("*"));
    if (parts.size() > want.size())
        return FALSE;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (want[i] == "*")
            continue;
        if (!MbEqualNoCase(parts[i], want[i]))
            return FALSE;
    }
    return TRUE;
}

BOOL OnlyDotsAndBlanks(const CString& part) {
    for (int i = 0; i < part.GetLength(); ++i) {
        if (part.GetAt(i) != '.' && part.GetAt(i) != ' ')
            return FALSE;
    }
    return TRUE;
}

// `path` made absolute-canonical for comparison: upper case, its root ("C:" or "\\SERVER\SHARE")
// kept, repeated separators collapsed, "." and ".." folded. FALSE when it is not absolute, climbs
// above its root, names a drive inside or has a part of dots and blanks only.
BOOL CanonicalPath(LPCSTR path, std::vector<CString>& out) {
    out.clear();
    CString upper = path;
    upper.MakeUpper();
    std::vector<CString> parts = MbSplit(upper, TRUE);
    size_t first;
    if (parts.size() >= 2 && parts[0].GetLength() == 2 && parts[0].GetAt(1) == ':' &&
        parts[0].GetAt(0) >= 'A' && parts[0].GetAt(0) <= 'Z') {
        out.push_back(parts[0]);
        first = 1;
    } else if (parts.size() >= 4 && parts[0].IsEmpty() && parts[1].IsEmpty() && !parts[2].IsEmpty() &&
               !parts[3].IsEmpty()) {
        out.push_back("\\\\" + parts[2] + "\\" + parts[3]);
        first = 4;
    } else {
        return FALSE;
    }
    const size_t rootSize = out.size();
    for (size_t i = first; i < parts.size(); ++i) {
        const CString& part = parts[i];
        if (part.IsEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (out.size() == rootSize)
                return FALSE;
            out.pop_back();
            continue;
        }
        if (MbContains(part, ':') || OnlyDotsAndBlanks(part))
            return FALSE;
        out.push_back(part);
    }
    return TRUE;
}

}  // namespace

BOOL IsOwnKeyPath(HKEY root, LPCSTR path) {
    if (!path || !*path)
        return FALSE;
    std::vector<CString> parts = MbSplit(CString(path), FALSE);
    // "A\B\C\" names A\B\C: the spooler's own paths are written with a trailing separator.
    if (parts.size() > 1 && parts.back().IsEmpty())
        parts.pop_back();
    for (const CString& part : parts) {
        if (part.IsEmpty() || OnlyDotsAndBlanks(part))
            return FALSE;
        for (LPCSTR rootName : kRootNames) {
            if (MbEqualNoCase(part, rootName))
                return FALSE;
        }
    }
    if (parts.size() < 3)
        return FALSE;
    if (root == HKEY_LOCAL_MACHINE) {
        for (LPCSTR pattern : kMachineContainers) {
            if (CoversPattern(parts, pattern, FALSE))
                return FALSE;
        }
        return TRUE;
    }
    if (root == HKEY_CURRENT_USER || root == HKEY_USERS) {
        for (LPCSTR pattern : kUserContainers) {
            if (CoversPattern(parts, pattern, root == HKEY_USERS))
                return FALSE;
        }
        return TRUE;
    }
    return FALSE;
}

BOOL IsInsideDirectory(LPCSTR path, LPCSTR dir) {
    std::vector<CString> file, folder;
    if (!path || !dir || !CanonicalPath(path, file) || !CanonicalPath(dir, folder))
        return FALSE;
    if (file.size() <= folder.size())
        return FALSE;
    for (size_t i = 0; i < folder.size(); ++i) {
        if (file[i] != folder[i])
            return FALSE;
    }
    return TRUE;
}

BOOL IsJoinedName(LPCSTR path, LPCSTR dir) {
    if (!path || !dir)
        return FALSE;
    const CString prefix = CString(dir) + "\\";
    const CString full = path;
    if (full.GetLength() <= prefix.GetLength() || full.Left(prefix.GetLength()) != prefix)
        return FALSE;
    const CString name = full.Mid(prefix.GetLength());
    if (MbContains(name, ':'))
        return FALSE;
    for (const CString& part : MbSplit(name, TRUE)) {
        if (part.IsEmpty())
            return FALSE;
    }
    return IsInsideDirectory(path, dir);
}
