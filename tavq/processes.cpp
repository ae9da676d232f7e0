// The program file name of a running process, found by whichever process list the running Windows offers.
#include "tavq.h"
#include "handles.h"
#include "wide.h"

#include <string.h>
#include <tlhelp32.h>

namespace {

// Bound on the processes walked in one list.
const int kMaxProcesses = 65536;

// ntdll's process list: the information class, the status that asks for a larger buffer, and the
// first fields of each entry, laid out alike from NT 4 on.
const ULONG kSystemProcessInformation = 5;
const LONG kStatusInfoLengthMismatch = (LONG)0xC0000004;
const ULONG kFirstListBytes = 64 * 1024;
const ULONG kMaxListBytes = 16 * 1024 * 1024;
const int kMaxListTries = 8;
struct ProcessListEntry {
    ULONG NextEntryOffset;
    ULONG NumberOfThreads;
    BYTE Reserved1[48];
    USHORT ImageNameLength;
    USHORT ImageNameMaximumLength;
    PWSTR ImageNameBuffer;
    LONG BasePriority;
    HANDLE UniqueProcessId;
};

typedef HANDLE(WINAPI* CreateSnapshotFn)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* WalkWideFn)(HANDLE snapshot, PROCESSENTRY32W* entry);
typedef BOOL(WINAPI* WalkAnsiFn)(HANDLE snapshot, PROCESSENTRY32* entry);
typedef LONG(WINAPI* QuerySystemInformationFn)(ULONG infoClass, PVOID buffer, ULONG bytes, PULONG needed);

// The export `name` of a library the process has loaded anyway, or NULL where this Windows lacks it.
template <class Fn>
Fn SystemExport(LPCSTR library, LPCSTR name) {
    HMODULE module = GetModuleHandleA(library);
    FARPROC proc = module ? GetProcAddress(module, name) : NULL;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(proc));
}

// Copies the file name part of `path` (`chars` characters, not necessarily terminated) into `name`.
void FileNamePart(LPCWSTR path, int chars, LPWSTR name, int capacity) {
    int start = 0;
    int end = 0;
    while (end < chars && path[end]) {
        if (path[end] == '\\')
            start = end + 1;
        end++;
    }
    int n = 0;
    for (int i = start; i < end && n < capacity - 1; i++)
        name[n++] = path[i];
    name[n] = 0;
}

