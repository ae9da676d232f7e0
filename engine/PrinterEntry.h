// CPrinterEntry and CDriverFile: one enumerated printer and the candidate files of its driver.
#pragma once

#include <windows.h>

#include <deque>
#include <vector>

#include "afx/afxcoll.h"
#include "afx/afxstr.h"
#include "engine/OsFamily.h"
#include "engine/RemovalDecision.h"


// What the disk says about who made a printer's driver. Only a data file that was read and shows no
// Brontal sign is evidence of another maker; a damaged installation shows nothing either way.
enum DriverEvidence {
    DRIVER_UIM_BESIDE_DATA_FILE,   // a .UIM file lies beside the data file: Brontal
    DRIVER_MARKER_IN_DATA_FILE,    // the .PPD data file carries the vendor marker: Brontal
    DRIVER_NO_BRONTAL_SIGN,        // the data file was read and shows neither: another maker's
    DRIVER_NOT_DESCRIBED,          // the spooler describes no driver (not installed, or no access)
    DRIVER_DATA_FILE_UNREADABLE,   // the data file is missing, cannot be opened or is empty
};

// A .UIM or the vendor marker: the signs the Brontal driver test looks for.
inline BOOL ShowsBrontalSign(DriverEvidence evidence) {
    return evidence == DRIVER_UIM_BESIDE_DATA_FILE || evidence == DRIVER_MARKER_IN_DATA_FILE;
}

// The evidence's name in the run log: "uim", "marker", "no_brontal_sign", "no_driver",
// "data_file_unreadable".
LPCSTR DriverEvidenceName(DriverEvidence evidence);

// The companion library shipped beside the program; empty when the program's own file name is unknown.
CString ShippedCompanionPath();

class CDriverFile : public CObject {
public:
    CDriverFile() : m_bDelete(0) {}
    ~CDriverFile() override {}

    int m_bDelete;       // 1: the file-removal step deletes this file
    CString m_strPath;   // full path; unique within its entry's list
    // The folder the name from the registry was joined to: the file is the driver's only while it
    // lies inside it.
    CString m_strBaseDir;
    // The copy the companion hand-off put in this file's place (which then stays); empty when none.
    CString m_strReplacedBy;
};

// What one driver key names: the values CollectDriverFiles turns into candidate files.
struct DriverKeyReading {
    DriverKeyReading() : windows9x(FALSE), hasWpx(FALSE) {
        for (BOOL& has : hasName)
            has = FALSE;
    }
    CString key;
    BOOL windows9x;               // read as Windows 9x keeps it: with its "WPX File"
    BOOL hasName[4];              // "Configuration File", "Data File", "Driver", "Help File": present
    CString names[4];             // and at most 260 bytes long
    BOOL hasWpx;                  // Windows 9x only: "WPX File" present and not empty
    CString wpx;
    std::vector<BYTE> dependent;  // "Dependent Files" as stored, whatever its length; empty when absent
};

// The driver keys read during one enumeration: the printers on one driver share its key, which is read
// once. Lives no longer than the enumeration, so a key changed later is read anew.
class CDriverKeyCache {
public:
    CDriverKeyCache() {}
    // The reading of `key` (with its "WPX File" on Windows 9x), read from the registry on first use; it
    // stays in place for the cache's life.
    const DriverKeyReading& Read(const CString& key, BOOL windows9x);

private:
    std::deque<DriverKeyReading> m_readings;
    CDriverKeyCache(const CDriverKeyCache&) = delete;
    CDriverKeyCache& operator=(const CDriverKeyCache&) = delete;
};

class CPrinterEntry : public CObject {
public:
    CPrinterEntry();
    // Deletes every driver-file record still in m_files.
    ~CPrinterEntry() override;

