// The dry run: a machine that changes nothing. It answers what each change would meet as the real run would
// meet it, records what the change removes so that later steps find it gone, and reports the change as one
// it would make.
#pragma once

#include <set>

#include "engine/ChangeMachine.h"
#include "engine/KeySet.h"

class CDryRunMachine : public IChangeMachine {
public:
    DWORD Blocker(const ChangeEvent& change, HKEY key, SC_HANDLE service) override;
    void Make(ChangeEvent& change, const ChangeCall& call) override;
    LONG OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access) override;
    BOOL DeletedPrinter(const CString& printerName) const override;

    // Forgets what an earlier dry run deleted and started.
    void Forget();

private:
    // The code a deletion of the file would fail with (it is missing, read-only or in use); 0 when it would go.
    DWORD FileBlocker(const CString& path) const;

    // What the run has deleted so far: keys and values, upper-cased file paths and printer names. Services
    // it would have started are running for its later steps.
    CKeySet m_registry;
    std::set<CString> m_files, m_printers, m_started;
};
