// Owning handle wrappers.
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

BOOL CLibrary::Load(LPCSTR path) {
    HMODULE module = LoadLibraryA(path);
    if (!module)
        return FALSE;
    Free();
    m_hModule = module;
    return TRUE;
}

FARPROC CLibrary::GetProc(LPCSTR name) const {
    return m_hModule ? GetProcAddress(m_hModule, name) : NULL;
}

BOOL CLibrary::Free() {
    if (!m_hModule)
        return TRUE;
    BOOL ok = FreeLibrary(m_hModule);
    m_hModule = NULL;
    return ok;
}

BOOL CGlobalBlock::Alloc(SIZE_T bytes) {
    // GMEM_FIXED: the handle is the address.
    HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes ? bytes : 1);
    if (!block)
        return FALSE;
    Free();
    m_pData = static_cast<BYTE*>(block);
    m_nSize = bytes;
    return TRUE;
}

void CGlobalBlock::Free() {
    if (m_pData)
        GlobalFree(m_pData);
    m_pData = NULL;
    m_nSize = 0;
}

HANDLE* CKernelHandle::Receive() {
    Close();
    return &m_hHandle;
}

BOOL CKernelHandle::Close() {
    if (!IsValid()) {
        m_hHandle = NULL;
        return TRUE;
    }
    BOOL ok = CloseHandle(m_hHandle);
    m_hHandle = NULL;
    return ok;
}

void CServiceHandle::Attach(SC_HANDLE handle) {
    Close();
    m_hHandle = handle;
}

BOOL CServiceHandle::Close() {
    if (!m_hHandle)
        return TRUE;
    BOOL ok = CloseServiceHandle(m_hHandle);
    m_hHandle = NULL;
    return ok;
}

HANDLE RedirectedStdOutput() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == NULL || out == INVALID_HANDLE_VALUE)
        return NULL;
    // A console (FILE_TYPE_CHAR) or anything unknown is not a redirection.
    const DWORD type = GetFileType(out);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ? out : NULL;
}
