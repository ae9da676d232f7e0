// The shell's special folders, its recursive key deletion and the component object runtime (shell32,
// shlwapi, ole32) as the simulated machine provides them.
#pragma once
#include <winsim/wintypes.h>

#ifndef S_OK
#define S_OK ((HRESULT)0L)
#define S_FALSE ((HRESULT)1L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

#define STDMETHODCALLTYPE

#define CSIDL_DESKTOP 0x0000
#define CSIDL_DESKTOPDIRECTORY 0x0010

typedef struct _SHITEMID {
    USHORT cb;
    BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST, *LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;

// Only what the programs use of the desktop folder object: its reference count.
struct IShellFolder {
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IShellFolder() = default;
};
typedef IShellFolder* LPSHELLFOLDER;

#ifdef __cplusplus
extern "C" {
#endif

// First call on the thread: S_OK; again: S_FALSE; each success is owed a CoUninitialize.
HRESULT WINAPI CoInitialize(LPVOID pvReserved);
void WINAPI CoUninitialize(void);
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
void WINAPI CoTaskMemFree(LPVOID pv);

HRESULT WINAPI SHGetDesktopFolder(IShellFolder** ppshf);
// The folder is missing: E_FAIL and *ppidl NULL.
HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwndOwner, int nFolder, LPITEMIDLIST* ppidl);
// Writes the folder's path (MAX_PATH characters at most); FALSE for a list that is no folder.
BOOL WINAPI SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR pszPath);
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath);
// Deletes the key with all its sub-keys and values; missing: ERROR_FILE_NOT_FOUND.
LONG WINAPI SHDeleteKeyW(HKEY hkey, LPCWSTR pszSubKey);

#ifdef __cplusplus
}
#endif
