// The run log: JSON Lines appended to the file the command line names, fed by the change layer, the run
// and the application.
#include "engine/RunLog.h"

#include <stdio.h>

#include <vector>

#include "engine/KeySet.h"

namespace {

// `text` from the ANSI code page to UTF-8; bytes that form no character come out as the code page's
// default character.
std::vector<char> ToUtf8(const CString& text) {
    std::vector<char> out;
    const int length = text.GetLength();
    if (length == 0)
        return out;
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, length, NULL, 0);
    if (wide <= 0)
        return out;
    std::vector<WCHAR> chars((size_t)wide);
    if (MultiByteToWideChar(CP_ACP, 0, text, length, chars.data(), wide) != wide)
        return out;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, chars.data(), wide, NULL, 0, NULL, NULL);
    if (bytes <= 0)
        return out;
    out.resize((size_t)bytes);
    if (WideCharToMultiByte(CP_UTF8, 0, chars.data(), wide, out.data(), bytes, NULL, NULL) != bytes)
        out.clear();
    return out;
}

}  // namespace

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

// `text` (ANSI code page) as a JSON string literal in UTF-8, quotes included: quotes, backslashes and
// control characters escaped.
CString JsonString(const CString& text) {
    std::vector<char> utf8 = ToUtf8(text);
    CString out = "\"";
    for (char c : utf8) {
        const unsigned char u = (unsigned char)c;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                char escape[8];
                sprintf(escape, "\\u%04x", u);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void CJsonLine::Field(LPCSTR field) {
    if (!m_strBody.IsEmpty())
        m_strBody += ",";
    m_strBody += JsonString(field) + ":";
}

CJsonLine& CJsonLine::Text(LPCSTR field, const CString& value) {
    Field(field);
    m_strBody += JsonString(value);
    return *this;
}

CJsonLine& CJsonLine::Number(LPCSTR field, long long value) {
    Field(field);
    char number[32];
    sprintf(number, "%lld", value);
    m_strBody += number;
    return *this;
}

CJsonLine& CJsonLine::Bool(LPCSTR field, BOOL value) {
    Field(field);
    m_strBody += value ? "true" : "false";
    return *this;
}

CJsonLine& CJsonLine::Texts(LPCSTR field, const std::vector<CString>& values) {
    CString array = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            array += ",";
        array += JsonString(values[i]);
    }
    return Raw(field, array + "]");
}

CJsonLine& CJsonLine::Raw(LPCSTR field, const CString& json) {
    Field(field);
    m_strBody += json;
    return *this;
}

LPCSTR ChangeKindName(ChangeKind kind) {
    switch (kind) {
    case CHANGE_DELETE_KEY: return "delete_key";
    case CHANGE_DELETE_VALUE: return "delete_value";
    case CHANGE_DELETE_FILE: return "delete_file";
    case CHANGE_DELETE_AT_RESTART: return "delete_at_restart";
    case CHANGE_SET_PRINTER: return "unshare_printer";
    case CHANGE_DELETE_PRINTER: return "delete_printer";
    case CHANGE_DRIVER_DELETE_PRINTER: return "driver_delete_printer";
    case CHANGE_COPY_FILE: return "copy_file";
    case CHANGE_SET_FILE_TIMES: return "set_file_times";
    case CHANGE_STOP_SERVICE: return "stop_service";
    case CHANGE_START_SERVICE: return "start_service";
    case CHANGE_CALL_COMPANION: return "call_companion";
    }
    return "unknown";
}

LPCSTR ServiceStateName(DWORD state) {
    switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "start_pending";
    case SERVICE_STOP_PENDING: return "stop_pending";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continue_pending";
    case SERVICE_PAUSE_PENDING: return "pause_pending";
    case SERVICE_PAUSED: return "paused";
    }
    return "unknown";
}

CRunLog& CRunLog::Get() {
    static CRunLog log;
    return log;
}

DWORD CRunLog::Open(const CString& path) {
    Close();
    m_file.Close();
    *m_file.Receive() = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (!m_file.IsValid())
        return ResultOf(FALSE);
    return ERROR_SUCCESS;
}

void CRunLog::Close() {
    if (!m_file.IsValid())
        return;
    m_bCycle = FALSE;
    m_file.Close();
}

namespace {

// Writes all of `text` to `out`, as far as it takes it (a pipe may take it in parts).
void WriteAll(HANDLE out, const CString& text) {
    LPCSTR next = text;
    DWORD left = (DWORD)text.GetLength();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(out, next, left, &written, NULL) || written == 0 || written > left)
            return;
        next += written;
        left -= written;
    }
}

}  // namespace

