// The main dialog's view of the system: OS family, printer-driver directory and the printer entries.
#include <windows.h>
#include <string.h>
#include <winspool.h>

#include "ui/UninstallDlg.h"

void CUninstallDlg::DetectOsFamily() {
    DWORD version = GetVersion();
    if (version & 0x80000000)
        m_nOsFamily = OS_FAMILY_9X;
    else
        m_nOsFamily = LOBYTE(LOWORD(version)) == 5 ? OS_FAMILY_NT5 : OS_FAMILY_NT;

    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    m_nXpMark = (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) ? 3 : -1;
}

void CUninstallDlg::GetDriverDirectory() {
    DWORD needed = 0;
    GetPrinterDriverDirectoryA(NULL, NULL, 1, NULL, 0, &needed);
    if (needed == 0)
        return;
    HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, needed + 1);
    if (!block)
        return;
    LPSTR text = static_cast<LPSTR>(GlobalLock(block));
    if (GetPrinterDriverDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(text), needed, &needed))
        m_strDriverDir = text;
    GlobalUnlock(block);
    GlobalFree(block);
}

int CUninstallDlg::EnumeratePrinters() {
    const DWORD level = m_nOsFamily == OS_FAMILY_9X ? 2 : 4;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    if (!EnumPrintersA(flags, NULL, level, NULL, 0, &needed, &count)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            return 0;
    }
    if (needed == 0)
        return 0;
    BYTE* block = new BYTE[needed]();
    count = 0;
    if (!EnumPrintersA(flags, NULL, level, block, needed, &needed, &count))
        count = 0;
    for (DWORD i = 0; i < count; ++i) {
        LPSTR name = level == 2 ? reinterpret_cast<PRINTER_INFO_2A*>(block)[i].pPrinterName
                                : reinterpret_cast<PRINTER_INFO_4A*>(block)[i].pPrinterName;
        CPrinterEntry* entry = new CPrinterEntry;
        entry->m_nOsFamily = m_nOsFamily;
        entry->m_strDriverDir = m_strDriverDir;
        entry->SetPrinterName(CString(name));
        entry->CollectDriverFiles();
        m_printerList.AddTail(entry);
    }
    delete[] block;
    return count != 0;
}
