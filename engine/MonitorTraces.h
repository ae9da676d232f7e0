// What is left of the monitoring application Tallyvue for the current user: the places its companion library
// tavq.dll removes, found without changing anything.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxstr.h"

enum MonitorTraceKind { TRACE_SHORTCUT, TRACE_AUTOSTART, TRACE_SETTINGS, TRACE_FOLDER };

struct MonitorTrace {
    MonitorTraceKind kind;
    // The shortcut's file, the program folder, or the key's path below `root` for the registry traces.
    CString where;
    // HKEY_CURRENT_USER for the autostart value and the settings key; NULL for the file-system traces.
    HKEY root;
    // The autostart value's name; empty for the others.
    CString value;
};

// "shortcut", "autostart", "settings", "folder".
LPCSTR MonitorTraceName(MonitorTraceKind kind);

// The traces that are there, in the order the library removes them: desktop shortcut, autostart value,
// settings key, program folder. Reads only.
std::vector<MonitorTrace> FindMonitorTraces();
