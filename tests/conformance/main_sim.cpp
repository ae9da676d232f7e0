// Entry of the conformance tests on the simulated machine: a fresh workstation per test.
#include "conformance.h"
#include "conformance_drv.h"

#include <winsim/machine.h>

#include <stdlib.h>

namespace conformance {
int RunAll(int argc, char** argv, void (*wrap)(TestFn));

bool OnSim() {
    return true;
}

HINSTANCE TestModule() {
    return winsim::Current().modules.MainModule();
}
}  // namespace conformance

// A default workstation (Windows XP, English, code page 1252) running C:\Tests\conformance.exe, whose
// resources are those of conformance.rc. CONFORMANCE_ACP=932 makes it a Japanese one.
static void SetUpWorkstation(winsim::Machine& m) {
    if (const char* acp = getenv("CONFORMANCE_ACP")) {
        unsigned cp = unsigned(strtoul(acp, nullptr, 10));
        if (cp == 932)
            m.system.SetLocale(0x0411);
        m.system.acp = cp;
    }
    m.modules.InstallSystemLibraries();
    winsim::ModuleImage exe;
    exe.resFile = CONFORMANCE_RES;
    m.modules.SetMainModule("C:\\Tests\\conformance.exe", exe);
    m.system.commandLine = "C:\\Tests\\conformance.exe";
    // conformance_drv.dll lies beside the program, as the Windows build puts it.
    winsim::ModuleImage drv;
    drv.exports["DeletePrinter"] = reinterpret_cast<FARPROC>(&ConformanceDrvDeletePrinter);
    m.modules.Register("C:\\Tests\\conformance_drv.dll", drv);
}

static void RunOnFreshMachine(conformance::TestFn fn) {
    winsim::ScopedMachine machine;
    try {
        SetUpWorkstation(*machine);
        fn();
    } catch (const winsim::SimAbort& e) {
        conformance::Ok(false, __FILE__, __LINE__, "simulation aborted: %s", e.what());
    }
}

int main(int argc, char** argv) {
    return conformance::RunAll(argc, argv, RunOnFreshMachine);
}
