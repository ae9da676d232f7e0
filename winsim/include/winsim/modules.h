// Simulated modules: the program and the libraries it loads, with their resources (.res files) and exports.
#pragma once
#include <winsim/wintypes.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace winsim {

// What a module file holds: resources compiled by `windres -O res` from the same .rc the Windows build
// links, and exports that stand for the module's code (C function pointers registered by a test).
struct ModuleImage {
    // Path of the .res on the host, read once per run (a changed file needs a new name); empty: no resources.
    std::string resFile;
    std::map<std::string, FARPROC> exports;
    // The library's DllMain: called with DLL_PROCESS_ATTACH (1) when it is mapped and DLL_PROCESS_DETACH (0)
    // when its last reference goes; null for none.
    BOOL (*entry)(HINSTANCE, DWORD, LPVOID) = nullptr;
};

// One resource of a .res file.
struct ResourceEntry {
    // Type and name: an ordinal, or an upper-cased string when `typeName`/`nameName` is non-empty.
    WORD type = 0;
    std::string typeName;
    WORD name = 0;
    std::string nameName;
    WORD language = 0;
    std::vector<uint8_t> data;
};

// The resources of one .res file, in file order.
struct ResourceSet {
    std::vector<ResourceEntry> entries;
};

// Reads a 32-bit .res file (RESOURCEHEADER records, the first one empty). Throws SimAbort when the file
// cannot be read or is malformed: a test must not run on resources it did not get.
std::shared_ptr<const ResourceSet> LoadResFile(const std::string& path);

class Modules {
public:
    Modules();
    ~Modules();
    Modules(const Modules&) = delete;
    Modules& operator=(const Modules&) = delete;

    // Puts a module file at `path` (also created in the current machine's file system) that
    // LoadLibraryA of that path, or of a bare name the search order resolves to it, maps. Registering
    // the same path again replaces the image. Returns the handle the module has once loaded.
    HMODULE Register(const std::string& path, ModuleImage image);
    // Makes `path` the process's program: loaded for good, GetModuleHandleA(NULL), GetModuleFileNameA(NULL),
    // the first folder of the library search (also the machine's SystemInfo::programDir).
    HMODULE SetMainModule(const std::string& path, ModuleImage image);
    HMODULE MainModule() const { return m_main; }
    // Registers ntdll, kernel32, user32, gdi32, advapi32 and winspool.drv in the system folder, loaded as the
    // program's imports, and msimg32.dll, version.dll and shlwapi.dll present but not loaded. Exports that
    // only some Windows versions have are found by GetProcAddress on those versions only.
    void InstallSystemLibraries();

    // Raw bytes of a resource of a registered module (loaded or not), or null. lang 0: the language
    // FindResourceA would pick (neutral, then the user's language, then US English, then the first).
    const std::vector<uint8_t>* FindResourceData(HMODULE module, LPCSTR type, LPCSTR name, WORD lang = 0) const;

    // Current reference count of the module at `path` (0: not loaded).
    int LoadCount(const std::string& path) const;
    bool IsLoaded(const std::string& path) const { return LoadCount(path) > 0; }
    // Successful LoadLibrary(Ex) and FreeLibrary calls for modules matching `name`: a path, or a base
    // name ("jp_res.dll"; ".dll" implied) matching modules in any folder.
    int LoadsTotal(const std::string& name) const;
    int FreesTotal(const std::string& name) const;
    // Base names of the loaded modules in load order, the program first.
    std::vector<std::string> Loaded() const;
    // Path of a registered module's handle, or empty.
    std::string PathOf(HMODULE module) const;
    // A copied module file holds the same code: when `from` is a registered module, `to` becomes one
    // with the same image (CopyFileA calls this after copying the bytes).
    void CopyImage(const std::string& from, const std::string& to);

    // With SafeDllSearchMode (the default from Windows XP SP2) the current folder is searched after
    // the Windows folder instead of second. Off by default: the order the program was written for.
    bool safeDllSearchMode = false;

    // ---- for the Win32 layer ----
    struct Module {
        std::string path;
        ModuleImage image;
        std::shared_ptr<const ResourceSet> resources;
        uintptr_t base = 0;
        int refCount = 0;
        int loads = 0;
        int frees = 0;
        int dataFileMaps = 0;
        bool everLoaded = false;
    };
    // A resources-only mapping made by LoadLibraryExA(LOAD_LIBRARY_AS_DATAFILE).
    struct DataFile {
        Module* module = nullptr;
        bool mapped = true;
    };
    enum class HandleKind { Unknown, Loaded, Freed, DataFile, FreedDataFile };
    HandleKind Classify(HMODULE handle) const;
    // The registered module whose image `handle` maps (as a module or data file); null for unknown handles.
    Module* ImageOf(HMODULE handle) const;
    Module* ByPath(const std::string& path) const;
    // Loaded module with this base name (".dll" implied when the name has no extension).
    Module* LoadedByBaseName(const std::string& name) const;
    HMODULE HandleOf(const Module& m) const { return reinterpret_cast<HMODULE>(m.base); }
    // The resource a FindResource handle stands for, or null when it is not one of the images' resources.
    const ResourceEntry* EntryOf(HRSRC handle) const;
    HMODULE MapDataFile(Module& m);
    bool UnmapDataFile(HMODULE handle);
    void AddRef(Module& m);
    // Drops one reference; the image is unmapped when none is left.
    void Release(Module& m);

private:
    Module& Put(const std::string& path, ModuleImage image);

    std::vector<std::unique_ptr<Module>> m_modules;
    std::map<uintptr_t, DataFile> m_dataFiles;
    std::vector<Module*> m_loadOrder;
    HMODULE m_main = nullptr;
    uintptr_t m_nextBase = 0x10000000;
    uintptr_t m_nextDataFile = 0x00a00000;
};

}  // namespace winsim
