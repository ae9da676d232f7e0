// The run's one observer slot.
#include "engine/RunObserver.h"

namespace {

// Stands in while nobody listens, so that the run reports without asking whether anyone does.
class CNoRunObserver : public IRunObserver {
public:
    void OnPrinterLookup(const PrinterLookup&) override {}
    void OnUnusedDriver(const FoundItem&) override {}
    void OnDecisions(const RemovalDecision&) override {}
    void OnSpoolerCycleBegins(LPCSTR) override {}
    void OnSpoolerStateSeen(DWORD) override {}
    void OnSpoolerCycleEnds(LPCSTR) override {}
};

CNoRunObserver g_noRunObserver;
IRunObserver* g_pRunObserver = &g_noRunObserver;

}  // namespace

IRunObserver& RunObserver() {
    return *g_pRunObserver;
}

void SetRunObserver(IRunObserver* observer) {
    g_pRunObserver = observer ? observer : &g_noRunObserver;
}
