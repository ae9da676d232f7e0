// Other processes and named mutexes of the simulated session, and the kernel32 calls that reach them.
#include "k_internal.h"

#include <windows.h>
#include <winsim/codepage.h>

using winsim::Current;
using winsim::NamedMutex;
using winsim::SimProcess;

namespace winsim {

SimProcess& Processes::Start(const std::string& image, DWORD pid) {
    auto p = std::make_unique<SimProcess>();
    p->pid = pid ? pid : (m_nextPid += 4);
    p->image = image;
    m_processes.push_back(std::move(p));
    return *m_processes.back();
}

SimProcess* Processes::Find(DWORD pid) {
    Update();
    // A later process with a reused id hides the ended one.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        if ((*it)->pid == pid)
            return it->get();
    return nullptr;
}

void Processes::HoldMutex(SimProcess& process, const std::string& name) {
    bool existed = false;
    CreateMutex(name, &existed)->holders.insert(process.pid);
    process.mutexes.push_back(name);
}

void Processes::HoldFile(SimProcess& process, const std::string& path) {
    Current().files.HoldOpen(path, true);
    process.openFiles.push_back(path);
}

void Processes::Exit(SimProcess& process, DWORD exitCode) {
    if (!process.running)
        return;
    process.running = false;
    process.terminating = false;
    process.exitCode = exitCode;
    for (const std::string& path : process.openFiles)
        if (Current().files.Exists(path))
            Current().files.HoldOpen(path, false);
    for (const std::string& name : process.mutexes) {
        auto it = m_mutexes.find(name);
        if (it != m_mutexes.end())
            it->second->holders.erase(process.pid);
    }
    Collect();
}

void Processes::Update() {
    for (auto& p : m_processes)
        if (p->running && p->terminating && !p->hangs && p->exitAt <= Current().now)
            Exit(*p, p->exitCode == STILL_ACTIVE ? 0 : p->exitCode);
}

void Processes::Collect() {
    for (auto it = m_mutexes.begin(); it != m_mutexes.end();) {
        if (it->second->handles == 0 && it->second->holders.empty())
            it = m_mutexes.erase(it);
        else
            ++it;
    }
}

NamedMutex* Processes::FindMutex(const std::string& name) {
    Update();
    Collect();
    auto it = m_mutexes.find(name);
    return it == m_mutexes.end() ? nullptr : it->second.get();
}

bool Processes::MutexExists(const std::string& name) {
    return FindMutex(name) != nullptr;
}

std::shared_ptr<NamedMutex> Processes::CreateMutex(const std::string& name, bool* existed) {
    Collect();
    auto it = m_mutexes.find(name);
    *existed = it != m_mutexes.end();
    if (*existed)
        return it->second;
    auto m = std::make_shared<NamedMutex>();
    m->name = name;
    m_mutexes[name] = m;
    return m;
}

}  // namespace winsim

namespace {

winsim::Processes& Procs() {
    return Current().processes;
}

void SetError(DWORD e) {
    Current().lastError = e;
}

std::string Utf8(LPCWSTR s) {
    return s ? winsim::ToAnsi(std::u16string(s), 65001) : std::string();
}

struct MutexObject : winsim::KernelObject {
    std::shared_ptr<NamedMutex> mutex;
    explicit MutexObject(std::shared_ptr<NamedMutex> m) : mutex(std::move(m)) { mutex->handles++; }
    ~MutexObject() override {
        mutex->handles--;
        // Closing the last handle of an owned mutex abandons it.
        if (mutex->handles == 0)
            mutex->ownedCount = 0;
    }
    const char* Kind() const override { return "mutex"; }
};

struct ProcessObject : winsim::KernelObject {
    DWORD pid = 0;
    DWORD access = 0;
    const char* Kind() const override { return "process"; }
};

struct SnapshotEntryData {
    DWORD first;
    std::string second;  // the program's file name
    std::string full;    // its full path
};

struct SnapshotObject : winsim::KernelObject {
    std::vector<SnapshotEntryData> entries;
    size_t next = 0;
    const char* Kind() const override { return "snapshot"; }
};

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}


