// The application object, the command-line split and the process-wide objects, in their construction order.
#include "app/TrellinApp.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "engine/Backup.h"
#include "engine/Changes.h"
#include "engine/PrinterList.h"
#include "engine/RunLog.h"
#include "engine/RunObserver.h"
#include "ui/Language.h"
#include "ui/UninstallDlg.h"
#include "ui/UsageBox.h"
#include "ui/resource.h"

CUninstallApp theApp;

int CountCommandLineNames(LPCSTR commandLine) {
    CString rest = commandLine;
    int count = 0;
    for (;;) {
        int comma = rest.Find(',');
        if (comma < 0)
            return rest.IsEmpty() ? count : count + 1;
        count++;
        rest = rest.Mid(comma + 1);
        if (rest.IsEmpty())
            return count;
    }
}

int SplitCommandLine(LPCSTR commandLine, CString names[MAX_CMDLINE_PRINTERS]) {
    CString rest = commandLine;
    int count = 0;
    while (count < MAX_CMDLINE_PRINTERS) {
        int comma = rest.Find(',');
        if (comma < 0) {
            if (!rest.IsEmpty())
                names[count++] = rest;
            break;
        }
        names[count++] = rest.Left(comma);
        rest = rest.Mid(comma + 1);
        // A trailing ',' names nothing more: a last empty run would only cycle the spooler.
        if (rest.IsEmpty())
            break;
    }
    return count;
}

