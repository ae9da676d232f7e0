// The spooler calls of winspool.drv on the simulated machine, with Windows' two-call buffer sizing.
#include <winspool.h>

#include <winsim/codepage.h>
#include <winsim/machine.h>

#include <string.h>

#include <optional>
#include <string>
#include <vector>

using winsim::Current;
using winsim::Spooler;

namespace {

// RPC_X_NULL_REF_POINTER: what NT's client stubs answer when a required out pointer is NULL.
const DWORD kNullRefPointer = 1780;
const DWORD kDelete = 0x00010000;
const DWORD kReadControl = 0x00020000;
const DWORD kWriteDac = 0x00040000;
const DWORD kWriteOwner = 0x00080000;
const DWORD kGenericRead = 0x80000000;
const DWORD kGenericWrite = 0x40000000;
const DWORD kGenericExecute = 0x20000000;
const DWORD kGenericAll = 0x10000000;
const DWORD kStatusPaused = 0x00000001;  // PRINTER_STATUS_PAUSED

BOOL Fail(DWORD error) {
    Current().lastError = error;
    return FALSE;
}

std::string Arg(LPCSTR s) {
    return s ? std::string(s) : std::string();
}

// Printer calls fail as against an unreachable RPC server when the spooler is stopped and the test
// asked for it; Wine's in-process spooler keeps answering, which is the default here.
bool SpoolerDown() {
    Spooler& s = Current().spooler;
    if (!s.Running() && s.failWhenStopped) {
        Current().lastError = RPC_S_SERVER_UNAVAILABLE;
        return true;
    }
    return false;
}

// The local machine: no name, an empty one, or \\<computer name>.
bool IsLocalServer(LPCSTR name) {
    if (!name || !*name)
        return true;
    return winsim::NamesEqual(name, "\\\\" + Current().system.computerName);
}

// An environment name as given, or the machine's own for NULL and "".
std::string EnvironmentArg(LPCSTR env) {
    return env && *env ? std::string(env) : Current().spooler.Environment();
}

// Records of one structure type and the strings their pointer fields receive. The A calls write the
// records first and pack the strings right after them. NT's A calls convert in place the answer of the
// Unicode call, so they ask for the room the Unicode answer needs; Windows 9x asks for the ANSI size.
template <class T>
class Pack {
public:
    size_t Add(const T& record) {
        m_records.push_back(record);
        return m_records.size() - 1;
    }
    // `text` may hold NULs (a REG_MULTI_SZ-style list); one more NUL is always written after it.
    void Set(size_t index, LPSTR T::*member, std::optional<std::string> text) {
        m_fields.push_back(Field{index, member, std::move(text)});
    }
    size_t Count() const { return m_records.size(); }

    DWORD Needed() const {
        bool unicode = !Current().system.Is9x();
        unsigned acp = Current().system.acp;
        size_t n = m_records.size() * sizeof(T);
        for (const Field& f : m_fields) {
            if (!f.text)
                continue;
            n += unicode ? 2 * (winsim::FromAnsi(*f.text, acp).size() + 1) : f.text->size() + 1;
        }
        return DWORD(n);
    }

    void Write(LPBYTE buffer) const {
        T* out = reinterpret_cast<T*>(buffer);
        for (size_t i = 0; i < m_records.size(); ++i)
            memcpy(static_cast<void*>(out + i), &m_records[i], sizeof(T));
        char* cursor = reinterpret_cast<char*>(out + m_records.size());
        for (const Field& f : m_fields) {
            if (!f.text) {
                out[f.index].*f.member = nullptr;
                continue;
            }
            memcpy(cursor, f.text->data(), f.text->size());
            cursor[f.text->size()] = '\0';
            out[f.index].*f.member = cursor;
            cursor += f.text->size() + 1;
        }
    }