// Windows 2000 and later (the UTF-16 entries), and Windows 9x with the 8-bit ones.
ImageLookup FromSnapshot(DWORD pid, LPWSTR name, int capacity, bool wide) {
    CreateSnapshotFn create = SystemExport<CreateSnapshotFn>("kernel32.dll", "CreateToolhelp32Snapshot");
    WalkWideFn firstW = SystemExport<WalkWideFn>("kernel32.dll", "Process32FirstW");
    WalkWideFn nextW = SystemExport<WalkWideFn>("kernel32.dll", "Process32NextW");
    WalkAnsiFn firstA = SystemExport<WalkAnsiFn>("kernel32.dll", "Process32First");
    WalkAnsiFn nextA = SystemExport<WalkAnsiFn>("kernel32.dll", "Process32Next");
    if (!create || (wide && (!firstW || !nextW)) || (!wide && (!firstA || !nextA)))
        return kImageUnknown;
    tavq::CKernelHandle snapshot(create(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid())
        return kImageUnknown;
    PROCESSENTRY32W entryW;
    PROCESSENTRY32 entryA;
    entryW.dwSize = sizeof(entryW);
    entryA.dwSize = sizeof(entryA);
    BOOL more = wide ? firstW(snapshot, &entryW) : firstA(snapshot, &entryA);
    for (int i = 0; more && i < kMaxProcesses; i++) {
        DWORD id = wide ? entryW.th32ProcessID : entryA.th32ProcessID;
        if (id == pid) {
            if (wide) {
                FileNamePart(entryW.szExeFile, MAX_PATH, name, capacity);
                return kImageFound;
            }
            // Windows 9x gives the full path in the ANSI code page; its backslashes are told apart from
            // double-byte trail bytes only once converted.
            WCHAR path[MAX_PATH];
            int chars = MultiByteToWideChar(CP_ACP, 0, entryA.szExeFile, MAX_PATH, path, MAX_PATH);
            if (chars <= 0)
                return kImageUnknown;
            FileNamePart(path, chars, name, capacity);
            return kImageFound;
        }
        more = wide ? nextW(snapshot, &entryW) : nextA(snapshot, &entryA);
    }
    // A list cut short by a failing call proves nothing.
    return more || GetLastError() != ERROR_NO_MORE_FILES ? kImageUnknown : kNoSuchProcess;
}

// NT 4 and later: the system's process list, a buffer of chained entries that is read as untrusted input.
ImageLookup FromSystemList(DWORD pid, LPWSTR name, int capacity) {
    QuerySystemInformationFn query = SystemExport<QuerySystemInformationFn>("ntdll.dll", "NtQuerySystemInformation");
    if (!query)
        return kImageUnknown;
    ULONG bytes = kFirstListBytes;
    tavq::CLocalBuffer list;
    ULONG got = 0;
    LONG status = kStatusInfoLengthMismatch;
    for (int tries = 0; tries < kMaxListTries && status == kStatusInfoLengthMismatch; tries++) {
        if (!list.Allocate(bytes))
            return kImageUnknown;
        got = 0;
        status = query(kSystemProcessInformation, list.Data(), bytes, &got);
        if (status != kStatusInfoLengthMismatch)
            break;
        // NT 4 does not say how much it needs; later systems do, and the list may grow meanwhile.
        ULONG next = got > bytes ? got + got / 4 : bytes * 2;
        if (next <= bytes || next > kMaxListBytes)
            return kImageUnknown;
        bytes = next;
    }
    if (status != 0)
        return kImageUnknown;
    if (got == 0 || got > bytes)
        got = bytes;
    const BYTE* base = static_cast<const BYTE*>(list.Data());
    ULONG offset = 0;
    for (int i = 0; i < kMaxProcesses; i++) {
        if (offset > got || got - offset < sizeof(ProcessListEntry))
            return kImageUnknown;
        ProcessListEntry entry;
        memcpy(&entry, base + offset, sizeof(entry));
        if ((DWORD)(ULONG_PTR)entry.UniqueProcessId == pid) {
            // The name must lie inside the list itself.
            ULONG_PTR start = (ULONG_PTR)base;
            ULONG_PTR text = (ULONG_PTR)entry.ImageNameBuffer;
            ULONG length = entry.ImageNameLength;
            if (length == 0 || length % sizeof(WCHAR) != 0 || text < start || text - start > got ||
                got - (text - start) < length)
                return kImageUnknown;
            WCHAR path[MAX_PATH];
            int chars = (int)(length / sizeof(WCHAR));
            if (chars >= MAX_PATH)
                chars = MAX_PATH - 1;
            memcpy(path, base + (text - start), chars * sizeof(WCHAR));
            path[chars] = 0;
            FileNamePart(path, chars, name, capacity);
            return kImageFound;
        }
        if (entry.NextEntryOffset == 0)
            return kNoSuchProcess;
        if (entry.NextEntryOffset < sizeof(ProcessListEntry) || entry.NextEntryOffset > got - offset)
            return kImageUnknown;
        offset += entry.NextEntryOffset;
    }
    return kImageUnknown;
}

}  // namespace

ImageLookup ProcessImageName(DWORD pid, LPWSTR name, int capacity) {
    if (!name || capacity <= 0)
        return kImageUnknown;
    name[0] = 0;
    // Each list this Windows lacks, or that fails, hands over to the next one.
    ImageLookup result = FromSnapshot(pid, name, capacity, true);
    if (result == kImageUnknown)
        result = FromSnapshot(pid, name, capacity, false);
    if (result == kImageUnknown)
        result = FromSystemList(pid, name, capacity);
    return result;
}
