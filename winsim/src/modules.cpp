// Simulated modules: registered images, the library search order, reference counts, and the kernel32 module calls.
#include "r_internal.h"

#include <windows.h>
#include <shlwapi.h>
#include <winsim/codepage.h>

#include <algorithm>
#include <stdio.h>

namespace winsim {

namespace rsim {

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string WithDefaultExtension(const std::string& name) {
    std::string file = FileNamePart(name);
    if (!file.empty() && file.back() == '.')
        return name.substr(0, name.size() - 1);
    if (file.find('.') == std::string::npos)
        return name + ".dll";
    return name;
}

std::string IdText(LPCSTR id) {
    if (!id)
        return "(null)";
    if (IS_INTRESOURCE(id))
        return "#" + std::to_string(LOWORD(reinterpret_cast<ULONG_PTR>(id)));
    return id;
}

std::string HandleText(const void* handle) {
    char text[32];
    snprintf(text, sizeof(text), "%p", handle);
    return text;
}

}  // namespace rsim

namespace {

const uintptr_t kProgramBase = 0x00400000;

void SetError(DWORD error) {
    Current().lastError = error;
}

}  // namespace

Modules::Modules() = default;
Modules::~Modules() = default;

Modules::Module& Modules::Put(const std::string& path, ModuleImage image) {
    FileSystem& files = Current().files;
    std::string full = files.FullPath(path);
    if (full.empty())
        throw SimAbort("cannot register a module at the unusable path \"" + path + "\"");
    Module* m = ByPath(full);
    if (!m) {
        m_modules.push_back(std::make_unique<Module>());
        m = m_modules.back().get();
        m->path = full;
        m->base = m_nextBase;
        m_nextBase += 0x00100000;
    }
    m->resources = image.resFile.empty() ? nullptr : LoadResFile(image.resFile);
    m->image = std::move(image);
    if (!files.Exists(full))
        files.WriteFile(full, "MZ simulated module image\n");
    return *m;
}

HMODULE Modules::Register(const std::string& path, ModuleImage image) {
    return HandleOf(Put(path, std::move(image)));
}

HMODULE Modules::SetMainModule(const std::string& path, ModuleImage image) {
    Module& m = Put(path, std::move(image));
    // Programs load at 0x00400000, as Windows maps an exe without relocations.
    if (!m.everLoaded && !m_main)
        m.base = kProgramBase;
    m_main = HandleOf(m);
    if (m.refCount == 0)
        AddRef(m);
    m_loadOrder.erase(std::remove(m_loadOrder.begin(), m_loadOrder.end(), &m), m_loadOrder.end());
    m_loadOrder.insert(m_loadOrder.begin(), &m);
    Current().system.programDir = rsim::FolderPart(m.path);
    return m_main;
}

void Modules::InstallSystemLibraries() {
    const std::string dir = Current().system.systemDir + "\\";
    for (const char* name : {"ntdll.dll", "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "winspool.drv"}) {
        Module& m = Put(dir + name, ModuleImage());
        if (m.refCount == 0)
            AddRef(m);  // the program's imports: loaded before it runs, not counted as its loads
    }
    for (const char* name : {"msimg32.dll", "version.dll", "shlwapi.dll"})
        Put(dir + name, ModuleImage());
}

const std::vector<uint8_t>* Modules::FindResourceData(HMODULE module, LPCSTR type, LPCSTR name, WORD lang) const {
    const Module* m = module ? ImageOf(module) : ImageOf(m_main);
    if (!m)
        return nullptr;
    DWORD error = 0;
    const ResourceEntry* e = rsim::FindEntry(m->resources.get(), type, name, lang,
                                             LANGIDFROMLCID(Current().system.lcid), &error);
    return e ? &e->data : nullptr;
}

int Modules::LoadCount(const std::string& path) const {
    if (const Module* m = ByPath(path))
        return m->refCount;
    if (const Module* m = LoadedByBaseName(path))
        return m->refCount;
    return 0;
}

namespace {

template <class F>
int SumMatching(const std::vector<std::unique_ptr<Modules::Module>>& modules, const std::string& name, F field) {
    int total = 0;
    bool byPath = name.find_first_of("\\/") != std::string::npos;
    std::string wanted = byPath ? Current().files.FullPath(name) : rsim::WithDefaultExtension(name);
    for (const auto& m : modules) {
        const std::string& have = byPath ? m->path : rsim::FileNamePart(m->path);
        if (NamesEqual(have, wanted))
            total += field(*m);
    }
    return total;
}

}  // namespace

int Modules::LoadsTotal(const std::string& name) const {
    return SumMatching(m_modules, name, [](const Module& m) { return m.loads; });
}

int Modules::FreesTotal(const std::string& name) const {
    return SumMatching(m_modules, name, [](const Module& m) { return m.frees; });
}

std::vector<std::string> Modules::Loaded() const {
    std::vector<std::string> names;
    for (const Module* m : m_loadOrder)
        names.push_back(rsim::FileNamePart(m->path));
    return names;
}

void Modules::CopyImage(const std::string& from, const std::string& to) {
    const Module* source = ByPath(from);
    if (!source || NamesEqual(source->path, Current().files.FullPath(to)))
        return;
    ModuleImage image = source->image;
    Put(to, std::move(image));
}

std::string Modules::PathOf(HMODULE module) const {
    const Module* m = ImageOf(module);
    return m ? m->path : std::string();
}

Modules::HandleKind Modules::Classify(HMODULE handle) const {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    auto df = m_dataFiles.find(value);
    if (df != m_dataFiles.end())
        return df->second.mapped ? HandleKind::DataFile : HandleKind::FreedDataFile;
    for (const auto& m : m_modules) {
        if (m->base != value)
            continue;
        if (m->refCount > 0)
            return HandleKind::Loaded;
        return m->everLoaded ? HandleKind::Freed : HandleKind::Unknown;
    }
    return HandleKind::Unknown;
}

Modules::Module* Modules::ImageOf(HMODULE handle) const {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    auto df = m_dataFiles.find(value);
    if (df != m_dataFiles.end())
        return df->second.module;
    for (const auto& m : m_modules)
        if (m->base == value)
            return m.get();
    return nullptr;
}

Modules::Module* Modules::ByPath(const std::string& path) const {
    std::string full = Current().files.FullPath(path);
    for (const auto& m : m_modules)
        if (NamesEqual(m->path, full))
            return m.get();
    return nullptr;
}

Modules::Module* Modules::LoadedByBaseName(const std::string& name) const {
    std::string wanted = rsim::WithDefaultExtension(name);
    for (Module* m : m_loadOrder)
        if (m->refCount > 0 && NamesEqual(rsim::FileNamePart(m->path), wanted))
            return m;
    return nullptr;
}

const ResourceEntry* Modules::EntryOf(HRSRC handle) const {
    auto p = reinterpret_cast<const ResourceEntry*>(handle);
    for (const auto& m : m_modules) {
        if (!m->resources)
            continue;
        const std::vector<ResourceEntry>& entries = m->resources->entries;
        for (const ResourceEntry& e : entries)
            if (&e == p)
                return p;
    }
    return nullptr;
}

HMODULE Modules::MapDataFile(Module& m) {
    uintptr_t value = m_nextDataFile | 1;  // Windows marks data-file mappings with the low bit
    m_nextDataFile += 0x00010000;
    m_dataFiles[value] = DataFile{&m, true};
    if (m.dataFileMaps++ == 0 && m.refCount == 0)
        Current().files.MapImage(m.path, true);
    return reinterpret_cast<HMODULE>(value);
}

bool Modules::UnmapDataFile(HMODULE handle) {
    auto it = m_dataFiles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_dataFiles.end() || !it->second.mapped)
        return false;
    it->second.mapped = false;
    Module& m = *it->second.module;
    if (--m.dataFileMaps == 0 && m.refCount == 0)
        Current().files.MapImage(m.path, false);
    return true;
}

void Modules::AddRef(Module& m) {
    if (m.refCount++ == 0) {
        m.everLoaded = true;
        m_loadOrder.push_back(&m);
        if (m.dataFileMaps == 0)
            Current().files.MapImage(m.path, true);
        if (m.image.entry)
            m.image.entry(HandleOf(m), 1, nullptr);
    }
}

void Modules::Release(Module& m) {
    if (m.refCount == 0)
        return;
    if (--m.refCount == 0) {
        m_loadOrder.erase(std::remove(m_loadOrder.begin(), m_loadOrder.end(), &m), m_loadOrder.end());
        if (m.dataFileMaps == 0)
            Current().files.MapImage(m.path, false);
        if (m.image.entry)
            m.image.entry(HandleOf(m), 0, nullptr);
    }
}

}  // namespace winsim