    // The second half of every sized call: report the size, then fill the buffer only when it is big
    // enough; a buffer that is too small is left as it was.
    BOOL Deliver(LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded) const {
        DWORD needed = Needed();
        *pcbNeeded = needed;
        // Nothing to report needs no buffer: an empty enumeration succeeds with a NULL one.
        if (needed == 0)
            return TRUE;
        if (!buffer || cbBuf < needed)
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        Write(buffer);
        return TRUE;
    }

private:
    struct Field {
        size_t index;
        LPSTR T::*member;
        std::optional<std::string> text;
    };
    std::vector<T> m_records;
    std::vector<Field> m_fields;
};

std::optional<std::string> Opt(const std::string& s) {
    if (s.empty())
        return std::nullopt;
    return s;
}

void AddRecord(Pack<PRINTER_INFO_1A>& pack, const Spooler::Printer& p) {
    PRINTER_INFO_1A r = {};
    r.Flags = PRINTER_ENUM_ICON8;
    size_t i = pack.Add(r);
    // Wine describes a printer by its name alone.
    pack.Set(i, &PRINTER_INFO_1A::pDescription, p.name);
    pack.Set(i, &PRINTER_INFO_1A::pName, p.name);
    pack.Set(i, &PRINTER_INFO_1A::pComment, Opt(p.comment));
}

void AddRecord(Pack<PRINTER_INFO_2A>& pack, const Spooler::Printer& p) {
    PRINTER_INFO_2A r = {};
    r.Attributes = p.attributes;
    r.Priority = 1;
    r.Status = p.status;
    size_t i = pack.Add(r);
    pack.Set(i, &PRINTER_INFO_2A::pServerName, Opt(p.server));
    pack.Set(i, &PRINTER_INFO_2A::pPrinterName, p.name);
    pack.Set(i, &PRINTER_INFO_2A::pShareName, Opt(p.shareName));
    pack.Set(i, &PRINTER_INFO_2A::pPortName, p.connection ? Opt(p.port) : std::optional<std::string>(p.port));
    pack.Set(i, &PRINTER_INFO_2A::pDriverName, p.driver);
    pack.Set(i, &PRINTER_INFO_2A::pComment, Opt(p.comment));
    pack.Set(i, &PRINTER_INFO_2A::pLocation, Opt(p.location));
    pack.Set(i, &PRINTER_INFO_2A::pPrintProcessor, p.printProcessor);
    pack.Set(i, &PRINTER_INFO_2A::pDatatype, p.datatype);
}

void AddRecord(Pack<PRINTER_INFO_4A>& pack, const Spooler::Printer& p) {
    PRINTER_INFO_4A r = {};
    r.Attributes = p.attributes;
    size_t i = pack.Add(r);
    pack.Set(i, &PRINTER_INFO_4A::pPrinterName, p.name);
    pack.Set(i, &PRINTER_INFO_4A::pServerName, Opt(p.server));
}

void AddRecord(Pack<PRINTER_INFO_5A>& pack, const Spooler::Printer& p) {
    PRINTER_INFO_5A r = {};
    r.Attributes = p.attributes;
    r.DeviceNotSelectedTimeout = 15000;
    r.TransmissionRetryTimeout = 45000;
    size_t i = pack.Add(r);
    pack.Set(i, &PRINTER_INFO_5A::pPrinterName, p.name);
    pack.Set(i, &PRINTER_INFO_5A::pPortName, Opt(p.port));
}

// One record per item (printer or driver), packed as the Get and Enum calls answer; `returned` (when
// given) receives the count once the buffer was big enough.
template <class T, class Item>
BOOL DeliverRecords(const std::vector<const Item*>& items, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded,
                    LPDWORD returned) {
    Pack<T> pack;
    for (const Item* item : items)
        AddRecord(pack, *item);
    if (!pack.Deliver(buffer, cbBuf, pcbNeeded))
        return FALSE;
    if (returned)
        *returned = DWORD(pack.Count());
    return TRUE;
}

// Maps generic rights onto the printer's own, as the spooler's security mapping does.
DWORD MapGeneric(DWORD access) {
    DWORD out = access & 0x0FFFFFFF;
    if (access & (kGenericRead | kGenericWrite | kGenericExecute))
        out |= PRINTER_READ;
    if (access & kGenericAll)
        out |= PRINTER_ALL_ACCESS;
    return out;
}

bool AccessAllowed(const winsim::PrinterRights& rights, DWORD access) {
    const DWORD administer = PRINTER_ACCESS_ADMINISTER | kDelete | kWriteDac | kWriteOwner;
    const DWORD server = SERVER_ACCESS_ADMINISTER | SERVER_ACCESS_ENUMERATE;
    if ((access & administer) && !rights.administer)
        return false;
    if ((access & server) && !rights.serverRead)
        return false;
    if ((access & (PRINTER_ACCESS_USE | kReadControl)) && !rights.use && !rights.serverRead)
        return false;
    return true;
}

// The printer behind a handle; sets the error and returns null for a bad handle or a vanished printer.
Spooler::Printer* PrinterOf(HANDLE h, Spooler::Handle** handle = nullptr) {
    Spooler& s = Current().spooler;
    Spooler::Handle* entry = s.Lookup(h);
    if (!entry) {
        Current().lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (handle)
        *handle = entry;
    if (entry->printer.empty()) {
        // Calls on the print server's own handle are not modelled.
        Current().lastError = ERROR_NOT_SUPPORTED;
        return nullptr;
    }
    Spooler::Printer* p = s.FindPrinter(entry->printer);
    if (!p)
        Current().lastError = ERROR_INVALID_PRINTER_NAME;  // deleted meanwhile: Wine answers 1801
    return p;
}

std::string HandleArg(HANDLE h) {
    Spooler::Handle* entry = Current().spooler.Lookup(h);
    return entry ? entry->printer : std::string();
}

// Copies the driver's files into its directory the way AddPrinterDriverExA finds them: a full path is
// read from there, a bare name from the driver directory where setup programs stage their files.
bool CopyDriverFile(const Spooler::Driver& d, const std::string& given, std::string& bare) {
    winsim::Machine& m = Current();
    size_t slash = given.find_last_of("\\/");
    bare = slash == std::string::npos ? given : given.substr(slash + 1);
    if (bare.empty())
        return true;
    std::string source = given;
    if (slash == std::string::npos)
        source = m.spooler.DriverDirectory(d.environment).value_or(std::string()) + "\\" + given;
    std::string target = m.spooler.DriverFilePath(d, bare);
    if (winsim::NamesEqual(source, target))
        return m.files.Exists(target);
    std::optional<std::string> content = m.files.ReadFile(source);
    if (!content)
        return m.files.Exists(target);
    m.files.WriteFile(target, *content);
    return true;
}

void AddRecord(Pack<DRIVER_INFO_1A>& pack, const Spooler::Driver& d) {
    size_t i = pack.Add(DRIVER_INFO_1A{});
    pack.Set(i, &DRIVER_INFO_1A::pName, d.name);
}

// Levels 2 and 3 begin alike: version, name, environment and the three main files. The record's index.
template <typename Info>
size_t AddLevel2Fields(Pack<Info>& pack, const Spooler::Driver& d) {
    const Spooler& s = Current().spooler;
    Info r = {};
    r.cVersion = d.version;
    size_t i = pack.Add(r);
    pack.Set(i, &Info::pName, d.name);
    pack.Set(i, &Info::pEnvironment, d.environment);
    pack.Set(i, &Info::pDriverPath, Opt(s.DriverFilePath(d, d.driverFile)));
    pack.Set(i, &Info::pDataFile, Opt(s.DriverFilePath(d, d.dataFile)));
    pack.Set(i, &Info::pConfigFile, Opt(s.DriverFilePath(d, d.configFile)));
    return i;
}

void AddRecord(Pack<DRIVER_INFO_2A>& pack, const Spooler::Driver& d) {
    AddLevel2Fields(pack, d);
}

void AddRecord(Pack<DRIVER_INFO_3A>& pack, const Spooler::Driver& d) {
    const Spooler& s = Current().spooler;
    const size_t i = AddLevel2Fields(pack, d);
    pack.Set(i, &DRIVER_INFO_3A::pHelpFile, Opt(s.DriverFilePath(d, d.helpFile)));
    // The dependent files as full paths, each ended by a NUL, the list by one more.
    std::optional<std::string> deps;
    for (const std::string& f : d.dependentFiles) {
        if (!deps)
            deps = std::string();
        *deps += s.DriverFilePath(d, f);
        deps->push_back('\0');
    }
    pack.Set(i, &DRIVER_INFO_3A::pDependentFiles, deps);
    pack.Set(i, &DRIVER_INFO_3A::pMonitorName, Opt(d.monitor));
    pack.Set(i, &DRIVER_INFO_3A::pDefaultDataType, Opt(d.defaultDataType));
}

}  // namespace

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
    SIM_FAULT("EnumPrintersA", Arg(Name), FALSE);
    if (!pcbNeeded || !pcReturned)
        return Fail(kNullRefPointer);
    *pcReturned = 0;
    if (SpoolerDown())
        return FALSE;
    if (Level != 1 && Level != 2 && Level != 4 && Level != 5)
        return Fail(ERROR_INVALID_LEVEL);
    // Windows 9x has no PRINTER_INFO_4: ERROR_INVALID_LEVEL.
    if (Level == 4 && Current().spooler.Is9x())
        return Fail(ERROR_INVALID_LEVEL);
    if (!IsLocalServer(Name))
        return Fail(ERROR_INVALID_NAME);  // other servers are not modelled
    std::vector<const Spooler::Printer*> printers = Current().spooler.Enumerate(
        (Flags & PRINTER_ENUM_LOCAL) != 0, (Flags & PRINTER_ENUM_CONNECTIONS) != 0);
    BOOL ok = FALSE;
    switch (Level) {
    case 1: ok = DeliverRecords<PRINTER_INFO_1A>(printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned); break;
    case 2: ok = DeliverRecords<PRINTER_INFO_2A>(printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned); break;
    case 4: ok = DeliverRecords<PRINTER_INFO_4A>(printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned); break;
    case 5: ok = DeliverRecords<PRINTER_INFO_5A>(printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned); break;
    }
    // Success, with or without printers, reports ERROR_SUCCESS.
    if (ok)
        Current().lastError = ERROR_SUCCESS;
    return ok;
}

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
    SIM_FAULT("OpenPrinterA", Arg(pPrinterName), FALSE);
    if (!phPrinter)
        return Fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    if (SpoolerDown())
        return FALSE;
    Spooler& s = Current().spooler;
    DWORD access = MapGeneric(pDefault ? pDefault->DesiredAccess : PRINTER_ACCESS_USE);
    if (access == 0)
        access = PRINTER_ACCESS_USE;
    if (!pPrinterName || !*pPrinterName) {
        *phPrinter = s.Open(std::string(), access);
        return TRUE;
    }
    const Spooler::Printer* p = s.FindPrinter(pPrinterName);
    if (!p) {
        // \\server\share reaches the printer another computer shares, whether or not this workstation
        // has a connection to it: a removed connection still opens while the server shares it.
        if (const winsim::ConnectionSetup* offered = s.FindOffered(pPrinterName)) {
            if (!AccessAllowed(offered->rights, access))
                return Fail(ERROR_ACCESS_DENIED);
            *phPrinter = s.Open(offered->name, access);
            return TRUE;
        }
        return Fail(ERROR_INVALID_PRINTER_NAME);
    }
    if (!AccessAllowed(p->rights, access))
        return Fail(ERROR_ACCESS_DENIED);
    *phPrinter = s.Open(p->name, access);
    return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
    SIM_FAULT("ClosePrinter", HandleArg(hPrinter), FALSE);
    if (!Current().spooler.Close(hPrinter))
        return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL WINAPI GetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
    SIM_FAULT("GetPrinterA", HandleArg(hPrinter), FALSE);
    if (!pcbNeeded)
        return Fail(kNullRefPointer);
    if (SpoolerDown())
        return FALSE;
    Spooler::Printer* p = PrinterOf(hPrinter);
    if (!p)
        return FALSE;
    std::vector<const Spooler::Printer*> one = {p};
    switch (Level) {
    case 1: return DeliverRecords<PRINTER_INFO_1A>(one, pPrinter, cbBuf, pcbNeeded, nullptr);
    case 2: return DeliverRecords<PRINTER_INFO_2A>(one, pPrinter, cbBuf, pcbNeeded, nullptr);
    case 4: return DeliverRecords<PRINTER_INFO_4A>(one, pPrinter, cbBuf, pcbNeeded, nullptr);
    case 5: return DeliverRecords<PRINTER_INFO_5A>(one, pPrinter, cbBuf, pcbNeeded, nullptr);
    }
    return Fail(ERROR_INVALID_LEVEL);
}

BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    SIM_FAULT("SetPrinterA", HandleArg(hPrinter), FALSE);
    if (SpoolerDown())
        return FALSE;
    Spooler::Handle* handle = nullptr;
    Spooler::Printer* p = PrinterOf(hPrinter, &handle);
    if (!p)
        return FALSE;
    // Changing a printer needs a handle opened with administer rights (NT; Wine does not check).
    if (!(handle->access & PRINTER_ACCESS_ADMINISTER))
        return Fail(ERROR_ACCESS_DENIED);
    if (Level == 0) {
        switch (Command) {
        case PRINTER_CONTROL_PAUSE: p->status |= kStatusPaused; return TRUE;
        case PRINTER_CONTROL_RESUME: p->status &= ~kStatusPaused; return TRUE;
        case PRINTER_CONTROL_PURGE: return TRUE;  // no jobs are modelled
        }
        return Fail(ERROR_INVALID_PRINTER_COMMAND);
    }
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    if (Command != 0)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!pPrinter)
        return Fail(ERROR_INVALID_PARAMETER);
    const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
    if (info->pDriverName && *info->pDriverName && !Current().spooler.DriverExists(info->pDriverName))
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    // Renaming through pPrinterName is not modelled; the other fields are taken as given.
    p->attributes = info->Attributes;
    p->shareName = Arg(info->pShareName);
    p->comment = Arg(info->pComment);
    p->location = Arg(info->pLocation);
    if (info->pPortName && !p->connection)
        p->port = info->pPortName;
    if (info->pDriverName && *info->pDriverName)
        p->driver = info->pDriverName;
    if (info->pPrintProcessor && *info->pPrintProcessor)
        p->printProcessor = info->pPrintProcessor;
    if (info->pDatatype && *info->pDatatype)
        p->datatype = info->pDatatype;
    Current().spooler.SavePrinter(*p);
    return TRUE;
}

