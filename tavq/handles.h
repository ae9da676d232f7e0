// Owning, non-copyable wrappers for the handles tavq uses; they never throw and return the API's own codes.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include "calls.h"

// tavq's own wrappers, apart from the program's framework classes that may share a test binary with them.
namespace tavq {

// A registry key opened through the UTF-16 calls; closed by the destructor.
class CKeyW {
public:
    CKeyW() = default;
    ~CKeyW() { Close(); }
    CKeyW(const CKeyW&) = delete;
    CKeyW& operator=(const CKeyW&) = delete;

    // On failure the wrapper keeps what it held before.
    LONG Open(HKEY parent, LPCWSTR subKey, REGSAM access) {
        HKEY key = NULL;
        LONG result = OpenKey(parent, subKey, access, &key);
        if (result == ERROR_SUCCESS) {
            Close();
            m_key = key;
        }
        return result;
    }
    // Takes over an opened key.
    void Attach(HKEY key) {
        Close();
        m_key = key;
    }
    LONG Close() {
        LONG result = ERROR_SUCCESS;
        if (m_key)
            result = RegCloseKey(m_key);
        m_key = NULL;
        return result;
    }
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = NULL;
};

// A kernel object handle (process, mutex, snapshot); NULL and INVALID_HANDLE_VALUE both mean none.
class CKernelHandle {
public:
    explicit CKernelHandle(HANDLE handle = NULL) : m_handle(handle) {}
    ~CKernelHandle() { Close(); }
    CKernelHandle(const CKernelHandle&) = delete;
    CKernelHandle& operator=(const CKernelHandle&) = delete;

    bool IsValid() const { return m_handle != NULL && m_handle != INVALID_HANDLE_VALUE; }
    BOOL Close() {
        BOOL result = TRUE;
        if (IsValid())
            result = CloseHandle(m_handle);
        m_handle = NULL;
        return result;
    }
    operator HANDLE() const { return m_handle; }

private:
    HANDLE m_handle;
};

// A local-memory block that Allocate may replace; freed by the destructor.
class CLocalBuffer {
public:
    CLocalBuffer() = default;
    ~CLocalBuffer() { Free(); }
    CLocalBuffer(const CLocalBuffer&) = delete;
    CLocalBuffer& operator=(const CLocalBuffer&) = delete;

    // Frees the old block first; false (and no block) when the memory cannot be had.
    bool Allocate(SIZE_T bytes) {
        Free();
        m_block = LocalAlloc(LMEM_FIXED, bytes);
        return m_block != NULL;
    }
    void Free() {
        if (m_block)
            LocalFree(m_block);
        m_block = NULL;
    }
    void* Data() const { return m_block; }

private:
    HLOCAL m_block = NULL;
};

// A locked global-memory string handed out by BuildInstanceName: unlocked and freed through its handle.
class CGlobalString {
public:
    explicit CGlobalString(LPWSTR text) : m_text(text) {}
    ~CGlobalString() {
        if (!m_text)
            return;
        HGLOBAL block = GlobalHandle(m_text);
        if (block) {
            GlobalUnlock(block);
            GlobalFree(block);
        }
    }
    CGlobalString(const CGlobalString&) = delete;
    CGlobalString& operator=(const CGlobalString&) = delete;

    operator LPCWSTR() const { return m_text; }

private:
    LPWSTR m_text;
};

// The calling thread's component object runtime, uninitialised again when this initialisation succeeded.
class CComInit {
public:
    CComInit() : m_result(CoInitialize(NULL)) {}
    ~CComInit() {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;

    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

// A shell folder object reference, released by the destructor.
class CShellFolderRef {
public:
    CShellFolderRef() = default;
    ~CShellFolderRef() {
        if (m_folder)
            m_folder->Release();
    }
    CShellFolderRef(const CShellFolderRef&) = delete;
    CShellFolderRef& operator=(const CShellFolderRef&) = delete;

    IShellFolder** Receive() { return &m_folder; }
    IShellFolder* Get() const { return m_folder; }

private:
    IShellFolder* m_folder = NULL;
};

// An item-id list from the shell, freed with the task allocator.
class CIdList {
public:
    CIdList() = default;
    ~CIdList() {
        if (m_list)
            CoTaskMemFree(m_list);
    }
    CIdList(const CIdList&) = delete;
    CIdList& operator=(const CIdList&) = delete;

    LPITEMIDLIST* Receive() { return &m_list; }
    LPCITEMIDLIST Get() const { return m_list; }

private:
    LPITEMIDLIST m_list = NULL;
};

}  // namespace tavq
