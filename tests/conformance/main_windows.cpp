// Entry of the conformance tests on Windows or Wine: the real Win32 implementation.
#include "conformance.h"

namespace conformance {
int RunAll(int argc, char** argv, void (*wrap)(TestFn));

bool OnSim() {
    return false;
}

HINSTANCE TestModule() {
    return GetModuleHandleA(NULL);
}
}  // namespace conformance

static void RunDirect(conformance::TestFn fn) {
    fn();
}

int main(int argc, char** argv) {
    return conformance::RunAll(argc, argv, RunDirect);
}
