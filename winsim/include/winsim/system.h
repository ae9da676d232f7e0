// The simulated system facts: version, locale, folders, names, process, kernel handles and global memory.
#pragma once
#include <winsim/wintypes.h>

#include <map>
#include <memory>
#include <string>

namespace winsim {

enum class Os { Win95, Win98, WinMe, NT4, Win2000, WinXP, Win2003, Vista, Win7 };

// Something a kernel HANDLE refers to (an open file, a find search, later mutexes and processes).
class KernelObject {
public:
    virtual ~KernelObject() = default;
    virtual const char* Kind() const = 0;
};

// The process's handle table: small multiples of 4, as Windows hands them out.
class HandleTable {
public:
    HANDLE Add(std::shared_ptr<KernelObject> object);
    // The object behind `handle` if it is open and of type T, else nullptr.
    template <class T>
    T* Get(HANDLE handle) const {
        auto it = m_objects.find(reinterpret_cast<uintptr_t>(handle));
        return it == m_objects.end() ? nullptr : dynamic_cast<T*>(it->second.get());
    }
    std::shared_ptr<KernelObject> Find(HANDLE handle) const;
    // False when the handle was not open.
    bool Remove(HANDLE handle);
    // Calls f(HANDLE, KernelObject&) for every open handle, in handle order.
    template <class F>
    void ForEach(F f) const {
        for (const auto& o : m_objects)
            f(reinterpret_cast<HANDLE>(o.first), *o.second);
    }
    // Open handles of the given kind (all kinds when null): for leak checks.
    size_t Live(const char* kind = nullptr) const;

private:
    std::map<uintptr_t, std::shared_ptr<KernelObject>> m_objects;
    uintptr_t m_next = 0x40;
};

// Blocks from GlobalAlloc/LocalAlloc, tracked so tests can check that every one was freed.
class GlobalHeap {
public:
    GlobalHeap() = default;
    ~GlobalHeap();
    GlobalHeap(const GlobalHeap&) = delete;
    GlobalHeap& operator=(const GlobalHeap&) = delete;

    void* Alloc(size_t bytes, bool zero, bool moveable = false);
    bool Free(void* block);
    bool Owns(void* block) const { return m_blocks.count(block) != 0; }
    size_t Size(void* block) const;
    size_t LiveBlocks() const { return m_blocks.size(); }
    size_t LiveBytes() const;
    bool Moveable(void* block) const;
    // Lock count of a moveable block (fixed blocks are never locked).
    int& LockCount(void* block) { return m_blocks[block].locks; }

private:
    struct Block {
        size_t size = 0;
        int locks = 0;
        bool moveable = false;
    };
    std::map<void*, Block> m_blocks;
};

struct SystemInfo {
    // A Windows XP SP3 workstation, English (United States), code page 1252.
    SystemInfo();

    // Sets platform, version numbers and service pack, and the Windows, system and temp folders typical of
    // `os`; when this is the current machine's, the folders are also created in its file system.
    void SetOs(Os os);
    // Sets lcid, language (LOCALE_SENGLANGUAGE) and the ANSI/OEM code pages for one of the product's
    // languages: 0x0409 English, 0x0411 Japanese, 0x040C French, 0x0410 Italian, 0x0407 German,
    // 0x0C0A Spanish, 0x0413 Dutch, 0x0416 Portuguese (Brazil).
    void SetLocale(LCID lcid);
    bool IsNT() const { return platformId == 2; }
    bool Is9x() const { return platformId == 1; }

    Os os = Os::WinXP;
    DWORD platformId = 2;
    DWORD major = 5, minor = 1, build = 2600;
    std::string csdVersion = "Service Pack 3";
    WORD servicePackMajor = 3, servicePackMinor = 0;

    // The program runs as a 32-bit process on 64-bit Windows: IsWow64Process says so.
    bool wow64 = false;

    LCID lcid = 0x0409;
    // What LOCALE_SENGLANGUAGE gives for the user's default locale.
    std::string language = "English";
    unsigned acp = 1252;
    unsigned oemcp = 437;

    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\system32";
    // GetTempPathA's result, with its trailing backslash.
    std::string tempDir;
    std::string computerName = "WORKSTATION";
    std::string userName = "Operator";
    // What GetCommandLineA returns.
    std::string commandLine = "\"C:\\Program Files\\Trellin\\Trellin.exe\"";
    // The running program's folder, first in the SearchPathA order; empty: the folder of the
    // command line's program.
    std::string programDir;
    // Environment block; names are matched case-insensitively by the calls.
    std::map<std::string, std::string> env;
    DWORD processId = 0x3a8;

    HandleTable handles;
    // The process's standard handles (GetStdHandle): a GUI program started without redirection has none.
    HANDLE stdInput = NULL;
    HANDLE stdOutput = NULL;
    HANDLE stdError = NULL;
    GlobalHeap globals;

private:
    void ResetEnvironment();
};

}  // namespace winsim
