// Owning wrappers for what the shell hands out: the thread's component object runtime and item-id lists.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

// The calling thread's component object runtime, uninitialised again when this initialisation succeeded
// (also when the thread already had it: each success is owed one CoUninitialize).
class CComRuntime {
public:
    CComRuntime() : m_hResult(CoInitialize(NULL)) {}
    ~CComRuntime() {
        if (SUCCEEDED(m_hResult))
            CoUninitialize();
    }
    HRESULT Result() const { return m_hResult; }

private:
    HRESULT m_hResult;
    CComRuntime(const CComRuntime&) = delete;
    CComRuntime& operator=(const CComRuntime&) = delete;
};

// An item-id list from the shell, freed with the task allocator.
class CItemIdList {
public:
    CItemIdList() {}
    ~CItemIdList() {
        if (m_pList)
            CoTaskMemFree(m_pList);
    }
    LPITEMIDLIST* Receive() { return &m_pList; }
    LPCITEMIDLIST Get() const { return m_pList; }

private:
    LPITEMIDLIST m_pList = NULL;
    CItemIdList(const CItemIdList&) = delete;
    CItemIdList& operator=(const CItemIdList&) = delete;
};