BOOL WINAPI GetPrinterDriverA(HANDLE hPrinter, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                              LPDWORD pcbNeeded) {
    SIM_FAULT("GetPrinterDriverA", HandleArg(hPrinter), FALSE);
    if (!pcbNeeded)
        return Fail(kNullRefPointer);
    if (SpoolerDown())
        return FALSE;
    Spooler& s = Current().spooler;
    Spooler::Printer* p = PrinterOf(hPrinter);
    if (!p)
        return FALSE;
    std::string env = EnvironmentArg(pEnvironment);
    if (!s.DriverDirectory(env))
        return Fail(ERROR_INVALID_ENVIRONMENT);
    if (Level < 1 || Level > 3)
        return Fail(ERROR_INVALID_LEVEL);
    const Spooler::Driver* d = s.FindDriver(p->driver, env);
    if (!d)
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);

    const std::vector<const Spooler::Driver*> one{d};
    switch (Level) {
    case 1: return DeliverRecords<DRIVER_INFO_1A>(one, pDriverInfo, cbBuf, pcbNeeded, nullptr);
    case 2: return DeliverRecords<DRIVER_INFO_2A>(one, pDriverInfo, cbBuf, pcbNeeded, nullptr);
    default: return DeliverRecords<DRIVER_INFO_3A>(one, pDriverInfo, cbBuf, pcbNeeded, nullptr);
    }
}

