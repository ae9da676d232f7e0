// Entry of the conformance tests on the simulated machine: a fresh workstation per test.
#include "conformance.h"

#include <winsim/machine.h>

namespace conformance {
int RunAll(int argc, char** argv, void (*wrap)(TestFn));

bool OnSim() {
    return true;
}

HINSTANCE TestModule() {
    return nullptr;
}
}  // namespace conformance

static void RunOnFreshMachine(conformance::TestFn fn) {
    winsim::ScopedMachine machine;
    try {
        fn();
    } catch (const winsim::SimAbort& e) {
        conformance::Ok(false, __FILE__, __LINE__, "simulation aborted: %s", e.what());
    }
}

int main(int argc, char** argv) {
    return conformance::RunAll(argc, argv, RunOnFreshMachine);
}
