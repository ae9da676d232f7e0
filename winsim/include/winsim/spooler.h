// The simulated print spooler: drivers per environment and version, local printers, connections, open handles.
#pragma once

#include <winsim/wintypes.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace winsim {

// What the current user may do with one printer when opening it.
struct PrinterRights {
    bool administer = true;   // PRINTER_ACCESS_ADMINISTER, PRINTER_ALL_ACCESS, DELETE...
    bool use = true;          // PRINTER_ACCESS_USE, PRINTER_READ, no access given
    bool serverRead = false;  // SERVER_READ (0x20002): granted on connections, refused on local printers
};

// A driver as a test installs it. File names are bare; the files are created in the driver directory.
struct DriverSetup {
    std::string name;
    std::string environment;  // empty: the machine's environment
    int version = -1;         // -1: 0 on the 9x family, 3 on NT
    std::string driverFile;   // "Driver"
    std::string configFile;   // "Configuration File"
    std::string dataFile;     // "Data File"
    std::string helpFile;     // "Help File"
    std::vector<std::string> dependentFiles;
    std::string monitor;
    std::string defaultDataType = "RAW";
    // Further REG_SZ values of the driver key, e.g. "WPX File" on Windows 9x.
    std::map<std::string, std::string> extraValues;
    // Contents by bare file name; a file without an entry gets its own name as content. Names that
    // belong to no role are created too.
    std::map<std::string, std::string> fileContents;
    bool createFiles = true;
};

// A local printer as a test installs it.
struct PrinterSetup {
    std::string name;
    std::string driver;
    std::string port = "LPT1:";
    std::string shareName;
    bool shared = false;  // adds PRINTER_ATTRIBUTE_SHARED
    DWORD attributes = 0x40;  // PRINTER_ATTRIBUTE_LOCAL
    std::string comment;
    std::string location;
    std::string printProcessor = "WinPrint";
    std::string datatype = "RAW";
    PrinterRights rights;
};

// A connection to a printer shared by another computer, named \\server\share.
struct ConnectionSetup {
    std::string name;
    std::string driver;
    DWORD attributes = 0x10;  // PRINTER_ATTRIBUTE_NETWORK
    std::string comment;
    PrinterRights rights{false, true, true};
};

class Spooler {
public:
    struct Driver {
        std::string name;
        std::string environment;
        DWORD version = 0;
        std::string driverFile, configFile, dataFile, helpFile;
        std::vector<std::string> dependentFiles;
        std::string monitor;
        std::string defaultDataType;
    };

    struct Printer {
        std::string name;
        std::string driver;
        std::string port;
        std::string shareName;
        DWORD attributes = 0;
        DWORD status = 0;  // PRINTER_STATUS_*: paused through SetPrinterA
        std::string comment;
        std::string location;
        std::string printProcessor;
        std::string datatype;
        PrinterRights rights;
        bool connection = false;
        std::string server;  // "\\server" for a connection, empty for a local printer
    };

    // ---- Fixtures: they act on the current machine and write what Windows keeps in the registry.

    // Installs a driver: its key under ...\Control\Print\Environments\<env>\Drivers (with
    // Version-<v> on NT) and its files in the driver directory (<system>\spool\drivers\<dir>\<v> on
    // NT, the system directory on 9x). Replaces a driver of the same name, environment and version.
    void AddDriver(const DriverSetup& setup);
    // Installs a local printer and its key ...\Control\Print\Printers\<name>; on NT also the user's
    // Devices and PrinterPorts values. The driver need not exist (the spooler then reports 1797).
    void AddPrinter(const PrinterSetup& setup);
    // Makes a connection as AddPrinterConnectionA would: HKCU\Printers\Connections\,,server,share and
    // the cached copy under the LanMan print provider.
    void AddConnection(const ConnectionSetup& setup);
    // Makes \\server\share reachable: AddPrinterConnectionA of that name succeeds, and OpenPrinterA opens
    // it whether or not the workstation has a connection to it (only ClosePrinter is modelled on such a
    // handle of a printer the workstation does not list; other calls on it fail with 1801).
    void OfferNetworkPrinter(const ConnectionSetup& setup);
    // The server stops sharing \\server\share.
    void WithdrawNetworkPrinter(const std::string& name);