BOOL WINAPI EnumPrinterDriversA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                                LPDWORD pcbNeeded, LPDWORD pcReturned) {
    SIM_FAULT("EnumPrinterDriversA", Arg(pEnvironment), FALSE);
    if (!pcbNeeded || !pcReturned)
        return Fail(kNullRefPointer);
    *pcReturned = 0;
    if (SpoolerDown())
        return FALSE;
    if (!IsLocalServer(pName))
        return Fail(ERROR_INVALID_NAME);
    Spooler& s = Current().spooler;
    std::string env = EnvironmentArg(pEnvironment);
    if (!s.DriverDirectory(env))
        return Fail(ERROR_INVALID_ENVIRONMENT);
    std::vector<const Spooler::Driver*> drivers = s.Drivers(env);
    BOOL ok = FALSE;
    switch (Level) {
    case 1: ok = DeliverRecords<DRIVER_INFO_1A>(drivers, pDriverInfo, cbBuf, pcbNeeded, pcReturned); break;
    case 2: ok = DeliverRecords<DRIVER_INFO_2A>(drivers, pDriverInfo, cbBuf, pcbNeeded, pcReturned); break;
    case 3: ok = DeliverRecords<DRIVER_INFO_3A>(drivers, pDriverInfo, cbBuf, pcbNeeded, pcReturned); break;
    default: return Fail(ERROR_INVALID_LEVEL);
    }
    if (ok)
        Current().lastError = ERROR_SUCCESS;
    return ok;
}

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                       DWORD cbBuf, LPDWORD pcbNeeded) {
    SIM_FAULT("GetPrinterDriverDirectoryA", Arg(pEnvironment), FALSE);
    if (!pcbNeeded)
        return Fail(kNullRefPointer);
    if (SpoolerDown())
        return FALSE;
    if (!IsLocalServer(pName))
        return Fail(ERROR_INVALID_PARAMETER);  // other servers are not modelled
    // NT checks the level; Windows 9x ignores it.
    if (Level != 1 && !Current().system.Is9x())
        return Fail(ERROR_INVALID_LEVEL);
    std::optional<std::string> dir = Current().spooler.DriverDirectory(EnvironmentArg(pEnvironment));
    if (!dir)
        return Fail(ERROR_INVALID_ENVIRONMENT);
    DWORD needed = DWORD(dir->size() + 1);
    *pcbNeeded = needed;
    if (!pDriverDirectory || cbBuf < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(pDriverDirectory, dir->c_str(), needed);
    return TRUE;
}

BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
    SIM_FAULT("DeletePrinter", HandleArg(hPrinter), FALSE);
    if (SpoolerDown())
        return FALSE;
    Spooler::Handle* handle = nullptr;
    Spooler::Printer* p = PrinterOf(hPrinter, &handle);
    if (!p)
        return FALSE;
    // NT: only a handle opened for administration (or DELETE) may remove the printer.
    if (!(handle->access & (PRINTER_ACCESS_ADMINISTER | kDelete)))
        return Fail(ERROR_ACCESS_DENIED);
    Current().spooler.RemovePrinter(p->name);
    return TRUE;
}