    int m_bRemoved;
    CString m_strDataFile;
    CObList m_files;          // of CDriverFile*, owned
    DWORD m_nDriverVersion;
    CString m_strDriverDir;
    CString m_strTempWmk;
    int m_nOsFamily;
    CString m_strDriverKey;   // relative to HKEY_LOCAL_MACHINE
    CString m_strDriverName;
    CString m_strPrinterName;
    CString m_strDataFileName;
    // The data location as read before the printer was deleted; empty when not read.
    CString m_strKeptLocation;

    // Stores the name, then reads the driver description and forms the driver key.
    void SetPrinterName(CString name);
    // 1 when the driver description was read; on failure the name and data file stay as they were.
    int GetDriverInfo();
    // Administer-and-use access first, read access second; NULL when neither opens. The caller closes it.
    HANDLE OpenPrinterHandle();
    // 0 when the key was formed; 1, key unchanged, for a family outside 0-2.
    int BuildDriverKey();
    // 1 when m_files holds exactly this path (case-sensitive), else 0.
    int HasFile(CString path);

    // Lists every place the driver's files may lie; never touches the disk. With `cache`, the driver key
    // is read through it (once per key for all entries of one enumeration).
    void CollectDriverFiles(CDriverKeyCache* cache = NULL);
    // What the disk says of the driver's maker: a .UIM beside the data file or the vendor marker near the
    // start of a .PPD data file is a Brontal sign; else whether the signs could be looked at at all. With
    // `signsOnly` a data file that cannot carry the marker is not read, and the evidence tells only
    // whether a sign shows.
    DriverEvidence WeighDriverEvidence(BOOL signsOnly = FALSE);
    // 1 when the driver shows a Brontal sign.
    int IsBrontalDriver();

    // ---- the printer object (PrinterOps.cpp)
    // 1 when the printer is a network connection: a \\server\printer name that opens with SERVER_READ.
    int IsPrinterConnection();
    // Clears the shared attribute of a local printer that has a share name; 0 for a connection, else 1.
    int UnsharePrinter();
    // The result of the driver library's own "DeletePrinter" (beside the data file, extension DLL),
    // or 0 when it could not be called.
    int DeletePrinterViaDriver();

    // ---- registry cleanup (RegistryCleanup.cpp)
    // Deletes root\path and everything below it, depth first; 0 when all is gone, else the first error
    // (the tree is then left partly deleted). ERROR_BADKEY for an empty path.
    LONG DeleteKeyTree(HKEY root, CString path);
    // Deletes the driver's own key; ERROR_BADKEY when the key names no one driver.
    LONG DeleteDriverKey();
    // Deletes the printer's and driver's data in the registry places where the spooler, the users'
    // printer settings and the Brontal drivers keep it. Best effort; reports nothing.
    void DeleteAllRegistryEntries(int bDriverShared, int bOnlyBrontalPrinter);
    // Reads the vendor's data location from a local printer's key into m_strKeptLocation while the
    // printer still exists: the spooler deletes that key with the printer.
    void KeepDataLocation();

    // ---- the companion library (Companion.cpp)
    // Lets the driver's copy of the companion library remove the monitoring application, then (NT)
    // replaces that copy by the program's own and keeps it. 0: the application could not be ended
    // (or, on NT, the program's own file name is unknown), and the removal must stop; else nonzero.
    int RunCompanionRemover();

    // ---- file removal (FileRemoval.cpp)
    // Deletes the files the removal decided to delete (or schedules them for the next restart) with their
    // InstalledFiles and Known16DLLs values, then the temporary watermark files.
    void DeleteDriverFiles(const std::vector<FileDecision>& files);
    // Deletes (or schedules) the OEM setup information files; nothing on Windows 9x.
    void DeleteOemInf();

private:
    // Appends the candidate `dir`\`name` unless the list already holds the same path.
    void AddFile(const CString& dir, const CString& name);
    // Whether the path search finds the data file's name with the extension .UIM.
    BOOL HasUimBesideDataFile();
    // The data file's first 1000 characters (text mode), NUL-terminated; their count, or -1 when
    // the file cannot be opened.
    int ReadDataFileHead(char (&text)[1001]);
};
