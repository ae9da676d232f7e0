// Owning wrappers for the handles the program holds: one object, one handle, released when it goes.
#pragma once

#include <windows.h>
#include <winspool.h>

// A registry key. Open replaces the held key only after it succeeds.
class CRegKey {
public:
    CRegKey() {}
    ~CRegKey() { Close(); }
    operator HKEY() const { return m_hKey; }

    // Opens `subKey` under `parent`; returns the API's code, and on failure leaves the object unchanged.
    LONG Open(HKEY parent, LPCSTR subKey, REGSAM access);
    // Closes the key; ERROR_SUCCESS also when none was held.
    LONG Close();

private:
    HKEY m_hKey = NULL;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
};

// A printer handle from OpenPrinterA.
class CPrinterHandle {
public:
    explicit CPrinterHandle(HANDLE printer = NULL) : m_hPrinter(printer) {}
    ~CPrinterHandle() { Close(); }
    operator HANDLE() const { return m_hPrinter; }
    // Closes the handle; TRUE also when none was held.
    BOOL Close();

private:
    HANDLE m_hPrinter;
    CPrinterHandle(const CPrinterHandle&) = delete;
    CPrinterHandle& operator=(const CPrinterHandle&) = delete;
};

// A library loaded by LoadLibraryA. Load replaces the held module only after it succeeds.
class CLibrary {
public:
    CLibrary() {}
    ~CLibrary() { Free(); }
    operator HMODULE() const { return m_hModule; }

    // TRUE when loaded; on failure the object is unchanged and GetLastError tells why.
    BOOL Load(LPCSTR path);
    // The export's address, or NULL (also when no library is held).
    FARPROC GetProc(LPCSTR name) const;
    // Unloads the library; TRUE also when none was held.
    BOOL Free();

private:
    HMODULE m_hModule = NULL;
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;
};

// A fixed, zero-filled block from GlobalAlloc.
class CGlobalBlock {
public:
    CGlobalBlock() {}
    ~CGlobalBlock() { Free(); }

    // Replaces the held block by a new one of `bytes` zero bytes; FALSE, block unchanged, when that fails.
    BOOL Alloc(SIZE_T bytes);
    void Free();
    BYTE* Data() const { return m_pData; }
    SIZE_T Size() const { return m_nSize; }

private:
    BYTE* m_pData = NULL;
    SIZE_T m_nSize = 0;
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;
};

// A kernel object handle closed with CloseHandle (a token, a process); NULL and
// INVALID_HANDLE_VALUE both mean none.
class CKernelHandle {
public:
    explicit CKernelHandle(HANDLE handle = NULL) : m_hHandle(handle) {}
    ~CKernelHandle() { Close(); }
    operator HANDLE() const { return m_hHandle; }
    BOOL IsValid() const { return m_hHandle != NULL && m_hHandle != INVALID_HANDLE_VALUE; }
    // The address to receive a new handle; whatever was held is closed first.
    HANDLE* Receive();
    // Closes the handle; TRUE also when none was held.
    BOOL Close();

private:
    HANDLE m_hHandle;
    CKernelHandle(const CKernelHandle&) = delete;
    CKernelHandle& operator=(const CKernelHandle&) = delete;
};

// A handle of the service control manager or of one service (CloseServiceHandle).
class CServiceHandle {
public:
    explicit CServiceHandle(SC_HANDLE handle = NULL) : m_hHandle(handle) {}
    ~CServiceHandle() { Close(); }
    operator SC_HANDLE() const { return m_hHandle; }
    // Replaces the held handle (closing it) by `handle`.
    void Attach(SC_HANDLE handle);
    // Closes the handle; TRUE also when none was held.
    BOOL Close();

private:
    SC_HANDLE m_hHandle;
    CServiceHandle(const CServiceHandle&) = delete;
    CServiceHandle& operator=(const CServiceHandle&) = delete;
};

// Two-call sizing of a Win32 buffer. `call(buffer, size, &needed)` returns the call's Win32 code.
// The first call, without a buffer, may only succeed or report ERROR_INSUFFICIENT_BUFFER or
// ERROR_MORE_DATA with a nonzero size; then a block of max(size, minSize) + `slack` zero bytes is
// filled by the second call (`slack` keeps data that lacks its terminating NUL terminated).
// Returns the second call's code, and the first call's code when it gave no usable size; the block
// is freed unless the result is ERROR_SUCCESS. `needed` receives the size the last call reported.
template <class Call>
DWORD FetchSized(CGlobalBlock& block, Call call, DWORD& needed, DWORD minSize = 0, DWORD slack = 0) {
    needed = 0;
    DWORD rc = call(NULL, 0, &needed);
    if (rc != ERROR_SUCCESS && rc != ERROR_INSUFFICIENT_BUFFER && rc != ERROR_MORE_DATA)
        return rc;
    if (needed == 0)
        return rc == ERROR_SUCCESS ? ERROR_NO_DATA : rc;
    DWORD size = needed > minSize ? needed : minSize;
    if (!block.Alloc((SIZE_T)size + slack))
        return ERROR_NOT_ENOUGH_MEMORY;
    needed = size;
    rc = call(block.Data(), size, &needed);
    if (rc != ERROR_SUCCESS)
        block.Free();
    return rc;
}

// The process's standard output when it goes to a file or a pipe (a caller redirected it), else NULL. A GUI
// program started plainly has none; the handle is the process's, not the caller's to close.
HANDLE RedirectedStdOutput();

// The Win32 code of a BOOL call that has just returned `ok`.
inline DWORD ResultOf(BOOL ok) {
    if (ok)
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}
