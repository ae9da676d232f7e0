// Owning wrappers for registry keys and printer handles: one object, one handle, closed when it goes.
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