void CRunLog::WriteFound(const CJsonLine& line) {
    Write(line);
    if (m_hEcho)
        WriteAll(m_hEcho, line.Close() + "\n");
}

void CRunLog::EchoFoundTo(HANDLE out) {
    m_hEcho = out == INVALID_HANDLE_VALUE ? NULL : out;
}

void CRunLog::FoundPrinter(const CString& name, const CString& driver, LPCSTR evidence) {
    WriteFound(CJsonLine()
                   .Text("event", "found")
                   .Text("kind", "printer")
                   .Text("name", name)
                   .Text("driver", driver)
                   .Text("evidence", evidence));
}

void CRunLog::FoundDriver(const CString& driver, DWORD version, const CString& keyPath, const CString& dataFile,
                          LPCSTR evidence) {
    WriteFound(CJsonLine()
                   .Text("event", "found")
                   .Text("kind", "driver")
                   .Text("driver", driver)
                   .Number("version", (long long)version)
                   .Text("root", RootKeyName(HKEY_LOCAL_MACHINE))
                   .Text("path", keyPath)
                   .Text("data_file", dataFile)
                   .Text("evidence", evidence));
}

void CRunLog::FoundMonitorTrace(const MonitorTrace& trace) {
    CJsonLine line;
    line.Text("event", "found").Text("kind", "monitor").Text("trace", MonitorTraceName(trace.kind));
    switch (trace.kind) {
    case TRACE_SHORTCUT: line.Text("file", trace.where); break;
    case TRACE_FOLDER: line.Text("folder", trace.where); break;
    case TRACE_AUTOSTART:
    case TRACE_SETTINGS: line.Text("root", RootKeyName(trace.root)).Text("path", trace.where); break;
    }
    if (trace.kind == TRACE_AUTOSTART)
        line.Text("value", trace.value);
    WriteFound(line);
}

void CRunLog::Write(const CJsonLine& line) {
    if (!m_file.IsValid())
        return;
    const CString text = line.Close() + "\n";
    // Another writer may have appended since: every line goes to the end as it is then.
    SetFilePointer(m_file, 0, NULL, FILE_END);
    DWORD written = 0;
    WriteFile(m_file, (LPCSTR)text, (DWORD)text.GetLength(), &written, NULL);
}

void CRunLog::OnChange(const ChangeEvent& event) {
    if (m_file.IsValid()) {
        CJsonLine line;
        if (event.kind == CHANGE_CALL_COMPANION) {
            line.Text("event", "companion").Text("library", event.target).Text("export", event.name);
        } else {
            line.Text("event", "change").Text("kind", ChangeKindName(event.kind));
            if (event.kind == CHANGE_DELETE_KEY || event.kind == CHANGE_DELETE_VALUE)
                line.Text("root", RootKeyName(event.root)).Text("path", event.target);
            else if (event.kind == CHANGE_SET_PRINTER || event.kind == CHANGE_DELETE_PRINTER ||
                     event.kind == CHANGE_DRIVER_DELETE_PRINTER)
                line.Text("printer", event.target);
            else if (event.kind == CHANGE_STOP_SERVICE || event.kind == CHANGE_START_SERVICE)
                line.Text("service", event.target);
            else
                line.Text("file", event.target);
            if (event.kind == CHANGE_DELETE_VALUE)
                line.Text("value", event.name);
            else if (event.kind == CHANGE_DRIVER_DELETE_PRINTER)
                line.Text("library", event.name);
            else if (event.kind == CHANGE_COPY_FILE)
                line.Text("source", event.name);
            line.Bool("at_restart", event.kind == CHANGE_DELETE_AT_RESTART);
        }
        switch (event.outcome) {
        case CHANGE_DONE: line.Text("outcome", "done"); break;
        case CHANGE_FAILED: line.Text("outcome", "failed"); break;
        case CHANGE_REFUSED: line.Text("outcome", "refused"); break;
        case CHANGE_WOULD: line.Text("outcome", "would"); break;
        }
        if (event.outcome == CHANGE_WOULD)
            line.Text("result", "would");
        else
            line.Number("result", (long long)event.result);
        Write(line);
    }
}

LPCSTR OsFamilyName(int family) {
    switch (family) {
    case OS_FAMILY_9X: return "9x";
    case OS_FAMILY_NT: return "nt";
    case OS_FAMILY_NT5: return "nt5";
    }
    return "unknown";
}