// OpenMutexA and OpenMutexW: `name` in UTF-8.
HANDLE OpenNamedMutex(const char* api, const std::string& name, bool named) {
    SIM_FAULT(api, name, NULL);
    if (!named) {
        SetError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    NamedMutex* m = Procs().FindMutex(name);
    if (!m) {
        SetError(ERROR_FILE_NOT_FOUND);
        return NULL;
    }
    if (m->denyOpen) {
        SetError(ERROR_ACCESS_DENIED);
        return NULL;
    }
    bool existed = false;
    return Current().system.handles.Add(std::make_shared<MutexObject>(Procs().CreateMutex(name, &existed)));
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName) {
    std::string name = Utf8(lpName);
    SIM_FAULT("CreateMutexW", name, NULL);
    bool existed = false;
    std::shared_ptr<NamedMutex> m;
    if (lpName && *lpName) {
        m = Procs().CreateMutex(name, &existed);
    } else {
        m = std::make_shared<NamedMutex>();
    }
    if (bInitialOwner && m->holders.empty())
        m->ownedCount++;
    HANDLE h = Current().system.handles.Add(std::make_shared<MutexObject>(m));
    SetError(existed ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return h;
}

HANDLE WINAPI OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName) {
    if (winsim::StubOn9x())
        return NULL;
    return OpenNamedMutex("OpenMutexW", lpName ? Utf8(lpName) : std::string(), lpName != NULL);
}

HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName) {
    // Names are kept in the form the UTF-16 calls give them.
    std::string name = lpName ? winsim::ToAnsi(winsim::FromAnsi(lpName, Current().system.acp), 65001) : std::string();
    return OpenNamedMutex("OpenMutexA", name, lpName != NULL);
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    SIM_FAULT("ReleaseMutex", "", FALSE);
    MutexObject* o = Current().system.handles.Get<MutexObject>(hMutex);
    if (!o) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->mutex->ownedCount == 0) {
        SetError(ERROR_NOT_OWNER);
        return FALSE;
    }
    o->mutex->ownedCount--;
    return TRUE;
}

HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    SIM_FAULT("OpenProcess", std::to_string(dwProcessId), NULL);
    // NT before Vista knows the process rights 0x0001-0x0800 only: a mask with Vista's new bits (its
    // headers' PROCESS_ALL_ACCESS, 0x1FFFFF) is refused.
    const winsim::SystemInfo& sys = Current().system;
    if (sys.IsNT() && sys.major < 6 && (dwDesiredAccess & 0xF000)) {
        SetError(ERROR_ACCESS_DENIED);
        return NULL;
    }
    auto o = std::make_shared<ProcessObject>();
    o->pid = dwProcessId;
    o->access = dwDesiredAccess;
    if (dwProcessId != Current().system.processId) {
        SimProcess* p = Procs().Find(dwProcessId);
        if (!p || !p->running) {
            SetError(ERROR_INVALID_PARAMETER);
            return NULL;
        }
        if (p->denyOpen) {
            SetError(ERROR_ACCESS_DENIED);
            return NULL;
        }
        p->opens++;
    }
    return Current().system.handles.Add(o);
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    SIM_FAULT("TerminateProcess", "", FALSE);
    ProcessObject* o = Current().system.handles.Get<ProcessObject>(hProcess);
    if (!o) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(o->access & PROCESS_TERMINATE)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (o->pid == Current().system.processId)
        throw winsim::SimAbort("the program terminated itself");
    SimProcess* p = Procs().Find(o->pid);
    if (!p || !p->running) {
        SetError(ERROR_ACCESS_DENIED);  // Windows: an ended process cannot be terminated again
        return FALSE;
    }
    p->terminations++;
    if (!p->terminating) {
        p->terminating = true;
        p->exitCode = uExitCode;
        p->exitAt = Current().now + p->exitDelayMs;
    }
    Procs().Update();
    return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    SIM_FAULT("GetExitCodeProcess", "", FALSE);
    ProcessObject* o = Current().system.handles.Get<ProcessObject>(hProcess);
    if (!o || !lpExitCode) {
        SetError(o ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    SimProcess* p = o->pid == Current().system.processId ? nullptr : Procs().Find(o->pid);
    *lpExitCode = p && !p->running ? p->exitCode : STILL_ACTIVE;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    SIM_FAULT("WaitForSingleObject", std::to_string(dwMilliseconds), WAIT_FAILED);
    winsim::Machine& m = Current();
    if (ProcessObject* o = m.system.handles.Get<ProcessObject>(hHandle)) {
        SimProcess* p = o->pid == m.system.processId ? nullptr : Procs().Find(o->pid);
        if (p && !p->running)
            return WAIT_OBJECT_0;
        bool ends = p && p->terminating && !p->hangs;
        if (ends && (dwMilliseconds == INFINITE || p->exitAt <= m.now + dwMilliseconds)) {
            if (p->exitAt > m.now)
                m.Advance(p->exitAt - m.now);
            Procs().Update();
            return WAIT_OBJECT_0;
        }
        if (dwMilliseconds == INFINITE)
            throw winsim::SimAbort("WaitForSingleObject(INFINITE) on a process that never ends");
        m.Advance(dwMilliseconds);
        return WAIT_TIMEOUT;
    }
    if (MutexObject* o = m.system.handles.Get<MutexObject>(hHandle)) {
        if (o->mutex->holders.empty()) {
            o->mutex->ownedCount++;
            return WAIT_OBJECT_0;
        }
        if (dwMilliseconds == INFINITE)
            throw winsim::SimAbort("WaitForSingleObject(INFINITE) on a mutex another process holds");
        m.Advance(dwMilliseconds);
        return WAIT_TIMEOUT;
    }
    SetError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) {
    winsim::RequireSystemExport("kernel32.dll", "CreateToolhelp32Snapshot");
    SIM_FAULT("CreateToolhelp32Snapshot", "", INVALID_HANDLE_VALUE);
    auto snap = std::make_shared<SnapshotObject>();
    winsim::Machine& m = Current();
    if (dwFlags & TH32CS_SNAPPROCESS) {
        std::string self = m.modules.MainModule() ? m.modules.PathOf(m.modules.MainModule()) : "";
        snap->entries.push_back({m.system.processId, FileNamePart(self), self});
        Procs().Update();
        for (const auto& p : Procs().All())
            if (p->running)
                snap->entries.push_back({p->pid, FileNamePart(p->image), p->image});
    }
    return m.system.handles.Add(snap);
}

// Moves the snapshot on and fills the caller's entry of either width but its name; null with the error set
// when the handle, the entry's size or the list's end does not allow it.
extern "C++" {
template <class Entry>
static const SnapshotEntryData* NextSnapshotEntry(HANDLE hSnapshot, Entry* lppe, bool first) {
    SnapshotObject* s = Current().system.handles.Get<SnapshotObject>(hSnapshot);
    if (!s) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!lppe || lppe->dwSize < sizeof(Entry)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    if (first)
        s->next = 0;
    if (s->next >= s->entries.size()) {
        SetError(ERROR_NO_MORE_FILES);
        return nullptr;
    }
    const SnapshotEntryData& e = s->entries[s->next++];
    DWORD size = lppe->dwSize;
    memset(lppe, 0, sizeof(*lppe));
    lppe->dwSize = size;
    lppe->th32ProcessID = e.first;
    lppe->cntThreads = 1;
    return &e;
}
}  // extern "C++"

static BOOL SnapshotEntry(HANDLE hSnapshot, LPPROCESSENTRY32W lppe, bool first) {
    const SnapshotEntryData* e = NextSnapshotEntry(hSnapshot, lppe, first);
    if (!e)
        return FALSE;
    std::u16string name = winsim::FromUtf8(e->second).substr(0, MAX_PATH - 1);
    memcpy(lppe->szExeFile, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

static BOOL SnapshotEntryAnsi(HANDLE hSnapshot, LPPROCESSENTRY32 lppe, bool first) {
    const SnapshotEntryData* e = NextSnapshotEntry(hSnapshot, lppe, first);
    if (!e)
        return FALSE;
    // Windows 9x reports the program's full path, NT the file name alone.
    std::string name = winsim::ToAnsi(winsim::FromUtf8(Current().system.Is9x() ? e->full : e->second),
                                      Current().system.acp)
                           .substr(0, MAX_PATH - 1);
    memcpy(lppe->szExeFile, name.c_str(), name.size() + 1);
    return TRUE;
}

BOOL WINAPI Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) {
    winsim::RequireSystemExport("kernel32.dll", "Process32First");
    SIM_FAULT("Process32First", "", FALSE);
    return SnapshotEntryAnsi(hSnapshot, lppe, true);
}

BOOL WINAPI Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) {
    winsim::RequireSystemExport("kernel32.dll", "Process32Next");
    SIM_FAULT("Process32Next", "", FALSE);
    return SnapshotEntryAnsi(hSnapshot, lppe, false);
}

BOOL WINAPI Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) {
    winsim::RequireSystemExport("kernel32.dll", "Process32FirstW");
    SIM_FAULT("Process32FirstW", "", FALSE);
    return SnapshotEntry(hSnapshot, lppe, true);
}

