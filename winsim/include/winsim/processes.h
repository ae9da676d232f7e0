// Other processes of the simulated session: their images, exit on termination, files they hold and named mutexes.
#pragma once
#include <winsim/wintypes.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace winsim {

// A program running beside the one under test (the monitoring application, an unrelated program...).
struct SimProcess {
    DWORD pid = 0;
    // Full path of its program file; the snapshot reports its file name part.
    std::string image;
    bool running = true;
    DWORD exitCode = 259;  // STILL_ACTIVE
    // Virtual time between TerminateProcess and the process's end; `hangs`: it never ends.
    uint64_t exitDelayMs = 0;
    bool hangs = false;
    // OpenProcess of this process fails with ERROR_ACCESS_DENIED (a service, another user's program).
    bool denyOpen = false;
    // Files it keeps open (deletion fails) and named mutexes it holds, both until it ends.
    std::vector<std::string> openFiles;
    std::vector<std::string> mutexes;
    // What was done to it: successful OpenProcess calls and TerminateProcess calls that reached it.
    int opens = 0;
    int terminations = 0;
    bool terminating = false;
    uint64_t exitAt = 0;
};

// A named mutex of the session. Names are case-sensitive, as kernel object names are.
struct NamedMutex {
    std::string name;
    // Handles the program under test has open on it, and other processes that hold it.
    int handles = 0;
    std::set<DWORD> holders;
    // Owned by the program under test (WaitForSingleObject, CreateMutex with initial ownership).
    int ownedCount = 0;
    // OpenMutexW fails with ERROR_ACCESS_DENIED (created by another user with a strict ACL).
    bool denyOpen = false;
};

class Processes {
public:
    // Starts another process; pid 0 picks a fresh one. The process holds open its files and mutexes.
    SimProcess& Start(const std::string& image, DWORD pid = 0);
    // The process with that id, running or ended; null when none was ever started.
    SimProcess* Find(DWORD pid);
    // The process starts holding the mutex `name` (created when missing) and the file `path` open.
    void HoldMutex(SimProcess& process, const std::string& name);
    void HoldFile(SimProcess& process, const std::string& path);
    // Ends a process at once, releasing its files and mutexes.
    void Exit(SimProcess& process, DWORD exitCode);
    // Ends the processes whose termination has taken its time by the machine's clock.
    void Update();

    bool MutexExists(const std::string& name);
    // The named mutex, or null; drops mutexes nobody holds or has open any more.
    NamedMutex* FindMutex(const std::string& name);
    std::shared_ptr<NamedMutex> CreateMutex(const std::string& name, bool* existed);
    const std::vector<std::unique_ptr<SimProcess>>& All() const { return m_processes; }

    // ntdll's process list: whether a call with too small a buffer says how large it must be (else
    // ReturnLength stays 0 and the caller has to guess), and a hook that may rewrite a list after it
    // was written into the caller's buffer of `capacity` bytes, `used` of them filled (hostile lists).
    bool listReportsSize = true;
    std::function<void(BYTE* buffer, ULONG capacity, ULONG used)> editProcessList;

private:
    void Collect();

    std::vector<std::unique_ptr<SimProcess>> m_processes;
    std::map<std::string, std::shared_ptr<NamedMutex>> m_mutexes;
    DWORD m_nextPid = 0x5a0;
};

}  // namespace winsim
