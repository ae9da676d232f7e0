// The simulated shell and component object runtime: desktop folder, item-id lists, task memory, SHDeleteKeyW.
#include "k_internal.h"

#include <windows.h>
#include <shlobj.h>
#include <winsim/codepage.h>

#include <stdlib.h>

using winsim::Current;

namespace winsim {

std::string Shell::DesktopDirectory() const {
    if (!desktopDir.empty())
        return desktopDir;
    for (const auto& e : Current().system.env)
        if (NamesEqual(e.first, "USERPROFILE"))
            return e.second + "\\Desktop";
    return Current().system.windowsDir + "\\Desktop";
}

}  // namespace winsim

namespace {

winsim::Shell& Sh() {
    return Current().shell;
}

// The desktop folder object: counted so that a test sees every one released.
struct DesktopFolder final : IShellFolder {
    ULONG refs = 1;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (left == 0) {
            if (winsim::HasCurrent())
                Sh().liveFolders--;
            delete this;
        }
        return left;
    }
};

// Deletes `sub` below `parent` with everything under it, deepest keys first.
LONG DeleteTree(HKEY parent, const std::string& sub, int depth) {
    HKEY key = NULL;
    LONG e = RegOpenKeyExA(parent, sub.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (e != ERROR_SUCCESS)
        return e;
    // Bounded: a key deeper than the registry's own limit of 512 levels is not walked further.
    for (int guard = 0; depth < 512 && guard < 100000; guard++) {
        char name[256];
        DWORD n = sizeof(name);
        if (RegEnumKeyExA(key, 0, name, &n, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (DeleteTree(key, name, depth + 1) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, sub.c_str());
}

}  // namespace

extern "C" {

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
    SIM_FAULT("CoInitialize", "", E_OUTOFMEMORY);
    return Sh().comInitCount++ == 0 ? S_OK : S_FALSE;
}

void WINAPI CoUninitialize(void) {
    if (Current().faults.Hit("CoUninitialize"))
        return;
    if (Sh().comInitCount > 0)
        Sh().comInitCount--;
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
    SIM_FAULT("CoTaskMemAlloc", std::to_string(cb), NULL);
    void* p = calloc(1, cb ? cb : 1);
    if (p)
        Sh().taskMemory[p] = cb;
    return p;
}

void WINAPI CoTaskMemFree(LPVOID pv) {
    Current().faults.Hit("CoTaskMemFree");
    if (!pv)
        return;
    auto it = Sh().taskMemory.find(pv);
    if (it == Sh().taskMemory.end())
        throw winsim::SimAbort("CoTaskMemFree of memory the task allocator did not hand out");
    Sh().taskMemory.erase(it);
    Sh().idLists.erase(pv);
    free(pv);
}

HRESULT WINAPI SHGetDesktopFolder(IShellFolder** ppshf) {
    SIM_FAULT("SHGetDesktopFolder", "", E_FAIL);
    if (!ppshf)
        return E_INVALIDARG;
    if (Sh().comInitCount == 0)
        throw winsim::SimAbort("SHGetDesktopFolder before CoInitialize");
    *ppshf = new DesktopFolder;
    Sh().liveFolders++;
    return S_OK;
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwndOwner, int nFolder, LPITEMIDLIST* ppidl) {
    SIM_FAULT("SHGetSpecialFolderLocation", std::to_string(nFolder), E_FAIL);
    if (!ppidl)
        return E_INVALIDARG;
    *ppidl = NULL;
    std::string path;
    if (nFolder == CSIDL_DESKTOPDIRECTORY && !Sh().desktopMissing)
        path = Sh().DesktopDirectory();
    if (path.empty())
        return E_FAIL;
    auto* pidl = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(sizeof(ITEMIDLIST) + 2));
    if (!pidl)
        return E_OUTOFMEMORY;
    pidl->mkid.cb = 0;
    Sh().idLists[pidl] = path;
    *ppidl = pidl;
    return S_OK;
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
    SIM_FAULT("SHGetPathFromIDListA", "", FALSE);
    if (!pidl || !pszPath)
        return FALSE;
    auto it = Sh().idLists.find(const_cast<LPITEMIDLIST>(pidl));
    if (it == Sh().idLists.end()) {
        pszPath[0] = 0;
        return FALSE;
    }
    std::string path = it->second.substr(0, MAX_PATH - 1);
    memcpy(pszPath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL WINAPI SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR pszPath) {
    if (winsim::StubOn9x())
        return FALSE;
    SIM_FAULT("SHGetPathFromIDListW", "", FALSE);
    if (!pidl || !pszPath)
        return FALSE;
    auto it = Sh().idLists.find(const_cast<LPITEMIDLIST>(pidl));
    if (it == Sh().idLists.end()) {
        pszPath[0] = 0;
        return FALSE;
    }
    std::u16string path = winsim::FromAnsi(it->second, Current().system.acp).substr(0, MAX_PATH - 1);
    memcpy(pszPath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

LONG WINAPI SHDeleteKeyW(HKEY hkey, LPCWSTR pszSubKey) {
    winsim::RequireSystemExport("shlwapi.dll", "SHDeleteKeyW");
    std::string sub = pszSubKey ? winsim::ToAnsi(std::u16string(pszSubKey), Current().system.acp) : "";
    SIM_FAULT("SHDeleteKeyW", sub, (LONG)Current().lastError);
    return DeleteTree(hkey, sub, 0);
}

}  // extern "C"
