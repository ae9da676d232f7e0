// The simulated shell: the user's desktop folder, item-id lists, and the thread's component object runtime.
#pragma once
#include <winsim/wintypes.h>

#include <map>
#include <string>

namespace winsim {

struct Shell {
    // CSIDL_DESKTOPDIRECTORY; empty: the profile folder's "Desktop" (%USERPROFILE%\Desktop).
    std::string desktopDir;
    // The special folder is not there (a profile without a desktop): SHGetSpecialFolderLocation fails.
    bool desktopMissing = false;

    // CoInitialize count of the thread: CoUninitialize calls still owed.
    int comInitCount = 0;
    // Objects the program has not released or freed yet (leak checks).
    int liveFolders = 0;
    std::map<void*, std::string> idLists;
    // Every CoTaskMem block still allocated, with its size.
    std::map<void*, size_t> taskMemory;

    std::string DesktopDirectory() const;
};

}  // namespace winsim
