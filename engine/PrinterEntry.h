// CPrinterEntry and CDriverFile: one enumerated printer and the candidate files of its driver.
#pragma once

#include <windows.h>

#include "afx/afxcoll.h"
#include "afx/afxstr.h"

// Operating-system family as every family-dependent step tests it.
enum {
    OS_FAMILY_9X = 0,    // Windows 95, 98, Me
    OS_FAMILY_NT = 1,    // NT with a major version other than 5
    OS_FAMILY_NT5 = 2,   // 2000, XP, Server 2003
};

class CDriverFile : public CObject {
public:
    CDriverFile() : m_bDelete(0) {}
    ~CDriverFile() override {}

    int m_bDelete;       // 1: the file-removal step deletes this file
    CString m_strPath;   // full path; unique within its entry's list
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

    // Lists every place the driver's files may lie; never touches the disk.
    void CollectDriverFiles();
    // 1 when the driver belongs to the Brontal line: a .UIM beside the data file, or the
    // vendor marker near the start of a .PPD data file.
    int IsBrontalDriver();

private:
    // Appends a candidate unless the list already holds the same path.
    void AddFile(const CString& path);
    // Reads a single-name value into at most 260 bytes; FALSE when absent or too long.
    static BOOL ReadNameValue(HKEY key, LPCSTR name, CString& value);
    // Reads a value whatever its length into a new zero-terminated block the caller deletes;
    // NULL when absent. `bytes` receives the size of the value.
    static BYTE* ReadWholeValue(HKEY key, LPCSTR name, DWORD minSize, DWORD& bytes);
};
