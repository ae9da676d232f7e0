// The printer object itself: the connection test, unsharing and deletion through the driver's library.
#include "engine/PrinterEntry.h"

#include <winspool.h>

#include <vector>

#include "afx/afxhandles.h"
#include "engine/Changes.h"
#include "engine/MbText.h"

namespace {

// "\\server\printer": two backslashes, a server, one backslash, a printer.
BOOL HasConnectionForm(const CString& name) {
    std::vector<CString> parts = MbSplit(name, FALSE);
    return parts.size() == 4 && parts[0].IsEmpty() && parts[1].IsEmpty() && !parts[2].IsEmpty() &&
           !parts[3].IsEmpty();
}

}  // namespace

int CPrinterEntry::IsPrinterConnection() {
    // A spooler that grants read access to every printer (Wine's does) would make every local printer a
    // connection that is never unshared and whose keys stay: the name must have the connection form too.
    if (!HasConnectionForm(m_strPrinterName))
        return 0;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, SERVER_READ};
    HANDLE opened = NULL;
    CString name = m_strPrinterName;
    if (!OpenPrinterA(const_cast<LPSTR>((LPCSTR)name), &opened, &defaults))
        return 0;
    CPrinterHandle printer(opened);
    return 1;
}

int CPrinterEntry::UnsharePrinter() {
    if (IsPrinterConnection())
        return 0;
    CPrinterHandle printer(OpenPrinterHandle());
    if (!printer)
        return 1;
    CGlobalBlock block;
    DWORD needed = 0;
    DWORD rc = FetchSized(
        block,
        [&](BYTE* buffer, DWORD size, DWORD* got) { return ResultOf(GetPrinterA(printer, 2, buffer, size, got)); },
        needed);
    if (rc != ERROR_SUCCESS || block.Size() < sizeof(PRINTER_INFO_2A))
        return 1;
    PRINTER_INFO_2A* info = reinterpret_cast<PRINTER_INFO_2A*>(block.Data());
    if (info->pShareName && info->pShareName[0]) {
        info->Attributes &= ~PRINTER_ATTRIBUTE_SHARED;
        Changes().UpdatePrinter(printer, m_strPrinterName, 2, block.Data());
    }
    return 1;
}

int CPrinterEntry::DeletePrinterViaDriver() {
    CPrinterHandle printer(OpenPrinterHandle());
    if (!printer)
        return 0;
    CString library = m_strDataFile;
    if (library.GetLength() < 5)
        return 0;
    // The driver's library lies beside its data file: NAME.PPD gives NAME.DLL.
    library = library.Left(library.GetLength() - 3) + "DLL";
    return Changes().DriverDeletePrinter(library, printer, m_strPrinterName);
}
