// CUninstallApp: the application object; decides between one interactive run and one run per named printer.
#pragma once

#include "afx/afxwin.h"

// Most printers one command line can name.
#define MAX_CMDLINE_PRINTERS 5

class CUninstallApp : public CWinApp {
public:
    CUninstallApp() : CWinApp(NULL) {}
    ~CUninstallApp() override {}
    // Always FALSE: the program ends when the last dialog is gone.
    BOOL InitInstance() override;
    // The process exit code: 0 for an interactive run; for a command line the first failed name's
    // code, else 3010 when a removal waits for the restart, else 0.
    int ExitInstance() override { return (int)m_nExitCode; }

    DWORD m_nExitCode = 0;
};

// Combines the outcome of one more command-line run into the run's exit code: the first failure
// wins over a needed restart, which wins over success.
DWORD CombineExitCodes(DWORD sofar, DWORD next);

// Splits a command line at ',' into at most MAX_CMDLINE_PRINTERS names (untrimmed) and returns
// how many slots it filled. An empty rest after the last ',' ends the split without a name.
int SplitCommandLine(LPCSTR commandLine, CString names[MAX_CMDLINE_PRINTERS]);
// How many names the command line holds, split as SplitCommandLine splits it but without a limit.
int CountCommandLineNames(LPCSTR commandLine);
