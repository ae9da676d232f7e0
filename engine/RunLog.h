// The run log: one JSON object per line (JSON Lines, UTF-8) for every event of a command-line run.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxcoll.h"
#include "afx/afxhandles.h"
#include "afx/afxstr.h"
#include "engine/Changes.h"
#include "engine/PrinterEntry.h"

// `text` (ANSI code page) as a JSON string literal in UTF-8, quotes included: quotes, backslashes and
// control characters escaped.
CString JsonString(const CString& text);

// One JSON object built field by field; the values are ANSI text converted to UTF-8.
class CJsonLine {
public:
    CJsonLine& Text(LPCSTR field, const CString& value);
    CJsonLine& Number(LPCSTR field, long long value);
    CJsonLine& Bool(LPCSTR field, BOOL value);
    CJsonLine& Texts(LPCSTR field, const std::vector<CString>& values);
    // `json` is already a JSON value (an object or an array).
    CJsonLine& Raw(LPCSTR field, const CString& json);
    CString Close() const { return "{" + m_strBody + "}"; }

private:
    void Field(LPCSTR field);
    CString m_strBody;
};

class CRunLog : public IChangeObserver {
public:
    // The process's one log; it writes nothing until Open succeeds.
    static CRunLog& Get();

    // Opens `path` for appending (created if missing, shared for reading and writing); the API's code.
    DWORD Open(const CString& path);
    BOOL IsOpen() const { return m_file.IsValid(); }
    // Ends the log's part in the run: the change layer's observer goes back to the one before.
    void Close();

    // Appends one line; the time is not added.
    void Write(const CJsonLine& line);

    // Sees every change before handing it to the observer that was there before Open.
    void OnChange(const ChangeEvent& event) override;

    // The decisions a removal took for `target` on `list`: the driver's other users, each file kept or
    // deleted and who still lists it (or the copy that replaced it), whether it is the only Brontal printer.
    void Decisions(CObList& list, CPrinterEntry& target, int shared, int onlyBrontal);

    // The spooler cycle: begun when its stop is asked for, each state seen, its end.
    void SpoolerCycleBegins(LPCSTR phase);
    void SpoolerStateSeen(DWORD state);
    void SpoolerCycleEnds(LPCSTR outcome);

private:
    CRunLog() {}
    CKernelHandle m_file;
    BOOL m_bCycle = FALSE;
    CString m_strPhase;
    std::vector<CString> m_states;
    DWORD m_dwCycleStart = 0;
};

inline CRunLog& RunLog() {
    return CRunLog::Get();
}

// Names used in the log for a change's kind, a registry root and a service state.
LPCSTR ChangeKindName(ChangeKind kind);
LPCSTR ServiceStateName(DWORD state);
