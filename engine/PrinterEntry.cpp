// Printer entries: driver description, driver key, candidate driver files and the Brontal driver test.
#include "engine/PrinterEntry.h"

#include <windows.h>

#include <mbstring.h>
#include <stdio.h>
#include <string.h>
#include <winspool.h>

#include "afx/afxhandles.h"
#include "afx/textfile.h"

// The registry environment the spooler files this program's drivers under: a 64-bit program
// sees the x64 drivers.
#if defined(_WIN64)
#define DRIVER_ENVIRONMENT "Windows x64"
#else
#define DRIVER_ENVIRONMENT "Windows NT x86"
#endif

namespace {

const char* const kNameValues[] = {"Configuration File", "Data File", "Driver", "Help File"};
const char* const kCompanionExtensions[] = {".BDD", ".XFR", ".ABD", ".BPD"};
const char kVendorMarker[] = "OrvinexExchange";

CString UpperCase(const CString& text) {
    CString upper = text;
    upper.MakeUpper();
    return upper;
}

}  // namespace

CPrinterEntry::CPrinterEntry() : m_bRemoved(0), m_files(10), m_nDriverVersion(0), m_nOsFamily(0) {
    char tempPath[260] = "";
    if (GetTempPathA(sizeof(tempPath), tempPath) >= sizeof(tempPath))
        tempPath[0] = '\0';
    m_strTempWmk = tempPath;
}

CPrinterEntry::~CPrinterEntry() {
    while (!m_files.IsEmpty())
        delete static_cast<CDriverFile*>(m_files.RemoveHead());
}

void CPrinterEntry::SetPrinterName(CString name) {
    m_strPrinterName = name;
    GetDriverInfo();
    BuildDriverKey();
}

HANDLE CPrinterEntry::OpenPrinterHandle() {
    // The whole name goes to the spooler, however long: a cut name would open another printer or none.
    // An empty name would open the print server itself, whose handle must never reach a driver.
    if (m_strPrinterName.IsEmpty())
        return NULL;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE};
    HANDLE printer = NULL;
    CString name = m_strPrinterName;
    if (OpenPrinterA(const_cast<LPSTR>((LPCSTR)name), &printer, &defaults))
        return printer;
    defaults.DesiredAccess = SERVER_READ;
    printer = NULL;
    if (OpenPrinterA(const_cast<LPSTR>((LPCSTR)name), &printer, &defaults))
        return printer;
    return NULL;
}

int CPrinterEntry::GetDriverInfo() {
    CPrinterHandle printer(OpenPrinterHandle());
    m_nDriverVersion = 0;
    if (!printer)
        return 0;

    // A description fits in this much nearly always: then one call, not a call for the size and another.
    const DWORD firstTry = 2048;
    CGlobalBlock block;
    DWORD needed = 0;
    if (!block.Alloc(firstTry) || !GetPrinterDriverA(printer, NULL, 2, block.Data(), firstTry, &needed)) {
        block.Free();
        FetchSized(
            block,
            [&](BYTE* buffer, DWORD size, DWORD* got) {
                return ResultOf(GetPrinterDriverA(printer, NULL, 2, buffer, size, got));
            },
            needed);
    }
    DRIVER_INFO_2A* info = reinterpret_cast<DRIVER_INFO_2A*>(block.Data());
    if (!info || block.Size() < sizeof(DRIVER_INFO_2A) || !info->pName)
        return 0;
    m_strDriverName = info->pName;
    m_strDataFile = info->pDataFile;
    if (IsNtFamily(m_nOsFamily))
        m_nDriverVersion = info->cVersion;
    return 1;
}

int CPrinterEntry::BuildDriverKey() {
    if (m_nOsFamily == OS_FAMILY_9X) {
        m_strDriverKey = CString("SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Drivers\\") +
                         m_strDriverName;
        return 0;
    }
    if (IsNtFamily(m_nOsFamily)) {
        CString version;
        version.Format("%d", (int)m_nDriverVersion);
        m_strDriverKey = CString("SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\" DRIVER_ENVIRONMENT
                                 "\\Drivers\\Version-") +
                         version + "\\" + m_strDriverName;
        return 0;
    }
    return 1;
}