using namespace winsim;

namespace {

std::string EnvValue(const std::string& name) {
    for (const auto& kv : Current().system.env)
        if (NamesEqual(kv.first, name))
            return kv.second;
    return std::string();
}

// The folders LoadLibraryA searches for a bare name, in order.
std::vector<std::string> SearchFolders() {
    Machine& m = Current();
    std::vector<std::string> dirs;
    std::string program = rsim::FolderPart(m.modules.PathOf(m.modules.MainModule()));
    if (program.empty())
        program = m.system.programDir;
    dirs.push_back(program);
    if (!m.modules.safeDllSearchMode)
        dirs.push_back(m.files.currentDirectory);
    dirs.push_back(m.system.systemDir);
    // NT keeps the 16-bit system folder beside the 32-bit one; on Windows 9x they are the same.
    if (m.system.IsNT())
        dirs.push_back(m.system.windowsDir + "\\SYSTEM");
    dirs.push_back(m.system.windowsDir);
    if (m.modules.safeDllSearchMode)
        dirs.push_back(m.files.currentDirectory);
    std::string path = EnvValue("PATH");
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(';', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            dirs.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return dirs;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    return dir.back() == '\\' ? dir + name : dir + "\\" + name;
}

// The registered module a LoadLibrary argument names, or null with the error Windows gives.
Modules::Module* Resolve(const std::string& argument, DWORD* error) {
    Machine& m = Current();
    *error = ERROR_MOD_NOT_FOUND;
    if (argument.empty())
        return nullptr;
    std::string name = rsim::WithDefaultExtension(argument);
    auto fileAt = [&](const std::string& path, bool* stop) -> Modules::Module* {
        std::string full = m.files.FullPath(path);
        *stop = false;
        if (full.empty() || !m.files.Exists(full) || m.files.IsDirectory(full))
            return nullptr;
        *stop = true;
        if (Modules::Module* mod = m.modules.ByPath(full))
            return mod;
        *error = ERROR_BAD_EXE_FORMAT;  // a file that is no module image
        return nullptr;
    };
    bool stop = false;
    if (name.find_first_of("\\/:") != std::string::npos)
        return fileAt(name, &stop);
    // A module already loaded under that name is used wherever it came from.
    if (Modules::Module* loaded = m.modules.LoadedByBaseName(name))
        return loaded;
    for (const std::string& dir : SearchFolders()) {
        if (dir.empty())
            continue;
        Modules::Module* mod = fileAt(Join(dir, name), &stop);
        if (stop)
            return mod;
    }
    return nullptr;
}

HMODULE Load(const char* api, const std::string& name, DWORD flags) {
    Machine& m = Current();
    const DWORD known = LOAD_LIBRARY_AS_DATAFILE | DONT_RESOLVE_DLL_REFERENCES | LOAD_WITH_ALTERED_SEARCH_PATH;
    if (flags & ~known) {
        char text[16];
        snprintf(text, sizeof(text), "0x%x", unsigned(flags));
        throw SimAbort(std::string(api) + " flags " + text + " are not modelled");
    }
    DWORD error = 0;
    Modules::Module* mod = Resolve(name, &error);
    if (!mod) {
        SetError(error);
        return nullptr;
    }
    mod->loads++;
    // A data-file load of a module that is loaded anyway shares the module (and adds a reference).
    if ((flags & LOAD_LIBRARY_AS_DATAFILE) && mod->refCount == 0)
        return m.modules.MapDataFile(*mod);
    m.modules.AddRef(*mod);
    return m.modules.HandleOf(*mod);
}

// The module GetModuleFileName and GetProcAddress act on: NULL is the program; data files do not count.
Modules::Module* LoadedModule(HMODULE module) {
    Modules& modules = Current().modules;
    if (!module)
        module = modules.MainModule();
    if (modules.Classify(module) != Modules::HandleKind::Loaded)
        return nullptr;
    return modules.ImageOf(module);
}

// The system exports a program may look up at run time, with the Windows versions that have them
// (the documented minimum of each family); what a version lacks, GetProcAddress does not find.
struct SystemExport {
    const char* library;
    const char* name;
    FARPROC proc;
    bool on9x;
    Os ntFrom;  // Os::Win95: on no NT version
};

template <class F>
FARPROC Proc(F* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

const SystemExport kSystemExports[] = {
    {"kernel32.dll", "CreateToolhelp32Snapshot", Proc(&CreateToolhelp32Snapshot), true,
     Os::Win2000},
    {"kernel32.dll", "Process32First", Proc(&Process32First), true, Os::Win2000},
    {"kernel32.dll", "Process32Next", Proc(&Process32Next), true, Os::Win2000},
    {"kernel32.dll", "Process32FirstW", Proc(&Process32FirstW), false, Os::WinXP},
    {"kernel32.dll", "Process32NextW", Proc(&Process32NextW), false, Os::WinXP},
    {"kernel32.dll", "IsWow64Process", Proc(&IsWow64Process), false, Os::WinXP},
    {"ntdll.dll", "NtQuerySystemInformation", Proc(&NtQuerySystemInformation), false,
     Os::NT4},
    // From the light-weight shell library of Internet Explorer 4 (shlwapi 4.71), part of Windows 98 and 2000,
    // not of a bare NT 4.0.
    {"shlwapi.dll", "SHDeleteKeyW", Proc(&SHDeleteKeyW), true, Os::Win2000},
};

// The system library's export `name` on the machine's Windows version: found, absent (null), or not one
// the table lists (`listed` false).
FARPROC SystemProc(const Modules::Module& module, const std::string& name, bool* listed) {
    const SystemInfo& sys = Current().system;
    std::string file = rsim::FileNamePart(module.path);
    *listed = false;
    for (const SystemExport& e : kSystemExports) {
        if (name != e.name || !NamesEqual(file, e.library))
            continue;
        *listed = true;
        bool present = sys.Is9x() ? e.on9x : e.ntFrom != Os::Win95 && int(sys.os) >= int(e.ntFrom);
        return present ? e.proc : nullptr;
    }
    return nullptr;
}

}  // namespace

namespace winsim {

bool StubOn9x() {
    if (!Current().system.Is9x())
        return false;
    Current().lastError = ERROR_CALL_NOT_IMPLEMENTED;
    return true;
}

void RequireSystemExport(const char* library, const char* name) {
    for (const SystemExport& e : kSystemExports) {
        if (strcmp(e.name, name) != 0 || !NamesEqual(e.library, library))
            continue;
        const SystemInfo& sys = Current().system;
        bool present = sys.Is9x() ? e.on9x : e.ntFrom != Os::Win95 && int(sys.os) >= int(e.ntFrom);
        if (!present)
            throw SimAbort(std::string(name) + " is not exported by this Windows version's " + library +
                           ": a program importing it does not load there; reach it through GetProcAddress");
    }
}

}  // namespace winsim

namespace {

bool SetsErrorOnSuccess() {
    // Windows Vista and later reset the last error when GetModuleFileName succeeds; XP leaves it alone.
    return Current().system.IsNT() && Current().system.major >= 6;
}

}  // namespace

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    SIM_FAULT("LoadLibraryA", lpLibFileName ? lpLibFileName : "", nullptr);
    return Load("LoadLibraryA", lpLibFileName ? lpLibFileName : "", 0);
}

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    SIM_FAULT("LoadLibraryExA", lpLibFileName ? lpLibFileName : "", nullptr);
    if (hFile) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Load("LoadLibraryExA", lpLibFileName ? lpLibFileName : "", dwFlags);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    Modules& modules = Current().modules;
    SIM_FAULT("FreeLibrary", modules.PathOf(hLibModule), FALSE);
    Modules::Module* m = modules.ImageOf(hLibModule);
    switch (modules.Classify(hLibModule)) {
    case Modules::HandleKind::Loaded:
        m->frees++;
        // The program's own image stays mapped whatever its count says.
        if (hLibModule != modules.MainModule() || m->refCount > 1)
            modules.Release(*m);
        return TRUE;
    case Modules::HandleKind::DataFile:
        m->frees++;
        modules.UnmapDataFile(hLibModule);
        return TRUE;
    case Modules::HandleKind::FreedDataFile:
        // Wine: ERROR_BAD_EXE_FORMAT for a data-file handle already unmapped.
        SetError(ERROR_BAD_EXE_FORMAT);
        return FALSE;
    case Modules::HandleKind::Freed:
    case Modules::HandleKind::Unknown:
        break;
    }
    SetError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    SIM_FAULT("GetModuleHandleA", lpModuleName ? lpModuleName : "", nullptr);
    Modules& modules = Current().modules;
    if (!lpModuleName) {
        if (!modules.MainModule())
            SetError(ERROR_MOD_NOT_FOUND);
        return modules.MainModule();
    }
    std::string name = rsim::WithDefaultExtension(lpModuleName);
    Modules::Module* m = nullptr;
    if (name.find_first_of("\\/:") != std::string::npos) {
        m = modules.ByPath(name);
        if (m && m->refCount == 0)
            m = nullptr;
    } else {
        m = modules.LoadedByBaseName(name);
    }
    if (!m) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return modules.HandleOf(*m);
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    SIM_FAULT("GetModuleFileNameA", Current().modules.PathOf(hModule), 0);
    Modules::Module* m = LoadedModule(hModule);
    if (!m) {
        SetError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string& path = m->path;
    if (path.size() < nSize) {
        memcpy(lpFilename, path.c_str(), path.size() + 1);
        if (SetsErrorOnSuccess())
            SetError(ERROR_SUCCESS);
        return DWORD(path.size());
    }
    // Truncated: nSize characters and no NUL. Windows XP reports success; Vista and later (and Wine)
    // set ERROR_INSUFFICIENT_BUFFER, and Vista and later also put a NUL in the last place.
    if (SetsErrorOnSuccess()) {
        if (nSize > 0) {
            memcpy(lpFilename, path.data(), nSize - 1);
            lpFilename[nSize - 1] = 0;
        }
        SetError(ERROR_INSUFFICIENT_BUFFER);
    } else {
        memcpy(lpFilename, path.data(), nSize);
    }
    return nSize;
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    SIM_FAULT("GetModuleFileNameW", Current().modules.PathOf(hModule), 0);
    Modules::Module* m = LoadedModule(hModule);
    if (!m) {
        SetError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::u16string path = FromAnsi(m->path, Current().system.acp);
    if (path.size() < nSize) {
        memcpy(lpFilename, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
        if (SetsErrorOnSuccess())
            SetError(ERROR_SUCCESS);
        return DWORD(path.size());
    }
    if (SetsErrorOnSuccess()) {
        if (nSize > 0) {
            memcpy(lpFilename, path.data(), (nSize - 1) * sizeof(WCHAR));
            lpFilename[nSize - 1] = 0;
        }
        SetError(ERROR_INSUFFICIENT_BUFFER);
    } else {
        memcpy(lpFilename, path.data(), nSize * sizeof(WCHAR));
    }
    return nSize;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    SIM_FAULT("GetProcAddress", rsim::IdText(lpProcName), nullptr);
    Modules::Module* m = LoadedModule(hModule);
    if (!m) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Exports by ordinal are registered as "#<ordinal>"; names are case-sensitive.
    std::string key = rsim::IdText(lpProcName);
    // A module registered with exports of its own is some other library of that name (one planted
    // beside a program, say), not the system's.
    bool listed = false;
    FARPROC system = m->image.exports.empty() ? SystemProc(*m, key, &listed) : nullptr;
    if (listed) {
        if (!system)
            SetError(ERROR_PROC_NOT_FOUND);
        return system;
    }
    auto it = m->image.exports.find(key);
    if (it == m->image.exports.end() || !it->second) {
        SetError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return it->second;
}

}  // extern "C"