    // The environment the machine's own drivers use: "Windows 4.0" on the 9x family, "Windows NT x86"
    // on NT, unless a test chose another ("Windows x64", as 64-bit Wine uses).
    std::string Environment() const;
    void SetEnvironment(const std::string& environment) { m_environment = environment; }
    // The driver directory GetPrinterDriverDirectoryA reports for `environment` (empty: the machine's),
    // or nothing for an environment the machine does not know.
    std::optional<std::string> DriverDirectory(const std::string& environment = std::string()) const;
    // Full path of one of the driver's files, as GetPrinterDriverA reports it.
    std::string DriverFilePath(const Driver& driver, const std::string& file) const;
    // The registry key (with "HKLM\" in front) Windows keeps the driver's description in.
    std::string DriverKeyPath(const Driver& driver) const;

    // ---- Queries for tests.
    bool PrinterExists(const std::string& name) const;
    bool IsShared(const std::string& name) const;
    const Printer* FindPrinter(const std::string& name) const;
    Printer* FindPrinter(const std::string& name);
    std::vector<std::string> PrinterNames() const;  // local printers, then connections, in enumeration order
    // Printers (and connections) removed through DeletePrinter or DeletePrinterConnectionA, in order.
    const std::vector<std::string>& DeletedPrinters() const { return m_deleted; }
    // The driver of that name in `environment` (empty: the machine's); the highest version unless one
    // is asked for.
    const Driver* FindDriver(const std::string& name, const std::string& environment = std::string(),
                             int version = -1) const;
    // Every driver of `environment` (empty: the machine's), every version, in the order installed.
    std::vector<const Driver*> Drivers(const std::string& environment = std::string()) const;
    bool DriverExists(const std::string& name, const std::string& environment = std::string(),
                      int version = -1) const {
        return FindDriver(name, environment, version) != nullptr;
    }
    void SetRights(const std::string& printer, const PrinterRights& rights);
    int OpenHandles() const { return static_cast<int>(m_handles.size()); }

    // ---- Service state. A stopped spooler refuses printer calls with RPC_S_SERVER_UNAVAILABLE (1722)
    // only when `failWhenStopped` is set; by default calls behave as Wine's in-process spooler does.
    void SetRunning(bool running) { m_running = running; }
    bool Running() const { return m_running; }
    bool failWhenStopped = false;
    // What the spooler does when it starts again: it forgets its printers and drivers and reads them
    // back from the registry, so keys deleted while it ran take their printers with them.
    void Reload();

    // ---- Used by the simulated calls.
    struct Handle {
        std::string printer;  // empty for the local print server
        DWORD access = 0;
    };
    // Printer by name, local printers first; case-insensitive as Windows compares printer names.
    HANDLE Open(const std::string& printer, DWORD access);
    Handle* Lookup(HANDLE h);
    bool Close(HANDLE h);
    // Removes a printer or connection with its registry keys and records it as deleted.
    void RemovePrinter(const std::string& name);
    void RemoveDriver(const Driver& driver);
    std::vector<const Printer*> Enumerate(bool local, bool connections) const;
    const ConnectionSetup* FindOffered(const std::string& name) const;
    // Writes the printer's key from its current state (used after SetPrinterA).
    void SavePrinter(const Printer& printer);
    bool Is9x() const;

private:
    // Drops a printer or connection of that name from memory (not from the registry).
    void ForgetPrinter(const std::string& name);
    void SaveDriver(const Driver& driver, const std::map<std::string, std::string>& extraValues);
    void AddConnectionRecord(const ConnectionSetup& setup);

    std::string m_environment;
    std::vector<Driver> m_drivers;
    std::vector<Printer> m_printers;
    std::vector<ConnectionSetup> m_offered;
    std::vector<std::string> m_deleted;
    // Rights survive a reload: they belong to the printer's security, not to the spooler's memory.
    std::map<std::string, PrinterRights> m_rightsByName;
    std::map<uintptr_t, Handle> m_handles;
    uintptr_t m_nextHandle = 0;
    bool m_running = true;
};

}  // namespace winsim
