// The spooler model: drivers, printers and connections, mirrored into the registry and files as Windows keeps them.
#include <winsim/machine.h>

#include <winsim/codepage.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

namespace winsim {

namespace {

const char kPrintKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";
const char kDevicesKey[] = "HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices";
const char kPrinterPortsKey[] = "HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts";
const char kConnectionsKey[] = "HKCU\\Printers\\Connections";
const char kLanManServersKey[] =
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print Services\\Servers";

const DWORD kAttributeShared = 0x8;    // PRINTER_ATTRIBUTE_SHARED
const DWORD kAttributeNetwork = 0x10;  // PRINTER_ATTRIBUTE_NETWORK

struct EnvironmentInfo {
    const char* name;
    const char* directory;  // under <system>\spool\drivers on NT
};
const EnvironmentInfo kEnvironments[] = {
    {"Windows NT x86", "w32x86"},
    {"Windows x64", "x64"},
    {"Windows IA64", "ia64"},
    {"Windows 4.0", "win40"},
};

Machine& M(const Spooler* spooler) {
    Machine& m = Current();
    if (&m.spooler != spooler) {
        fprintf(stderr, "winsim: a spooler fixture was used on a machine that is not the current one\n");
        abort();
    }
    return m;
}

const EnvironmentInfo* FindEnvironment(const std::string& name) {
    for (const EnvironmentInfo& e : kEnvironments)
        if (NamesEqual(e.name, name))
            return &e;
    return nullptr;
}

// "\\srv\q" -> ("\\srv", "q"); empty parts when the name is not of that form.
void SplitConnection(const std::string& name, std::string& server, std::string& share) {
    server.clear();
    share.clear();
    if (name.size() < 3 || name[0] != '\\' || name[1] != '\\')
        return;
    size_t sep = name.find('\\', 2);
    if (sep == std::string::npos)
        return;
    server = name.substr(0, sep);
    share = name.substr(sep + 1);
}

// The key name Windows files a connection under: every backslash becomes a comma.
std::string ConnectionKeyName(const std::string& name) {
    std::string out = name;
    std::replace(out.begin(), out.end(), '\\', ',');
    return out;
}

std::string CachedConnectionKey(const std::string& server, const std::string& share) {
    return std::string(kLanManServersKey) + "\\" + server.substr(2) + "\\Printers\\" + share;
}

std::string PrinterKey(const std::string& name) {
    return std::string(kPrintKey) + "\\Printers\\" + name;
}

}  // namespace

bool Spooler::Is9x() const {
    return Current().system.Is9x();
}

std::string Spooler::Environment() const {
    if (!m_environment.empty())
        return m_environment;
    return Is9x() ? "Windows 4.0" : "Windows NT x86";
}

std::optional<std::string> Spooler::DriverDirectory(const std::string& environment) const {
    const SystemInfo& sys = Current().system;
    const EnvironmentInfo* env = FindEnvironment(environment.empty() ? Environment() : environment);
    if (!env)
        return std::nullopt;
    if (Is9x()) {
        // Windows 9x keeps its drivers in the system directory and knows no other environment.
        if (std::string(env->name) != "Windows 4.0")
            return std::nullopt;
        return sys.systemDir;
    }
    return sys.systemDir + "\\spool\\drivers\\" + env->directory;
}

std::string Spooler::DriverFilePath(const Driver& driver, const std::string& file) const {
    if (file.empty())
        return std::string();
    std::optional<std::string> dir = DriverDirectory(driver.environment);
    if (!dir)
        return file;
    if (Is9x())
        return *dir + "\\" + file;
    return *dir + "\\" + std::to_string(driver.version) + "\\" + file;
}

std::string Spooler::DriverKeyPath(const Driver& driver) const {
    std::string key = std::string(kPrintKey) + "\\Environments\\" + driver.environment + "\\Drivers\\";
    if (!Is9x())
        key += "Version-" + std::to_string(driver.version) + "\\";
    return key + driver.name;
}

void Spooler::SaveDriver(const Driver& d, const std::map<std::string, std::string>& extraValues) {
    Registry& reg = M(this).registry;
    std::string key = DriverKeyPath(d);
    reg.DeleteTree(key);
    reg.SetString(key, "Configuration File", d.configFile);
    reg.SetString(key, "Data File", d.dataFile);
    reg.SetString(key, "Driver", d.driverFile);
    reg.SetString(key, "Help File", d.helpFile);
    reg.SetMultiString(key, "Dependent Files", d.dependentFiles);
    reg.SetString(key, "Monitor", d.monitor);
    reg.SetString(key, "Datatype", d.defaultDataType);
    reg.SetDword(key, "Version", d.version);
    for (const auto& v : extraValues)
        reg.SetString(key, v.first, v.second);
}

void Spooler::AddDriver(const DriverSetup& setup) {
    Machine& m = M(this);
    Driver d;
    d.name = setup.name;
    const EnvironmentInfo* env = FindEnvironment(setup.environment.empty() ? Environment() : setup.environment);
    d.environment = env ? env->name : setup.environment;
    d.version = setup.version >= 0 ? DWORD(setup.version) : (Is9x() ? 0 : 3);
    d.driverFile = setup.driverFile;
    d.configFile = setup.configFile;
    d.dataFile = setup.dataFile;
    d.helpFile = setup.helpFile;
    d.dependentFiles = setup.dependentFiles;
    d.monitor = setup.monitor;
    d.defaultDataType = setup.defaultDataType;

    m_drivers.erase(std::remove_if(m_drivers.begin(), m_drivers.end(),
                                   [&](const Driver& o) {
                                       return NamesEqual(o.name, d.name) &&
                                              NamesEqual(o.environment, d.environment) &&
                                              o.version == d.version;
                                   }),
                    m_drivers.end());
    m_drivers.push_back(d);
    SaveDriver(d, setup.extraValues);

    if (!setup.createFiles)
        return;
    std::vector<std::string> names = {d.driverFile, d.configFile, d.dataFile, d.helpFile};
    names.insert(names.end(), d.dependentFiles.begin(), d.dependentFiles.end());
    for (const auto& c : setup.fileContents)
        names.push_back(c.first);
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        auto it = setup.fileContents.find(name);
        m.files.WriteFile(DriverFilePath(d, name), it != setup.fileContents.end() ? it->second : name);
    }
}

