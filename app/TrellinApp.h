// CUninstallApp: the application object; decides between one interactive run and one run per named printer.
#pragma once

#include "afx/afxwin.h"
#include "engine/RemovalRun.h"

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

private:
    // Runs the named printers' removals (or the interactive dialog when there are none).
    void RunRemovals(const CString& names);
    // Removes everything of Brontal's in one unattended run; logs each printer's and driver's outcome.
    void RunEverything();
    // Reports what is left of Brontal's on the workstation; changes nothing. 1 when anything is, else 0.
    void ListRemains();
};

// The leading options of a command line, each a blank-separated token before the names:
// "/?", "/whatif", "/all", "/list", "/log:<path>", "/backup:<folder>"; a path with blanks is quoted
// ("/log:"C:\a b\x.log""), and environment variables in it are expanded ("%COMPUTERNAME%").
struct CommandLineOptions {
    BOOL usage = FALSE;
    BOOL whatIf = FALSE;
    BOOL all = FALSE;   // every Brontal printer and every Brontal driver no printer uses
    BOOL list = FALSE;  // detection: reports what is left, changes nothing
    BOOL log = FALSE;
    CString logPath;
    BOOL backup = FALSE;
    CString backupFolder;
    // Everything from the first token that is not a known option on, as the names are read without options.
    CString names;
    // ERROR_INVALID_PARAMETER for an option given twice, an unknown "/" token before the names, an option
    // without its value or an unclosed quote, "/whatif" without names or /all, names beside /all or /list,
    // /list beside /all, /whatif or /backup; else 0.
    DWORD error = ERROR_SUCCESS;
    CString errorText;  // what was wrong, for the log
};
// Reads the leading options of `commandLine`; its result is options.error, the first error found. After
// an error the options are still read (a later /log is still opened), except after a value that cannot
// be read.
DWORD ParseCommandLine(LPCSTR commandLine, CommandLineOptions& options);

// Exit codes of the options themselves.
#define EXIT_USAGE_ERROR ERROR_INVALID_PARAMETER  // 87: the command line could not be read
#define EXIT_LOG_UNUSABLE ERROR_OPEN_FAILED       // 110: the log file could not be opened
#define EXIT_BACKUP_UNUSABLE ERROR_CANNOT_MAKE    // 82: the backup could not be written

// Splits a command line at ',' into at most MAX_CMDLINE_PRINTERS names (untrimmed) and returns
// how many slots it filled. An empty rest after the last ',' ends the split without a name.
int SplitCommandLine(LPCSTR commandLine, CString names[MAX_CMDLINE_PRINTERS]);
// How many names the command line holds, split as SplitCommandLine splits it but without a limit.
int CountCommandLineNames(LPCSTR commandLine);
