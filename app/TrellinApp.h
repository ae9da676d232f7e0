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
};

// Splits a command line at ',' into at most MAX_CMDLINE_PRINTERS names (untrimmed) and returns
// how many slots it filled. An empty rest after the last ',' ends the split without a name.
int SplitCommandLine(LPCSTR commandLine, CString names[MAX_CMDLINE_PRINTERS]);