BOOL WINAPI DeletePrinterDriverA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName) {
    SIM_FAULT("DeletePrinterDriverA", Arg(pDriverName), FALSE);
    if (SpoolerDown())
        return FALSE;
    if (!IsLocalServer(pName))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!pDriverName || !*pDriverName)
        return Fail(ERROR_INVALID_PARAMETER);
    Spooler& s = Current().spooler;
    std::string env = EnvironmentArg(pEnvironment);
    if (!s.DriverDirectory(env))
        return Fail(ERROR_INVALID_ENVIRONMENT);
    if (!s.FindDriver(pDriverName, env))
        return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    for (const Spooler::Printer* p : s.Enumerate(true, true))
        if (winsim::NamesEqual(p->driver, pDriverName))
            return Fail(ERROR_PRINTER_DRIVER_IN_USE);
    // Every version of the driver in that environment goes; its files stay, as on Windows.
    while (const Spooler::Driver* d = s.FindDriver(pDriverName, env))
        s.RemoveDriver(*d);
    return TRUE;
}

BOOL WINAPI AddPrinterConnectionA(LPSTR pName) {
    SIM_FAULT("AddPrinterConnectionA", Arg(pName), FALSE);
    if (!pName || !*pName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (SpoolerDown())
        return FALSE;
    Spooler& s = Current().spooler;
    const Spooler::Printer* existing = s.FindPrinter(pName);
    if (existing && existing->connection)
        return TRUE;
    const winsim::ConnectionSetup* offered = s.FindOffered(pName);
    if (!offered)
        return Fail(ERROR_INVALID_PRINTER_NAME);
    s.AddConnection(*offered);
    return TRUE;
}

BOOL WINAPI DeletePrinterConnectionA(LPSTR pName) {
    SIM_FAULT("DeletePrinterConnectionA", Arg(pName), FALSE);
    if (!pName || !*pName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (SpoolerDown())
        return FALSE;
    Spooler& s = Current().spooler;
    for (const Spooler::Printer* p : s.Enumerate(false, true)) {
        if (winsim::NamesEqual(p->name, pName)) {
            s.RemovePrinter(p->name);
            return TRUE;
        }
    }
    return Fail(ERROR_INVALID_PRINTER_NAME);
}

BOOL WINAPI AddPrinterDriverExA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo, DWORD dwFileCopyFlags) {
    const DRIVER_INFO_3A* info = reinterpret_cast<const DRIVER_INFO_3A*>(pDriverInfo);
    SIM_FAULT("AddPrinterDriverExA", info && info->pName ? std::string(info->pName) : std::string(), FALSE);
    if (SpoolerDown())
        return FALSE;
    if (!IsLocalServer(pName))
        return Fail(ERROR_INVALID_PARAMETER);
    if (Level != 2 && Level != 3)
        return Fail(ERROR_INVALID_LEVEL);
    if (!info || !info->pName || !*info->pName || !info->pDriverPath || !info->pDataFile || !info->pConfigFile)
        return Fail(ERROR_INVALID_PARAMETER);
    Spooler& s = Current().spooler;
    std::string env = EnvironmentArg(info->pEnvironment);
    if (!s.DriverDirectory(env))
        return Fail(ERROR_INVALID_ENVIRONMENT);

    winsim::DriverSetup setup;
    setup.name = info->pName;
    setup.environment = env;
    setup.version = Current().system.Is9x() ? 0 : int(info->cVersion);
    setup.createFiles = false;
    Spooler::Driver target;
    target.name = setup.name;
    target.environment = env;
    target.version = DWORD(setup.version);
    // Windows refuses a driver whose files are not where it was told to find them (2); Wine accepts it.
    if (!CopyDriverFile(target, info->pDriverPath, setup.driverFile) ||
        !CopyDriverFile(target, info->pDataFile, setup.dataFile) ||
        !CopyDriverFile(target, info->pConfigFile, setup.configFile))
        return Fail(ERROR_FILE_NOT_FOUND);
    if (Level == 3) {
        if (info->pHelpFile && !CopyDriverFile(target, info->pHelpFile, setup.helpFile))
            return Fail(ERROR_FILE_NOT_FOUND);
        for (LPCSTR f = info->pDependentFiles; f && *f; f += strlen(f) + 1) {
            std::string bare;
            if (!CopyDriverFile(target, f, bare))
                return Fail(ERROR_FILE_NOT_FOUND);
            setup.dependentFiles.push_back(bare);
        }
        setup.monitor = Arg(info->pMonitorName);
        setup.defaultDataType = Arg(info->pDefaultDataType);
    }
    s.AddDriver(setup);
    return TRUE;
}

HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
    const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
    SIM_FAULT("AddPrinterA", info && info->pPrinterName ? std::string(info->pPrinterName) : std::string(), nullptr);
    if (SpoolerDown())
        return nullptr;
    if (!IsLocalServer(pName)) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (Level != 2) {
        Fail(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    if (!info || !info->pPrinterName || !*info->pPrinterName) {
        Fail(ERROR_INVALID_PRINTER_NAME);
        return nullptr;
    }
    Spooler& s = Current().spooler;
    // Windows refuses a second printer of the same name; Wine accepts it.
    if (s.PrinterExists(info->pPrinterName)) {
        Fail(ERROR_PRINTER_ALREADY_EXISTS);
        return nullptr;
    }
    if (!info->pDriverName || !s.DriverExists(info->pDriverName)) {
        Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
        return nullptr;
    }
    if (!info->pPrintProcessor || !*info->pPrintProcessor) {
        Fail(ERROR_UNKNOWN_PRINTPROCESSOR);
        return nullptr;
    }
    winsim::PrinterSetup setup;
    setup.name = info->pPrinterName;
    setup.driver = info->pDriverName;
    setup.port = Arg(info->pPortName);
    setup.shareName = Arg(info->pShareName);
    setup.attributes = info->Attributes;
    setup.comment = Arg(info->pComment);
    setup.location = Arg(info->pLocation);
    setup.printProcessor = info->pPrintProcessor;
    setup.datatype = info->pDatatype ? info->pDatatype : "RAW";
    s.AddPrinter(setup);
    return s.Open(setup.name, PRINTER_ALL_ACCESS);
}