void CRunLog::RunBegins(const CString& time, const CString& version, int family, LPCSTR mode,
                        const std::vector<CString>& names, const std::vector<CString>& options) {
    Write(CJsonLine()
              .Text("event", "run")
              .Text("time", time)
              .Text("version", version)
              .Text("os", OsFamilyName(family))
              .Text("mode", mode)
              .Texts("names", names)
              .Texts("options", options));
}

void CRunLog::UsageError(const CString& reason) {
    Write(CJsonLine().Text("event", "usage_error").Text("reason", reason));
}

void CRunLog::BackupBegins(const CString& folder, DWORD result) {
    Write(CJsonLine().Text("event", "backup").Text("folder", folder).Number("result", (long long)result));
}

void CRunLog::PrinterOutcome(const CString& name, DWORD exitCode) {
    Write(CJsonLine().Text("event", "printer_outcome").Text("name", name).Number("exit_code", (long long)exitCode));
}

void CRunLog::DriverOutcome(const CString& driver, DWORD exitCode) {
    Write(CJsonLine().Text("event", "driver_outcome").Text("driver", driver).Number("exit_code", (long long)exitCode));
}

void CRunLog::MonitorOutcome(DWORD exitCode) {
    Write(CJsonLine().Text("event", "monitor_outcome").Number("exit_code", (long long)exitCode));
}

void CRunLog::Outcome(DWORD exitCode) {
    Write(CJsonLine().Text("event", "outcome").Number("exit_code", (long long)exitCode));
}

void CRunLog::OnPrinterLookup(const PrinterLookup& lookup) {
    CJsonLine line;
    line.Text("event", "printer").Text("name", lookup.name).Bool("found", lookup.found);
    if (lookup.listEmpty)
        line.Bool("list_arrived", lookup.listArrived);
    else if (lookup.found)
        line.Text("driver", lookup.driver)
            .Bool("brontal", ShowsBrontalSign(lookup.evidence))
            .Text("evidence", DriverEvidenceName(lookup.evidence));
    Write(line);
}

void CRunLog::OnUnusedDriver(const FoundItem& driver) {
    Write(CJsonLine()
              .Text("event", "driver")
              .Text("driver", driver.driver)
              .Number("version", (long long)driver.version)
              .Text("root", RootKeyName(HKEY_LOCAL_MACHINE))
              .Text("path", driver.key)
              .Text("evidence", DriverEvidenceName(driver.evidence)));
}

void CRunLog::OnDecisions(const RemovalDecision& decision) {
    CString files = "[";
    for (size_t i = 0; i < decision.files.size(); ++i) {
        const FileDecision& file = decision.files[i];
        CJsonLine entry;
        entry.Text("file", file.path).Bool("delete", file.deleted);
        if (!file.replacedBy.IsEmpty())
            entry.Text("replaced_by", file.replacedBy);
        else if (file.kept && file.listedBy.IsEmpty())
            entry.Raw("listed_by", "null");
        else if (file.kept)
            entry.Text("listed_by", file.listedBy);
        if (i > 0)
            files += ",";
        files += entry.Close();
    }
    files += "]";
    Write(CJsonLine()
              .Text("event", "decisions")
              .Raw("printer", decision.printer.IsEmpty() ? CString("null") : JsonString(decision.printer))
              .Text("driver", decision.driver)
              .Bool("driver_shared", decision.driverShared)
              .Texts("driver_shared_with", decision.driverSharedWith)
              .Bool("only_brontal_printer", decision.onlyBrontalPrinter)
              .Raw("files", files));
}

void CRunLog::OnSpoolerCycleBegins(LPCSTR phase) {
    m_bCycle = TRUE;
    m_strPhase = phase;
    m_states.clear();
    m_dwCycleStart = GetTickCount();
}

void CRunLog::OnSpoolerStateSeen(DWORD state) {
    if (!m_bCycle)
        return;
    const CString name = ServiceStateName(state);
    if (m_states.empty() || m_states.back() != name)
        m_states.push_back(name);
}

void CRunLog::OnSpoolerCycleEnds(LPCSTR outcome) {
    if (!m_bCycle)
        return;
    m_bCycle = FALSE;
    Write(CJsonLine()
              .Text("event", "spooler")
              .Text("phase", m_strPhase)
              .Texts("states", m_states)
              .Text("outcome", outcome)
              .Number("ms", (long long)(GetTickCount() - m_dwCycleStart)));
}
