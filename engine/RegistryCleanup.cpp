// Registry cleanup of a removed printer: key trees, the driver's key and the places where the spooler,
// the users' printer settings and the Brontal drivers keep data about a printer or a driver.
#include "engine/PrinterEntry.h"

#include <memory>
#include <vector>

#include "afx/afxhandles.h"
#include "afx/textfile.h"
#include "engine/ChangeEffects.h"
#include "engine/Changes.h"
#include "engine/KeySet.h"
#include "engine/MbText.h"

namespace {

const char* const kPrinterSets[] = {
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\",
    "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\",
    "SYSTEM\\ControlSet002\\Control\\Print\\Printers\\",
    "SYSTEM\\ControlSet003\\Control\\Print\\Printers\\",
};
const char kLanManServers[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print Services\\Servers\\";
const char kLocationValue[] = "_NXStorage\\_NXDataLocation";
const char kLocationMarker[] = "_NXDataLocation";
const char kUserSid[] = "S-1-5-21-604718223-1882395107-905112674-1037";
const DWORD kTreeAccess = DELETE | KEY_ENUMERATE_SUB_KEYS;

// A name that stands for exactly one key: an empty one would name the key that holds every
// printer's or driver's data, one with a separator a key somewhere else.
BOOL IsKeyName(const CString& name) {
    return !name.IsEmpty() && !MbContains(name, '\\');
}

// A string value of at most `capacity` bytes, NUL-terminated; FALSE when missing, too long, empty or
// not text (a number is no path).
BOOL ReadText(HKEY key, LPCSTR name, DWORD capacity, CString& text) {
    std::vector<char> buffer(capacity + 1, '\0');
    DWORD type = 0;
    DWORD size = capacity;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(&buffer[0]), &size) != ERROR_SUCCESS)
        return FALSE;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return FALSE;
    buffer[size < capacity ? size : capacity] = '\0';
    text = &buffer[0];
    return !text.IsEmpty();
}

BOOL IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

enum ScanResult { SCAN_END, SCAN_TOO_LONG, SCAN_TOKEN };

// The next blank-delimited token of at most 255 bytes. A longer one is read to its end and dropped
// (SCAN_TOO_LONG); the end of the file gives SCAN_END.
ScanResult ReadToken(CTextFile& file, CString& token) {
    token.Empty();
    char c = 0;
    do {
        if (file.Read(&c, 1) != 1)
            return SCAN_END;
    } while (IsBlank((unsigned char)c));
    BOOL tooLong = FALSE;
    for (;;) {
        if (token.GetLength() < 255)
            token += c;
        else
            tooLong = TRUE;
        if (file.Read(&c, 1) != 1 || IsBlank((unsigned char)c))
            break;
    }
    if (tooLong) {
        token.Empty();
        return SCAN_TOO_LONG;
    }
    return SCAN_TOKEN;
}

// Looks for the data-location line in the file a driver names: a token holding the marker within the
// first five, continued by up to five more tokens until the text holds the printer key name.
BOOL ScanExtInfoFile(LPCSTR path, const CString& printerKey, CString& location) {
    CTextFile file;
    if (!file.Open(path))
        return FALSE;
    CString token;
    BOOL found = FALSE;
    for (int i = 0; i < 5 && !found; ++i) {
        ScanResult got = ReadToken(file, token);
        if (got == SCAN_END)
            return FALSE;
        int at = token.Find(kLocationMarker);
        if (got == SCAN_TOKEN && at >= 0) {
            location = token.Mid(at);
            found = TRUE;
        }
    }
    if (!found)
        return FALSE;
    for (int i = 0; i < 5; ++i) {
        ScanResult got = ReadToken(file, token);
        if (got == SCAN_END)
            break;
        if (got == SCAN_TOKEN)
            location += CString(" ") + token;
        if (location.Find(printerKey) >= 0)
            break;
    }
    const CString assignment = CString(kLocationMarker) + "=";
    for (int at = location.Find(assignment); at >= 0; at = location.Find(assignment))
        location = location.Left(at) + location.Mid(at + assignment.GetLength());
    return TRUE;
}

}  // namespace