void Spooler::SavePrinter(const Printer& p) {
    Registry& reg = M(this).registry;
    if (p.connection) {
        std::string server, share;
        SplitConnection(p.name, server, share);
        std::string conn = std::string(kConnectionsKey) + "\\" + ConnectionKeyName(p.name);
        reg.SetString(conn, "Server", server);
        reg.SetString(conn, "Provider", "win32spl.dll");
        std::string cache = CachedConnectionKey(server, share);
        reg.SetString(cache, "Name", p.name);
        reg.SetString(cache, "Printer Driver", p.driver);
        reg.SetString(cache, "Share Name", share);
        reg.SetString(cache, "Description", p.comment);
        reg.SetDword(cache, "Attributes", p.attributes);
        return;
    }
    std::string key = PrinterKey(p.name);
    reg.SetString(key, "Name", p.name);
    reg.SetString(key, "Port", p.port);
    reg.SetString(key, "Printer Driver", p.driver);
    reg.SetString(key, "Share Name", p.shareName);
    reg.SetDword(key, "Attributes", p.attributes);
    reg.SetString(key, "Print Processor", p.printProcessor);
    reg.SetString(key, "Datatype", p.datatype);
    reg.SetString(key, "Description", p.comment);
    reg.SetString(key, "Location", p.location);
    reg.SetDword(key, "Priority", 1);
    reg.SetDword(key, "Status", 0);
}

void Spooler::ForgetPrinter(const std::string& name) {
    m_printers.erase(std::remove_if(m_printers.begin(), m_printers.end(),
                                    [&](const Printer& o) { return NamesEqual(o.name, name); }),
                     m_printers.end());
}

void Spooler::AddPrinter(const PrinterSetup& setup) {
    Machine& m = M(this);
    ForgetPrinter(setup.name);
    Printer p;
    p.name = setup.name;
    p.driver = setup.driver;
    p.port = setup.port;
    p.shareName = setup.shareName;
    p.attributes = setup.attributes | (setup.shared ? kAttributeShared : 0);
    p.comment = setup.comment;
    p.location = setup.location;
    p.printProcessor = setup.printProcessor;
    p.datatype = setup.datatype;
    p.rights = setup.rights;
    m_rightsByName[NameKey(p.name)] = p.rights;
    m_printers.push_back(p);
    SavePrinter(p);
    if (!Is9x()) {
        m.registry.SetString(kDevicesKey, p.name, "winspool," + p.port);
        m.registry.SetString(kPrinterPortsKey, p.name, "winspool," + p.port + ",15,45");
    }
}

void Spooler::AddConnectionRecord(const ConnectionSetup& setup) {
    ForgetPrinter(setup.name);
    Printer p;
    p.name = setup.name;
    p.driver = setup.driver;
    p.attributes = setup.attributes;
    p.comment = setup.comment;
    p.rights = setup.rights;
    p.connection = true;
    std::string share;
    SplitConnection(setup.name, p.server, share);
    p.shareName = share;
    p.printProcessor = "WinPrint";
    p.datatype = "RAW";
    m_rightsByName[NameKey(p.name)] = p.rights;
    m_printers.push_back(p);
    SavePrinter(p);
}

void Spooler::AddConnection(const ConnectionSetup& setup) {
    M(this);
    AddConnectionRecord(setup);
}