BOOL WINAPI Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) {
    winsim::RequireSystemExport("kernel32.dll", "Process32NextW");
    SIM_FAULT("Process32NextW", "", FALSE);
    return SnapshotEntry(hSnapshot, lppe, false);
}

NTSTATUS WINAPI NtQuerySystemInformation(ULONG SystemInformationClass, PVOID SystemInformation,
                                         ULONG SystemInformationLength, PULONG ReturnLength) {
    winsim::RequireSystemExport("ntdll.dll", "NtQuerySystemInformation");
    SIM_FAULT("NtQuerySystemInformation", std::to_string(SystemInformationClass), (NTSTATUS)0xC0000022);
    if (SystemInformationClass != SystemProcessInformation)
        return STATUS_INVALID_INFO_CLASS;
    winsim::Machine& m = Current();
    std::vector<std::pair<DWORD, std::u16string>> procs;
    // The idle process has no name; then the program under test and the others that still run.
    procs.emplace_back(0, std::u16string());
    std::string self = m.modules.MainModule() ? m.modules.PathOf(m.modules.MainModule()) : "";
    procs.emplace_back(m.system.processId, winsim::FromUtf8(FileNamePart(self)));
    Procs().Update();
    for (const auto& p : Procs().All())
        if (p->running)
            procs.emplace_back(p->pid, winsim::FromUtf8(FileNamePart(p->image)));
    // Each entry: the fixed part, then its name; entries start on 8-byte boundaries.
    std::vector<ULONG> offsets;
    ULONG used = 0;
    for (const auto& p : procs) {
        offsets.push_back(used);
        ULONG bytes = ULONG(sizeof(SYSTEM_PROCESS_INFORMATION) + (p.second.size() + 1) * sizeof(WCHAR));
        used += (bytes + 7) & ~7u;
    }
    if (ReturnLength)
        *ReturnLength = Procs().listReportsSize || used <= SystemInformationLength ? used : 0;
    if (!SystemInformation || used > SystemInformationLength)
        return STATUS_INFO_LENGTH_MISMATCH;
    BYTE* base = static_cast<BYTE*>(SystemInformation);
    memset(base, 0, used);
    for (size_t i = 0; i < procs.size(); i++) {
        SYSTEM_PROCESS_INFORMATION info;
        memset(&info, 0, sizeof(info));
        info.NextEntryOffset = i + 1 < procs.size() ? offsets[i + 1] - offsets[i] : 0;
        info.NumberOfThreads = 1;
        info.UniqueProcessId = reinterpret_cast<HANDLE>(uintptr_t(procs[i].first));
        WCHAR* text = reinterpret_cast<WCHAR*>(base + offsets[i] + sizeof(SYSTEM_PROCESS_INFORMATION));
        memcpy(text, procs[i].second.c_str(), (procs[i].second.size() + 1) * sizeof(WCHAR));
        info.ImageName.Length = USHORT(procs[i].second.size() * sizeof(WCHAR));
        info.ImageName.MaximumLength = USHORT(info.ImageName.Length + sizeof(WCHAR));
        info.ImageName.Buffer = procs[i].second.empty() ? nullptr : text;
        memcpy(base + offsets[i], &info, sizeof(info));
    }
    if (Procs().editProcessList)
        Procs().editProcessList(base, SystemInformationLength, used);
    return STATUS_SUCCESS;
}

}  // extern "C"