namespace {

BOOL IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The value after "/log:" or "/backup:" at commandLine[at]: up to the next blank, or between quotes.
// FALSE when it is empty or its quote is not closed.
BOOL ReadOptionValue(LPCSTR commandLine, int& at, CString& value) {
    if (commandLine[at] == '"') {
        LPCSTR close = strchr(commandLine + at + 1, '"');
        if (!close)
            return FALSE;
        value = CString(commandLine + at + 1).Left((int)(close - commandLine) - at - 1);
        at = (int)(close - commandLine) + 1;
        // A quote closes the value only at the token's end.
        if (commandLine[at] != '\0' && !IsBlank(commandLine[at]))
            return FALSE;
    } else {
        int end = at;
        while (commandLine[end] != '\0' && !IsBlank(commandLine[end]))
            end++;
        value = CString(commandLine + at).Left(end - at);
        at = end;
    }
    return !value.IsEmpty();
}

BOOL StartsWithNoCase(LPCSTR text, LPCSTR prefix) {
    return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

// Records a usage error; the first one found is the one reported.
DWORD UsageError(CommandLineOptions& options, const CString& text) {
    if (options.error == ERROR_SUCCESS) {
        options.error = ERROR_INVALID_PARAMETER;
        options.errorText = text;
    }
    return options.error;
}

// The options that are a word alone, and the field each sets.
struct Switch {
    LPCSTR name;
    BOOL CommandLineOptions::*field;
};
const Switch kSwitches[] = {
    {"/whatif", &CommandLineOptions::whatIf},
    {"/all", &CommandLineOptions::all},
    {"/list", &CommandLineOptions::list},
};

// The switch `word` names in any letter case; NULL for none.
const Switch* FindSwitch(const CString& word) {
    for (const Switch& option : kSwitches) {
        if (_stricmp(word, option.name) == 0)
            return &option;
    }
    return NULL;
}

// `value` with its environment variables expanded, as cmd would have done for a deployment tool that
// starts the program without it; a variable that is not set stays as written.
CString ExpandVariables(const CString& value) {
    if (value.Find('%') < 0)
        return value;
    const DWORD needed = ExpandEnvironmentStringsA(value, NULL, 0);
    if (needed == 0)
        return value;
    CString expanded;
    LPSTR buffer = expanded.GetBuffer((int)needed + 1);
    const DWORD got = ExpandEnvironmentStringsA(value, buffer, needed + 1);
    // A variable that grew between the two calls leaves a cut result: the value stays as given.
    const BOOL whole = got != 0 && got <= needed + 1;
    expanded.ReleaseBuffer(whole ? -1 : 0);
    return whole ? expanded : value;
}

// The program's version, string 1 of its own resources, without the blanks around it.
CString ProgramVersion() {
    char text[64] = "";
    LoadStringA(AfxGetInstanceHandle(), IDS_VERSION, text, sizeof(text));
    CString version = text;
    version.TrimLeft();
    version.TrimRight();
    return version;
}

// The names of a command line, at most five, each trimmed of blanks.
std::vector<CString> TrimmedNames(const CString& commandLine) {
    CString split[MAX_CMDLINE_PRINTERS];
    const int count = SplitCommandLine(commandLine, split);
    std::vector<CString> names;
    for (int i = 0; i < count; ++i) {
        split[i].TrimLeft();
        split[i].TrimRight();
        names.push_back(split[i]);
    }
    return names;
}

// The log sees every change and every event of the run, beside the change layer's other observers.
void AttachLog() {
    Changes().AddObserver(&RunLog());
    SetRunObserver(&RunLog());
}

void DetachLog() {
    SetRunObserver(NULL);
    Changes().RemoveObserver(&RunLog());
    RunLog().Close();
}

}  // namespace

DWORD ParseCommandLine(LPCSTR commandLine, CommandLineOptions& options) {
    options = CommandLineOptions();
    int at = 0;
    // After an error the options are still read on, so that a log given after it records it.
    for (;;) {
        while (IsBlank(commandLine[at]))
            at++;
        LPCSTR token = commandLine + at;
        if (*token != '/')
            break;
        int end = at;
        while (commandLine[end] != '\0' && !IsBlank(commandLine[end]))
            end++;
        const CString word = CString(token).Left(end - at);
        if (word == "/?") {
            if (options.usage)
                UsageError(options, "option given twice: /?");
            options.usage = TRUE;
            at = end;
        } else if (const Switch* option = FindSwitch(word)) {
            BOOL& given = options.*option->field;
            if (given)
                UsageError(options, CString("option given twice: ") + option->name);
            given = TRUE;
            at = end;
        } else if (StartsWithNoCase(token, "/log:") || StartsWithNoCase(token, "/backup:")) {
            const BOOL isLog = StartsWithNoCase(token, "/log:");
            BOOL& given = isLog ? options.log : options.backup;
            CString value;
            at += isLog ? 5 : 8;
            // A value that cannot be read leaves no telling where the names begin: reading ends here.
            if (!ReadOptionValue(commandLine, at, value))
                return UsageError(options, isLog ? "/log needs a path" : "/backup needs a folder");
            if (given) {
                UsageError(options, isLog ? "option given twice: /log" : "option given twice: /backup");
                continue;
            }
            given = TRUE;
            (isLog ? options.logPath : options.backupFolder) = ExpandVariables(value);
        } else {
            UsageError(options, "unknown option: " + word);
            at = end;
        }
    }
    options.names = commandLine + at;
    if (options.usage)
        return options.error;
    const int named = CountCommandLineNames(options.names);
    if (named > 0 && (options.all || options.list))
        UsageError(options, options.all ? "/all takes no printer names" : "/list takes no printer names");
    if (options.list && (options.all || options.whatIf || options.backup))
        UsageError(options, "/list changes nothing: it takes no /all, /whatif or /backup");
    if (options.whatIf && named == 0 && !options.all)
        UsageError(options, "/whatif needs printer names");
    return options.error;
}

BOOL CUninstallApp::InitInstance() {
    Enable3dControls();
    m_nExitCode = ERROR_SUCCESS;

    // Without a leading "/" the command line is the names, exactly as before there were options.
    const LPCSTR firstChar = m_lpCmdLine + strspn(m_lpCmdLine, " \t");
    if (*firstChar != '/') {
        RunRemovals(m_lpCmdLine);
        return FALSE;
    }

    CommandLineOptions options;
    ParseCommandLine(m_lpCmdLine, options);
    if (options.log) {
        // Nothing is removed that the log would not record.
        if (RunLog().Open(options.logPath) != ERROR_SUCCESS) {
            m_nExitCode = options.error != ERROR_SUCCESS ? options.error : EXIT_LOG_UNUSABLE;
            return FALSE;
        }
        AttachLog();
    }
    std::vector<CString> names;
    if (options.error == ERROR_SUCCESS)
        names = TrimmedNames(options.names);
    std::vector<CString> given;
    if (options.usage)
        given.push_back("/?");
    if (options.whatIf)
        given.push_back("/whatif");
    if (options.all)
        given.push_back("/all");
    if (options.list)
        given.push_back("/list");
    if (options.log)
        given.push_back("/log:" + options.logPath);
    if (options.backup)
        given.push_back("/backup:" + options.backupFolder);
    SYSTEMTIME now;
    GetSystemTime(&now);
    char stamp[64];
    sprintf(stamp, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
            now.wSecond);
    RunLog().RunBegins(stamp, ProgramVersion(), DetectOsFamily(NULL),
                       options.usage    ? "usage"
                       : options.list   ? "list"
                       : options.whatIf ? "whatif"
                                        : "remove",
                       names, given);

    if (options.error != ERROR_SUCCESS) {
        RunLog().UsageError(options.errorText);
        m_nExitCode = options.error;
    } else if (options.usage) {
        ShowUsageBox();
        m_nExitCode = ERROR_SUCCESS;
    } else if (options.list) {
        ListRemains();
    } else {
        CRemovalBackup backup;
        DWORD ready = ERROR_SUCCESS;
        if (options.backup && !options.whatIf) {
            ready = backup.Begin(options.backupFolder);
            RunLog().BackupBegins(options.backupFolder, ready);
            if (ready == ERROR_SUCCESS)
                Changes().SetGuard(&backup);
        }
        if (ready != ERROR_SUCCESS) {
            m_nExitCode = EXIT_BACKUP_UNUSABLE;
        } else {
            Changes().SetDryRun(options.whatIf);
            if (options.all)
                RunEverything();
            else
                RunRemovals(options.names);
            Changes().SetDryRun(FALSE);
            Changes().SetGuard(NULL);
            // A change the backup could not save was not made: the run did not do all it was asked.
            if (options.backup && backup.Failed())
                m_nExitCode = EXIT_BACKUP_UNUSABLE;
        }
    }
    RunLog().Outcome(m_nExitCode);
    DetachLog();
    return FALSE;
}

void CUninstallApp::RunRemovals(const CString& commandLine) {
    if (commandLine.IsEmpty()) {
        CUninstallDlg dlg(NULL, 0, CString());
        dlg.DoModal();
        return;
    }

    for (const CString& name : TrimmedNames(commandLine)) {
        CUninstallDlg dlg(NULL, 1, name);
        const DWORD outcome = dlg.DoModal() == -1 ? (DWORD)ERROR_CAN_NOT_COMPLETE : dlg.m_run.m_nExitCode;
        m_nExitCode = CombineExitCodes(m_nExitCode, outcome);
        RunLog().PrinterOutcome(name, outcome);
    }
    // Names past the fifth are not removed: the caller must hear of it.
    if (CountCommandLineNames(commandLine) > MAX_CMDLINE_PRINTERS)
        m_nExitCode = CombineExitCodes(m_nExitCode, ERROR_BAD_ARGUMENTS);
}

void CUninstallApp::RunEverything() {
    CRemovalRun run;
    run.RunEverything();
    for (const RunItemOutcome& outcome : run.m_outcomes) {
        if (outcome.kind == ITEM_PRINTER)
            RunLog().PrinterOutcome(outcome.name, outcome.exitCode);
        else if (outcome.kind == ITEM_DRIVER)
            RunLog().DriverOutcome(outcome.name, outcome.exitCode);
        else
            RunLog().MonitorOutcome(outcome.exitCode);
    }
    m_nExitCode = CombineExitCodes(m_nExitCode, run.m_nExitCode);
}

void CUninstallApp::ListRemains() {
    // A deployment tool reads the same lines from the program's redirected output.
    RunLog().EchoFoundTo(RedirectedStdOutput());
    CRemovalRun run;
    const Remains remains = run.FindRemains();
    for (const FoundItem& printer : remains.printers)
        RunLog().FoundPrinter(printer.name, printer.driver, DriverEvidenceName(printer.evidence));
    for (const FoundItem& driver : remains.drivers)
        RunLog().FoundDriver(driver.driver, driver.version, driver.key, driver.dataFile,
                             DriverEvidenceName(driver.evidence));
    for (const MonitorTrace& trace : remains.traces)
        RunLog().FoundMonitorTrace(trace);
    RunLog().EchoFoundTo(NULL);
    // The convention of detection scripts: 0 nothing is left, 1 something is (or could not be looked at).
    m_nExitCode = remains.Empty() ? 0 : 1;
}