void Spooler::OfferNetworkPrinter(const ConnectionSetup& setup) {
    m_offered.erase(std::remove_if(m_offered.begin(), m_offered.end(),
                                   [&](const ConnectionSetup& o) { return NamesEqual(o.name, setup.name); }),
                    m_offered.end());
    m_offered.push_back(setup);
}

void Spooler::WithdrawNetworkPrinter(const std::string& name) {
    m_offered.erase(std::remove_if(m_offered.begin(), m_offered.end(),
                                   [&](const ConnectionSetup& o) { return NamesEqual(o.name, name); }),
                    m_offered.end());
}

const ConnectionSetup* Spooler::FindOffered(const std::string& name) const {
    for (const ConnectionSetup& c : m_offered)
        if (NamesEqual(c.name, name))
            return &c;
    return nullptr;
}

const Spooler::Printer* Spooler::FindPrinter(const std::string& name) const {
    // Local printers win over a connection of the same spelling, as the local provider answers first.
    for (int pass = 0; pass < 2; ++pass)
        for (const Printer& p : m_printers)
            if (p.connection == (pass == 1) && NamesEqual(p.name, name))
                return &p;
    return nullptr;
}

Spooler::Printer* Spooler::FindPrinter(const std::string& name) {
    return const_cast<Printer*>(static_cast<const Spooler*>(this)->FindPrinter(name));
}

bool Spooler::PrinterExists(const std::string& name) const {
    return FindPrinter(name) != nullptr;
}

bool Spooler::IsShared(const std::string& name) const {
    const Printer* p = FindPrinter(name);
    return p && (p->attributes & kAttributeShared) != 0;
}

std::vector<const Spooler::Printer*> Spooler::Enumerate(bool local, bool connections) const {
    std::vector<const Printer*> locals, remotes;
    for (const Printer& p : m_printers)
        (p.connection ? remotes : locals).push_back(&p);
    // The registry hands the printers' keys out sorted by name, and the spooler lists them that way.
    auto byName = [](const Printer* a, const Printer* b) { return NameKey(a->name) < NameKey(b->name); };
    std::sort(locals.begin(), locals.end(), byName);
    std::sort(remotes.begin(), remotes.end(), byName);
    std::vector<const Printer*> out;
    if (local)
        out.insert(out.end(), locals.begin(), locals.end());
    if (connections)
        out.insert(out.end(), remotes.begin(), remotes.end());
    return out;
}

std::vector<std::string> Spooler::PrinterNames() const {
    std::vector<std::string> names;
    for (const Printer* p : Enumerate(true, true))
        names.push_back(p->name);
    return names;
}

const Spooler::Driver* Spooler::FindDriver(const std::string& name, const std::string& environment,
                                           int version) const {
    const EnvironmentInfo* env = FindEnvironment(environment.empty() ? Environment() : environment);
    std::string envName = env ? env->name : environment;
    const Driver* best = nullptr;
    for (const Driver& d : m_drivers) {
        if (!NamesEqual(d.name, name) || !NamesEqual(d.environment, envName))
            continue;
        if (version >= 0 && d.version != DWORD(version))
            continue;
        if (!best || d.version > best->version)
            best = &d;
    }
    return best;
}

std::vector<const Spooler::Driver*> Spooler::Drivers(const std::string& environment) const {
    const EnvironmentInfo* env = FindEnvironment(environment.empty() ? Environment() : environment);
    std::string envName = env ? env->name : environment;
    std::vector<const Driver*> drivers;
    for (const Driver& d : m_drivers) {
        if (NamesEqual(d.environment, envName))
            drivers.push_back(&d);
    }
    return drivers;
}

void Spooler::SetRights(const std::string& printer, const PrinterRights& rights) {
    m_rightsByName[NameKey(printer)] = rights;
    if (Printer* p = FindPrinter(printer))
        p->rights = rights;
}

HANDLE Spooler::Open(const std::string& printer, DWORD access) {
    // Distinct from kernel handles, so that CloseHandle on a printer handle fails as on Windows.
    uintptr_t value = 0x5f000000 + 8 * (++m_nextHandle);
    m_handles[value] = Handle{printer, access};
    return reinterpret_cast<HANDLE>(value);
}

Spooler::Handle* Spooler::Lookup(HANDLE h) {
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(h));
    return it == m_handles.end() ? nullptr : &it->second;
}

bool Spooler::Close(HANDLE h) {
    return m_handles.erase(reinterpret_cast<uintptr_t>(h)) != 0;
}

