// The current-machine registry of the simulation.
#include <winsim/machine.h>

#include <stdio.h>
#include <stdlib.h>

namespace winsim {

namespace {
Machine* g_current = nullptr;
}

Machine::Machine() = default;
Machine::~Machine() = default;

Machine& Current() {
    if (!g_current) {
        fprintf(stderr, "winsim: a Win32 call was made with no simulated machine installed\n");
        abort();
    }
    return *g_current;
}

bool HasCurrent() {
    return g_current != nullptr;
}

ScopedMachine::ScopedMachine() : m_machine(new Machine), m_previous(g_current) {
    g_current = m_machine;
}

ScopedMachine::~ScopedMachine() {
    g_current = m_previous;
    delete m_machine;
}

}  // namespace winsim
