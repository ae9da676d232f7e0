// Registry key and printer handle wrappers.
#include "afx/afxhandles.h"

LONG CRegKey::Open(HKEY parent, LPCSTR subKey, REGSAM access) {
    HKEY key = NULL;
    LONG rc = RegOpenKeyExA(parent, subKey, 0, access, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    Close();
    m_hKey = key;
    return ERROR_SUCCESS;
}

LONG CRegKey::Close() {
    if (!m_hKey)
        return ERROR_SUCCESS;
    LONG rc = RegCloseKey(m_hKey);
    m_hKey = NULL;
    return rc;
}

BOOL CPrinterHandle::Close() {
    if (!m_hPrinter)
        return TRUE;
    BOOL ok = ClosePrinter(m_hPrinter);
    m_hPrinter = NULL;
    return ok;
}