LONG CPrinterEntry::DeleteKeyTree(HKEY root, CString path) {
    if (path.IsEmpty())
        return ERROR_BADKEY;
    if (!Changes().MayDeleteKeyTree(root, path))
        return ERROR_ACCESS_DENIED;

    // One open key per level on the heap, so a tree as deep as the registry allows costs no stack.
    struct Level {
        CRegKey key;
        CString name;  // relative to the level above (to `root` for the first)
        CString path;  // relative to `root`, for the fences and the report
    };
    std::vector<std::unique_ptr<Level>> levels;
    std::unique_ptr<Level> top(new Level);
    LONG rc = Changes().OpenKey(top->key, root, path, kTreeAccess);
    if (rc != ERROR_SUCCESS)
        return rc;
    top->name = path;
    top->path = path;
    levels.push_back(std::move(top));

    std::vector<char> name(2000, '\0');
    for (;;) {
        Level& level = *levels.back();
        DWORD cch = (DWORD)name.size();
        // Always the first remaining sub-key: the one before it has just been deleted (a dry run's machine
        // skips the ones it only reported).
        rc = Changes().EnumSubKey(level.key, root, level.path, 0, &name[0], &cch);
        if (rc == ERROR_NO_MORE_ITEMS) {
            HKEY parent = levels.size() == 1 ? root : (HKEY)levels[levels.size() - 2]->key;
            // The key goes while its own handle is still open.
            rc = Changes().DeleteKey(root, path, level.path, parent, level.name);
            levels.pop_back();
            if (rc != ERROR_SUCCESS || levels.empty())
                return rc;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        std::unique_ptr<Level> child(new Level);
        rc = child->key.Open(level.key, &name[0], kTreeAccess);
        if (rc != ERROR_SUCCESS)
            return rc;
        child->name = &name[0];
        child->path = SubKeyPath(level.path, child->name);
        levels.push_back(std::move(child));
    }
}

LONG CPrinterEntry::DeleteDriverKey() {
    // An empty name would make the key the version key that holds every driver of the version.
    if (!IsKeyName(m_strDriverName))
        return ERROR_BADKEY;
    int last = MbFindLastSeparator(m_strDriverKey, FALSE);
    if (last < 0 || last == m_strDriverKey.GetLength() - 1)
        return ERROR_BADKEY;
    return DeleteKeyTree(HKEY_LOCAL_MACHINE, m_strDriverKey);
}

namespace {

// A tree that is only deleted when it opens with full access; FALSE when it does not.
BOOL DeleteTreeIfPresent(CPrinterEntry& entry, HKEY root, const CString& path) {
    CRegKey probe;
    if (Changes().OpenKey(probe, root, path, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return FALSE;
    entry.DeleteKeyTree(root, path);
    return TRUE;
}

// Opens root\keyPath once and deletes the named values of it; empty names are skipped.
void DeleteValues(HKEY root, const CString& keyPath, const CString& first, const CString& second = CString()) {
    if (first.IsEmpty() && second.IsEmpty())
        return;
    CRegKey key;
    if (Changes().OpenKey(key, root, keyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    if (!first.IsEmpty())
        Changes().DeleteValue(root, keyPath, key, first);
    if (!second.IsEmpty())
        Changes().DeleteValue(root, keyPath, key, second);
}

// "\\COMPUTER\P" with the blanks of the computer name removed; FALSE when the name cannot be read.
BOOL ComputerPrinterName(const CString& printerKey, CString& name) {
    char computer[261] = "";
    DWORD size = 260;
    if (!GetComputerNameA(computer, &size))
        return FALSE;
    computer[260] = '\0';
    CString formatted;
    formatted.Format("\\\\%s", computer);
    name = MbRemove(formatted, ' ') + "\\" + printerKey;
    return TRUE;
}

// Opens a local printer's driver data into `data` and reads its data location.
BOOL ReadLocalDataLocation(const CString& printerName, CRegKey& data, CString& location) {
    return Changes().OpenKey(data, HKEY_LOCAL_MACHINE, PrinterKeyPath(printerName) + "\\PrinterDriverData",
                             KEY_ALL_ACCESS) == ERROR_SUCCESS &&
           ReadText(data, kLocationValue, 200, location);
}

}  // namespace

void CPrinterEntry::KeepDataLocation() {
    m_strKeptLocation.Empty();
    const CString P = MbReplace(m_strPrinterName, '\\', ',');
    if (!IsKeyName(P))
        return;
    CRegKey data;
    CString location;
    if (ReadLocalDataLocation(m_strPrinterName, data, location))
        m_strKeptLocation = location;
}

void CPrinterEntry::DeleteAllRegistryEntries(int bDriverShared, int bOnlyBrontalPrinter) {
    const CString P = MbReplace(m_strPrinterName, '\\', ',');
    const CString D = m_strDriverName;
    const BOOL printerNamed = IsKeyName(P);
    const BOOL driverNamed = IsKeyName(D);

    if (m_nOsFamily == OS_FAMILY_9X) {
        if (printerNamed)
            DeleteKeyTree(HKEY_LOCAL_MACHINE, PrinterKeyPath(m_strPrinterName));
        if (driverNamed)
            DeleteKeyTree(HKEY_LOCAL_MACHINE, CString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan\\") + D);
        return;
    }
    if (!IsNtFamily(m_nOsFamily))
        return;

    if (IsPrinterConnection()) {
        if (printerNamed)
            DeleteKeyTree(HKEY_CURRENT_USER, CString("Printers\\Connections\\") + P);
        // ",,srv,q": the server is what follows the two commas up to the next one, the printer the rest.
        CString server = P.GetLength() > 2 ? P.Mid(2) : CString();
        int comma = server.Find(',');
        if (comma >= 0)
            server = server.Left(comma);
        int count = P.GetLength() - server.GetLength() - 3;
        CString queue = count > 0 ? P.Right(count) : CString();
        if (IsKeyName(server) && IsKeyName(queue)) {
            const CString cached = CString(kLanManServers) + server + "\\Printers\\" + queue;
            CRegKey data;
            CString location;
            if (Changes().OpenKey(data, HKEY_LOCAL_MACHINE, cached + "\\PrinterDriverData", KEY_ALL_ACCESS) == ERROR_SUCCESS &&
                ReadText(data, kLocationValue, 200, location)) {
                DeleteKeyTree(HKEY_LOCAL_MACHINE, location);
                CRegKey user;
                CString infoFile;
                if (Changes().OpenKey(user, HKEY_CURRENT_USER, location, KEY_ALL_ACCESS) == ERROR_SUCCESS &&
                    ReadText(user, "ExtInfofileName", 260, infoFile)) {
                    CString extra;
                    if (ScanExtInfoFile(infoFile, P, extra))
                        DeleteKeyTree(HKEY_CURRENT_USER, extra);
                }
                user.Close();
                DeleteKeyTree(HKEY_CURRENT_USER, location);
            }
            data.Close();
            DeleteKeyTree(HKEY_LOCAL_MACHINE, cached);
        }
    } else {
        if (printerNamed) {
            CRegKey data;
            CString location;
            // Once the driver has deleted the printer, its key is gone: the location read before still
            // names the vendor's data.
            BOOL read = ReadLocalDataLocation(m_strPrinterName, data, location);
            if (!read && !m_strKeptLocation.IsEmpty()) {
                location = m_strKeptLocation;
                read = TRUE;
            }
            if (read) {
                DeleteKeyTree(HKEY_LOCAL_MACHINE, location);
                DeleteKeyTree(HKEY_CURRENT_USER, location);
            }
            data.Close();
            for (LPCSTR set : kPrinterSets)
                DeleteKeyTree(HKEY_LOCAL_MACHINE, CString(set) + P);
        }
        if (bOnlyBrontalPrinter) {
            DeleteKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark\\");
            DeleteKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Print\\Watermark\\");
        }
        if (!bDriverShared && driverNamed) {
            for (LPCSTR set : kPrinterSets)
                DeleteKeyTree(HKEY_LOCAL_MACHINE, CString(set) + D);
        }
    }

    DeleteValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\PPML\\Postscript\\", D, P);
    if (driverNamed && !DeleteTreeIfPresent(*this, HKEY_CURRENT_USER, CString("Printers\\Settings\\Drivers\\") + D))
        DeleteTreeIfPresent(*this, HKEY_CURRENT_USER, CString("Printers\\Settings\\") + D);
    if (driverNamed)
        DeleteTreeIfPresent(*this, HKEY_CURRENT_USER, CString("Printers\\Settings\\Printers\\") + D);
    if (printerNamed) {
        DeleteTreeIfPresent(*this, HKEY_CURRENT_USER, CString("Printers\\Settings\\Printers\\") + P);
        DeleteTreeIfPresent(*this, HKEY_CURRENT_USER, CString("Printers\\Settings\\") + P);
    }
    DeleteValues(HKEY_CURRENT_USER, "Printers\\DevModes2\\", D);
    DeleteValues(HKEY_CURRENT_USER, "Printers\\DevModes2\\", P);
    DeleteValues(HKEY_CURRENT_USER, "Printers\\DevModes2\\", MbReplace(P, ',', '\\'));
    DeleteValues(HKEY_CURRENT_USER, "Printers\\DevModePerUser\\", D);
    DeleteValues(HKEY_CURRENT_USER, "Printers\\DevModePerUser\\", P);
    CString X;
    if (m_nOsFamily == OS_FAMILY_NT5 && !P.IsEmpty() && ComputerPrinterName(P, X)) {
        DeleteValues(HKEY_CURRENT_USER, "Printers\\DevModePerUser\\", X + ",LocalOnly" + ",DrvConvert",
                     X + ",LocalsplOnly");
        DeleteValues(HKEY_CURRENT_USER, "Printers\\Devmodes2", X + ",LocalsplOnly");
    }
    if (driverNamed) {
        DeleteTreeIfPresent(*this, HKEY_USERS, CString(".Default\\Printers\\Settings\\Drivers\\") + D);
        if (!DeleteTreeIfPresent(*this, HKEY_USERS, CString(".Default\\Printers\\Settings\\Printers\\") + D))
            DeleteTreeIfPresent(*this, HKEY_USERS, CString(".Default\\Printers\\Settings\\") + D);
    }
    DeleteValues(HKEY_USERS, ".DEFAULT\\Printers\\DevModes2\\", D);
    DeleteValues(HKEY_USERS, ".DEFAULT\\Printers\\DevModes2\\", P);
    DeleteValues(HKEY_USERS, ".DEFAULT\\Printers\\DevModePerUser\\", D);
    DeleteValues(HKEY_USERS, ".DEFAULT\\Printers\\DevModePerUser\\", P);
    const CString sid = kUserSid;
    if (driverNamed) {
        if (!DeleteTreeIfPresent(*this, HKEY_USERS, sid + "\\Printers\\Settings\\Drivers\\" + D))
            DeleteTreeIfPresent(*this, HKEY_USERS, sid + "\\Printers\\Settings\\" + D);
        DeleteTreeIfPresent(*this, HKEY_USERS, sid + "\\Printers\\Settings\\Printers\\" + D);
    }
    if (printerNamed)
        DeleteTreeIfPresent(*this, HKEY_USERS, sid + "\\Printers\\Settings\\Printers\\" + P);
    DeleteValues(HKEY_USERS, sid + "\\Printers\\DevModes2\\", D);
}
