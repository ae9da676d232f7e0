// A workstation for tavq's tests: user jdoe of domain CORP, Trellin running, the driver's copy of tavq.dll.
#pragma once

#include <gtest/gtest.h>

#include "tavq_fixture.h"

#include <algorithm>
#include <string>

inline const char* const kDriverCopy = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\tavq.dll";

class TavqTest : public ::testing::Test {
protected:
    TavqTest() {
        m->modules.InstallSystemLibraries();
        m->modules.SetMainModule("C:\\Program Files\\Trellin\\Trellin.exe", winsim::ModuleImage());
        m->system.userName = "jdoe";
        m->system.env["USERNAME"] = "jdoe";
        m->system.env["USERDOMAIN"] = "CORP";
        m->files.CreateDirectory(m->shell.DesktopDirectory());
        RegisterTavq(*m, kDriverCopy);
    }

    // Loads the driver's copy, calls export `name` in its own calling shape, unloads it, as a caller does.
    int Call(const std::string& name = "Delete") {
        HMODULE lib = LoadLibraryA(kDriverCopy);
        EXPECT_NE(nullptr, lib);
        if (!lib)
            return -1;
        FARPROC entry = GetProcAddress(lib, name.c_str());
        EXPECT_NE(nullptr, entry) << name;
        int result = -1;
        if (entry && name.compare(0, 3, "run") != 0 && name.compare(0, 7, "autorun") != 0) {
            result = reinterpret_cast<int (*)(void)>(entry)();
        } else if (entry) {
            // The arguments are arbitrary: the entry must ignore them.
            result = reinterpret_cast<int (*)(HWND, HINSTANCE, LPSTR, int)>(entry)(
                reinterpret_cast<HWND>(0x1234), reinterpret_cast<HINSTANCE>(0x5678), const_cast<LPSTR>("/x y"), 7);
        }
        FreeLibrary(lib);
        return result;
    }

    // Nothing the call opened or allocated is left over, and the thread's COM count is back where it was.
    void ExpectNothingLeft(int comCount = 0) {
        EXPECT_EQ(0u, m->system.handles.Live());
        EXPECT_EQ(0u, m->system.globals.LiveBlocks());
        EXPECT_EQ(0u, m->registry.OpenKeyCount());
        EXPECT_EQ(0, m->shell.liveFolders);
        EXPECT_TRUE(m->shell.taskMemory.empty());
        EXPECT_EQ(comCount, m->shell.comInitCount);
        EXPECT_FALSE(m->modules.IsLoaded(kDriverCopy));
    }

    bool Traced(const std::string& call) {
        const auto& trace = m->faults.Trace();
        return std::find(trace.begin(), trace.end(), call) != trace.end();
    }

    winsim::ScopedMachine m;
};
