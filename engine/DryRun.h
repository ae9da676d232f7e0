// The dry run: a machine that changes nothing. It answers what each change would meet as the real run would
// meet it, records what the change removes so that later steps find it gone, and reports the change as one
// it would make.
#pragma once

#include <map>
#include <set>

#include "engine/ChangeMachine.h"
#include "engine/KeySet.h"

class CDryRunMachine : public IChangeMachine {
public:
    DWORD Blocker(const ChangeEvent& change, HKEY key, SC_HANDLE service) override;
    void Make(ChangeEvent& change, const ChangeCall& call) override;
    LONG OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access) override;
    LONG EnumSubKey(HKEY key, HKEY root, const CString& path, DWORD index, LPSTR name, DWORD* cch) override;
    BOOL QueryServiceState(SC_HANDLE service, const CString& name, SERVICE_STATUS* status) override;
    BOOL DeletedPrinter(const CString& printerName) const override;
    BOOL CompanionEffectsShow() const override { return FALSE; }

    // Forgets what an earlier dry run deleted, stopped and started.
    void Forget();

private:
    // The code a deletion of the file would fail with (it is missing, read-only or in use); 0 when it would go.
    DWORD FileBlocker(const CString& path) const;

    // What the run has deleted so far: keys and values, upper-cased file paths and printer names.
    CKeySet m_registry;
    std::set<CString> m_files, m_printers;
    // The state each service the run stopped (SERVICE_STOPPED) or started (SERVICE_RUNNING) is in for its
    // later steps, by upper-cased name.
    std::map<CString, DWORD> m_services;
    // Per key (its tag) whose sub-keys the run is deleting one by one: the real sub-keys below this index
    // are all deleted, so the next look starts there and a wide key costs one pass.
    std::map<CString, DWORD> m_deletedBelow;
};
