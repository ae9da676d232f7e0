// The removal bench: a workstation seeded with a printer's and its driver's registry traces.
#include "removal_fixture.h"

const char kUserSid[] = "S-1-5-21-604718223-1882395107-905112674-1037";
const char kPrintersKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

void SeedRegistryTraces(Workstation& ws, const std::string& printer, const std::string& driver,
                        const std::string& location) {
    winsim::Registry& r = ws->registry;
    const std::string sid = kUserSid;
    const std::string x = "\\\\" + ws->system.computerName + "\\" + printer;
    r.SetString(std::string(kPrintersKey) + "\\" + printer + "\\PrinterDriverData", "_NXStorage\\_NXDataLocation",
                location);
    r.SetString("HKLM\\" + location + "\\Settings", "Tray", "1");
    r.SetString("HKCU\\" + location, "Copies", "1");
    for (const char* set : {"ControlSet001", "ControlSet002", "ControlSet003"}) {
        r.SetString(std::string("HKLM\\SYSTEM\\") + set + "\\Control\\Print\\Printers\\" + printer, "Name", printer);
        r.SetString(std::string("HKLM\\SYSTEM\\") + set + "\\Control\\Print\\Printers\\" + driver, "Name", driver);
    }
    r.SetString(std::string(kPrintersKey) + "\\" + driver, "Name", driver);
    r.SetString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan\\" + driver, "Path", "x");
    r.SetString("HKLM\\SOFTWARE\\PPML\\Postscript", driver, "1");
    r.SetString("HKLM\\SOFTWARE\\PPML\\Postscript", printer, "1");
    r.SetString("HKCU\\Printers\\Settings\\Drivers\\" + driver, "Paper", "A4");
    r.SetString("HKCU\\Printers\\Settings\\Printers\\" + driver, "Paper", "A4");
    r.SetString("HKCU\\Printers\\Settings\\Printers\\" + printer, "Paper", "A4");
    r.SetString("HKCU\\Printers\\Settings\\" + printer, "Paper", "A4");
    for (const std::string& name : {driver, printer})
        r.SetValue("HKCU\\Printers\\DevModes2", name, REG_BINARY, "dm");
    for (const std::string& name : {driver, printer})
        r.SetValue("HKCU\\Printers\\DevModePerUser", name, REG_BINARY, "dm");
    r.SetValue("HKCU\\Printers\\DevModePerUser", x + ",LocalOnly,DrvConvert", REG_BINARY, "dm");
    r.SetValue("HKCU\\Printers\\DevModePerUser", x + ",LocalsplOnly", REG_BINARY, "dm");
    r.SetValue("HKCU\\Printers\\Devmodes2", x + ",LocalsplOnly", REG_BINARY, "dm");
    r.SetString("HKU\\.DEFAULT\\Printers\\Settings\\Drivers\\" + driver, "Paper", "A4");
    r.SetString("HKU\\.DEFAULT\\Printers\\Settings\\Printers\\" + driver, "Paper", "A4");
    for (const std::string& name : {driver, printer}) {
        r.SetValue("HKU\\.DEFAULT\\Printers\\DevModes2", name, REG_BINARY, "dm");
        r.SetValue("HKU\\.DEFAULT\\Printers\\DevModePerUser", name, REG_BINARY, "dm");
    }
    r.SetString("HKU\\" + sid + "\\Printers\\Settings\\Drivers\\" + driver, "Paper", "A4");
    r.SetString("HKU\\" + sid + "\\Printers\\Settings\\Printers\\" + driver, "Paper", "A4");
    r.SetString("HKU\\" + sid + "\\Printers\\Settings\\Printers\\" + printer, "Paper", "A4");
    r.SetValue("HKU\\" + sid + "\\Printers\\DevModes2", driver, REG_BINARY, "dm");
}

RemovalBench::RemovalBench(winsim::Os os) : ws(os) {
    driverDir = ws.DriverDir();
    ws.AddUimDriver("PS Driver", "OFFICE.PPD");
    ws.AddPlainDriver("Other Driver", "OTHER.PPD");
    winsim::PrinterSetup office;
    office.name = "Office";
    office.driver = "PS Driver";
    office.shared = true;
    office.shareName = "OFFICE";
    ws->spooler.AddPrinter(office);
    ws.AddPrinter("Other", "Other Driver");
    ws->registry.CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark\\Draft");
    ws->registry.CreateKey("HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Watermark\\Draft");
    SeedRegistryTraces(ws, "Office", "PS Driver", "SOFTWARE\\Brontal\\Data\\Office");
    SeedRegistryTraces(ws, "Other", "Other Driver", "SOFTWARE\\Brontal\\Data\\Other");
}

CPrinterEntry& RemovalBench::Office() {
    office.reset(ws.MakeEntry("Office", FamilyOf(ws->system.os)));
    return *office;
}

std::string RemovalBench::AddConnection() {
    winsim::ConnectionSetup connection;
    connection.name = "\\\\srv\\q";
    connection.driver = "PS Driver";
    ws->spooler.AddConnection(connection);
    const std::string cached =
        "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print Services\\Servers\\srv"
        "\\Printers\\q";
    ws->registry.SetString(cached + "\\PrinterDriverData", "_NXStorage\\_NXDataLocation", "Software\\Brontal\\Remote\\q");
    return cached;
}

void RemovalBench::NameExtInfoFile(const std::string& content) {
    ws->registry.SetString("HKCU\\Software\\Brontal\\Remote\\q", "ExtInfofileName", "C:\\Brontal\\ext.txt");
    if (content != "<none>")
        ws->files.WriteFile("C:\\Brontal\\ext.txt", content);
}

bool KeyThere(const std::string& path) {
    return winsim::Current().registry.KeyExists(path);
}

bool ValueThere(const std::string& path, const std::string& name) {
    return winsim::Current().registry.ValueExists(path, name);
}
