// The removal station: Brontal drivers with their own libraries and the companion library.
#include "removal_station.h"

const char kShippedCompanion[] = "C:\\Program Files\\Trellin\\tavq.dll";
CompanionScript g_companion;

namespace {

BOOL WINAPI StationDriverDeletePrinter(HANDLE printer) {
    return DeletePrinter(printer);
}

int StationCompanionDelete() {
    g_companion.calls++;
    if (g_companion.during)
        g_companion.during();
    return g_companion.result;
}

int ShippedCompanionDelete() {
    return 1;
}

}  // namespace

RemovalStation::RemovalStation(winsim::Os os) : ws(os) {
    g_companion = CompanionScript();
    driverDir = ws.DriverDir();
    versionDir = ws->system.IsNT() ? driverDir + "\\3" : driverDir;
    ws->files.WriteFile(kShippedCompanion, "tavq.dll as shipped");
    winsim::ModuleImage shipped;
    shipped.exports["Delete"] = reinterpret_cast<FARPROC>(&ShippedCompanionDelete);
    ws->modules.Register(kShippedCompanion, shipped);
}

void RemovalStation::AddBrontalDriver(const std::string& driver, const std::string& dataFile, bool companion) {
    winsim::DriverSetup setup;
    setup.name = driver;
    setup.driverFile = "PSCRIPT5.DLL";
    setup.configFile = "PS5UI.DLL";
    setup.dataFile = dataFile;
    setup.helpFile = dataFile.substr(0, dataFile.size() - 4) + ".HLP";
    if (companion)
        setup.dependentFiles = {"TAVQ.DLL"};
    setup.fileContents[dataFile.substr(0, dataFile.size() - 4) + ".UIM"] = "UIM";
    ws->spooler.AddDriver(setup);
    winsim::ModuleImage library;
    library.exports["DeletePrinter"] = reinterpret_cast<FARPROC>(&StationDriverDeletePrinter);
    ws->modules.Register(versionDir + "\\" + dataFile.substr(0, dataFile.size() - 3) + "DLL", library);
    if (companion) {
        winsim::ModuleImage tavq;
        tavq.exports["Delete"] = reinterpret_cast<FARPROC>(&StationCompanionDelete);
        ws->modules.Register(versionDir + "\\TAVQ.DLL", tavq);
    }
}

void RemovalStation::AddPrinter(const std::string& printer, const std::string& driver, bool shared) {
    winsim::PrinterSetup setup;
    setup.name = printer;
    setup.driver = driver;
    setup.shared = shared;
    if (shared)
        setup.shareName = printer.substr(0, 8);
    ws->spooler.AddPrinter(setup);
}

void RemovalStation::AddOfficeAndPlain() {
    AddBrontalDriver("Brontal Office", "OFFICE.PPD");
    AddPrinter("Office", "Brontal Office", true);
    ws.AddPlainDriver("Plain Driver", "PLAIN.PPD");
    ws.AddPrinter("Plain", "Plain Driver");
    ws->registry.SetString("HKCU\\Printers\\Settings\\Plain", "Paper", "A4");
}

void RemovalStation::AddLobby() {
    AddBrontalDriver("Brontal Lobby", "LOBBY.PPD", false);
    AddPrinter("Lobby", "Brontal Lobby");
}

std::vector<std::string> RemovalStation::Transcript() const {
    return const_cast<Workstation&>(ws)->debug.strings;
}