int CPrinterEntry::HasFile(CString path) {
    POSITION pos = m_files.GetHeadPosition();
    while (pos) {
        CDriverFile* file = static_cast<CDriverFile*>(m_files.GetNext(pos));
        if (_mbscmp(reinterpret_cast<const unsigned char*>((LPCSTR)file->m_strPath),
                    reinterpret_cast<const unsigned char*>((LPCSTR)path)) == 0)
            return 1;
    }
    return 0;
}

void CPrinterEntry::AddFile(const CString& dir, const CString& name) {
    const CString path = dir + "\\" + name;
    if (HasFile(path))
        return;
    CDriverFile* file = new CDriverFile;
    file->m_strPath = path;
    file->m_strBaseDir = dir;
    m_files.AddTail(file);
}

namespace {

// Reads a single-name value into at most 260 bytes; FALSE when absent or too long.
BOOL ReadNameValueOf(HKEY key, LPCSTR name, CString& value) {
    if (!key)
        return FALSE;
    char buffer[261] = "";
    DWORD size = 260;
    if (RegQueryValueExA(key, name, NULL, NULL, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return FALSE;
    value = buffer;
    return TRUE;
}

// Reads a value whatever its length (at least `minSize` bytes of room) into `block`, kept
// NUL-terminated; `bytes` receives the size of the value. FALSE when absent.
BOOL ReadWholeValue(HKEY key, LPCSTR name, DWORD minSize, CGlobalBlock& block, DWORD& bytes) {
    bytes = 0;
    if (!key)
        return FALSE;
    DWORD rc = FetchSized(
        block,
        [&](BYTE* buffer, DWORD size, DWORD* got) {
            *got = size;
            return (DWORD)RegQueryValueExA(key, name, NULL, NULL, buffer, got);
        },
        bytes, minSize, 2);
    return rc == ERROR_SUCCESS;
}

// Reads what CollectDriverFiles needs from the driver key, in one opening of it.
void ReadDriverKey(const CString& keyPath, BOOL windows9x, DriverKeyReading& reading) {
    reading.key = keyPath;
    reading.windows9x = windows9x;
    CRegKey key;
    key.Open(HKEY_LOCAL_MACHINE, keyPath, KEY_READ);
    for (int i = 0; i < 4; ++i)
        reading.hasName[i] = ReadNameValueOf(key, kNameValues[i], reading.names[i]);
    DWORD bytes = 0;
    if (windows9x) {
        CGlobalBlock wpx;
        if (ReadWholeValue(key, "WPX File", 260, wpx, bytes) && wpx.Data()[0]) {
            reading.hasWpx = TRUE;
            reading.wpx = reinterpret_cast<char*>(wpx.Data());
        }
    }
    CGlobalBlock block;
    if (ReadWholeValue(key, "Dependent Files", 2000, block, bytes))
        reading.dependent.assign(block.Data(), block.Data() + bytes);
}

}  // namespace

const DriverKeyReading& CDriverKeyCache::Read(const CString& key, BOOL windows9x) {
    // Byte for byte: two spellings of one key are merely read twice.
    for (const DriverKeyReading& reading : m_readings) {
        if (reading.windows9x == windows9x && strcmp(reading.key, key) == 0)
            return reading;
    }
    m_readings.emplace_back();
    ReadDriverKey(key, windows9x, m_readings.back());
    return m_readings.back();
}

void CPrinterEntry::CollectDriverFiles(CDriverKeyCache* cache) {
    const BOOL versioned = IsNtFamily(m_nOsFamily);
    CString versionDir;
    versionDir.Format("%d\\", (int)m_nDriverVersion);
    const CString dir = m_strDriverDir;

    DriverKeyReading own;
    const BOOL windows9x = m_nOsFamily == OS_FAMILY_9X;
    if (!cache)
        ReadDriverKey(m_strDriverKey, windows9x, own);
    const DriverKeyReading& reading = cache ? cache->Read(m_strDriverKey, windows9x) : own;

    CString dataFileName;
    for (int i = 0; i < 4; ++i) {
        if (!reading.hasName[i])
            continue;
        const CString& text = reading.names[i];
        if (strcmp(kNameValues[i], "Data File") == 0)
            dataFileName = text;
        if (text.IsEmpty())
            continue;
        CString upper = UpperCase(text);
        AddFile(dir, upper);
        if (versioned)
            AddFile(dir, versionDir + upper);
    }
    m_strDataFileName = dataFileName;

    if (reading.hasWpx) {
        char windowsDir[260] = "";
        if (GetWindowsDirectoryA(windowsDir, sizeof(windowsDir)) >= sizeof(windowsDir))
            windowsDir[0] = '\0';
        AddFile(CString(windowsDir), UpperCase(reading.wpx));
    }

    {
        const std::vector<BYTE>& list = reading.dependent;
        CString name;
        for (DWORD i = 0; i < list.size(); ++i) {
            if (list[i] != '\0') {
                name += static_cast<char>(list[i]);
                continue;
            }
            if (!name.IsEmpty()) {
                CString upper = UpperCase(name);
                AddFile(dir, upper);
                if (versioned)
                    AddFile(dir, versionDir + upper);
            }
            name.Empty();
        }
    }

    const CString base = m_strDataFileName.GetLength() < 4 ? CString()
                                                           : m_strDataFileName.Left(m_strDataFileName.GetLength() - 4);
    const CString wmk = base + ".WMK";
    if (versioned)
        m_strTempWmk = m_strTempWmk + "\\" + wmk;
    AddFile(dir, versionDir + wmk);

    for (const char* extension : kCompanionExtensions) {
        CString companion = base + extension;
        AddFile(dir, companion);
        if (versioned)
            AddFile(dir, versionDir + companion);
    }
}

BOOL CPrinterEntry::HasUimBesideDataFile() {
    const int length = m_strDataFile.GetLength();
    const CString uim = (length < 4 ? CString() : m_strDataFile.Left(length - 4)) + ".UIM";
    char found[260];
    LPSTR filePart = NULL;
    // A nonzero result means found, also when the found path would not fit the buffer.
    return SearchPathA(m_strDriverDir, uim, ".UIM", sizeof(found), found, &filePart) != 0;
}

int CPrinterEntry::ReadDataFileHead(char (&text)[1001]) {
    text[0] = '\0';
    CTextFile file;
    if (!file.Open(m_strDataFile))
        return -1;
    int got = file.Read(text, 1000);
    file.Close();
    text[got > 0 ? got : 0] = '\0';
    return got;
}

int CPrinterEntry::IsBrontalDriver() {
    return ShowsBrontalSign(WeighDriverEvidence(TRUE)) ? 1 : 0;
}

DriverEvidence CPrinterEntry::WeighDriverEvidence(BOOL signsOnly) {
    if (HasUimBesideDataFile())
        return DRIVER_UIM_BESIDE_DATA_FILE;
    // Only a .PPD data file can carry the marker; another one is read only to tell whether it can be read.
    const BOOL canCarryMarker = m_strDataFile.Find("PPD") >= 0;
    char text[1001];
    const int got = canCarryMarker || !signsOnly ? ReadDataFileHead(text) : 0;
    if (got > 0 && canCarryMarker && strstr(text, kVendorMarker) != NULL)
        return DRIVER_MARKER_IN_DATA_FILE;
    if (m_strDriverName.IsEmpty())
        return DRIVER_NOT_DESCRIBED;
    // Only a data file that was read can show that the driver is another maker's.
    return got <= 0 ? DRIVER_DATA_FILE_UNREADABLE : DRIVER_NO_BRONTAL_SIGN;
}

LPCSTR DriverEvidenceName(DriverEvidence evidence) {
    switch (evidence) {
    case DRIVER_UIM_BESIDE_DATA_FILE: return "uim";
    case DRIVER_MARKER_IN_DATA_FILE: return "marker";
    case DRIVER_NO_BRONTAL_SIGN: return "no_brontal_sign";
    case DRIVER_NOT_DESCRIBED: return "no_driver";
    case DRIVER_DATA_FILE_UNREADABLE: return "data_file_unreadable";
    }
    return "unknown";
}