void Spooler::RemovePrinter(const std::string& name) {
    Machine& m = M(this);
    const Printer* found = FindPrinter(name);
    if (!found)
        return;
    Printer p = *found;
    if (p.connection) {
        std::string server, share;
        SplitConnection(p.name, server, share);
        m.registry.DeleteTree(std::string(kConnectionsKey) + "\\" + ConnectionKeyName(p.name));
        m.registry.DeleteTree(CachedConnectionKey(server, share));
    } else {
        m.registry.DeleteTree(PrinterKey(p.name));
        m.registry.DeleteValue(kDevicesKey, p.name);
        m.registry.DeleteValue(kPrinterPortsKey, p.name);
    }
    m_printers.erase(std::remove_if(m_printers.begin(), m_printers.end(),
                                    [&](const Printer& o) {
                                        return o.connection == p.connection && NamesEqual(o.name, p.name);
                                    }),
                     m_printers.end());
    m_deleted.push_back(p.name);
}

void Spooler::RemoveDriver(const Driver& driver) {
    Machine& m = M(this);
    Driver d = driver;
    m.registry.DeleteTree(DriverKeyPath(d));
    m_drivers.erase(std::remove_if(m_drivers.begin(), m_drivers.end(),
                                   [&](const Driver& o) {
                                       return NamesEqual(o.name, d.name) &&
                                              NamesEqual(o.environment, d.environment) &&
                                              o.version == d.version;
                                   }),
                    m_drivers.end());
}

void Spooler::Reload() {
    Registry& reg = M(this).registry;
    m_drivers.clear();
    m_printers.clear();
    auto str = [&](const std::string& key, const char* value) {
        return reg.GetString(key, value).value_or(std::string());
    };
    auto readDriver = [&](const std::string& key, const std::string& name, const std::string& env,
                          DWORD version) {
        Driver d;
        d.name = name;
        d.environment = env;
        d.version = reg.GetDword(key, "Version").value_or(version);
        d.driverFile = str(key, "Driver");
        d.configFile = str(key, "Configuration File");
        d.dataFile = str(key, "Data File");
        d.helpFile = str(key, "Help File");
        d.dependentFiles = reg.GetMultiString(key, "Dependent Files").value_or(std::vector<std::string>());
        d.monitor = str(key, "Monitor");
        d.defaultDataType = str(key, "Datatype");
        m_drivers.push_back(d);
    };

    std::string envRoot = std::string(kPrintKey) + "\\Environments";
    for (const std::string& envKey : reg.SubKeys(envRoot)) {
        const EnvironmentInfo* info = FindEnvironment(envKey);
        std::string env = info ? info->name : envKey;
        std::string drivers = envRoot + "\\" + envKey + "\\Drivers";
        for (const std::string& sub : reg.SubKeys(drivers)) {
            std::string key = drivers + "\\" + sub;
            if (Is9x()) {
                readDriver(key, sub, env, 0);
                continue;
            }
            // NT files its drivers under Version-<n>; anything else there is not a driver.
            if (NameKey(sub).rfind("VERSION-", 0) != 0)
                continue;
            DWORD version = DWORD(strtoul(sub.c_str() + 8, nullptr, 10));
            for (const std::string& name : reg.SubKeys(key)) {
                std::string driverKey = key + "\\" + name;
                readDriver(driverKey, name, env, version);
                m_drivers.back().version = version;
            }
        }
    }

    std::string printers = std::string(kPrintKey) + "\\Printers";
    for (const std::string& name : reg.SubKeys(printers)) {
        std::string key = printers + "\\" + name;
        Printer p;
        p.name = name;
        p.driver = str(key, "Printer Driver");
        p.port = str(key, "Port");
        p.shareName = str(key, "Share Name");
        p.attributes = reg.GetDword(key, "Attributes").value_or(0);
        p.comment = str(key, "Description");
        p.location = str(key, "Location");
        p.printProcessor = str(key, "Print Processor");
        p.datatype = str(key, "Datatype");
        auto r = m_rightsByName.find(NameKey(name));
        if (r != m_rightsByName.end())
            p.rights = r->second;
        m_printers.push_back(p);
    }

    for (const std::string& keyName : reg.SubKeys(kConnectionsKey)) {
        std::string name = keyName;
        std::replace(name.begin(), name.end(), ',', '\\');
        Printer p;
        p.name = name;
        p.connection = true;
        std::string share;
        SplitConnection(name, p.server, share);
        p.shareName = share;
        p.attributes = kAttributeNetwork;
        p.printProcessor = "WinPrint";
        p.datatype = "RAW";
        p.rights = PrinterRights{false, true, true};
        if (!p.server.empty()) {
            std::string cache = CachedConnectionKey(p.server, share);
            p.driver = str(cache, "Printer Driver");
            p.comment = str(cache, "Description");
            p.attributes = reg.GetDword(cache, "Attributes").value_or(kAttributeNetwork);
        }
        auto r = m_rightsByName.find(NameKey(name));
        if (r != m_rightsByName.end())
            p.rights = r->second;
        m_printers.push_back(p);
    }
}

}  // namespace winsim
