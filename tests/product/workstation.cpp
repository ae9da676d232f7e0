// The simulated workstation tests run the program on.
#include "workstation.h"

#include "afx/afxwin.h"

namespace {
const char kProgram[] = "C:\\Program Files\\Trellin\\Trellin.exe";
const char kLanguageLibrary[] = "C:\\Program Files\\Trellin\\us_res.dll";
}  // namespace

int FamilyOf(winsim::Os os) {
    switch (os) {
    case winsim::Os::Win95:
    case winsim::Os::Win98:
    case winsim::Os::WinMe:
        return OS_FAMILY_9X;
    case winsim::Os::Win2000:
    case winsim::Os::WinXP:
    case winsim::Os::Win2003:
        return OS_FAMILY_NT5;
    default:
        return OS_FAMILY_NT;
    }
}

Workstation::Workstation(winsim::Os os) {
    m_machine->system.SetOs(os);
    // The system's own libraries are mapped in every process (the companion looks its process lists up there).
    m_machine->modules.InstallSystemLibraries();
    winsim::ModuleImage program;
    program.resFile = TRELLIN_RES;
    HMODULE module = m_machine->modules.SetMainModule(kProgram, program);
    winsim::ModuleImage english;
    english.resFile = US_RES_RES;
    m_machine->modules.Register(kLanguageLibrary, english);
    // The application object outlives machines: it must see this one's program.
    AfxGetApp()->m_hInstance = module;
}

std::string Workstation::DriverDir() {
    return m_machine->spooler.DriverDirectory().value_or("");
}

void Workstation::AddUimDriver(const std::string& driver, const std::string& dataFile) {
    winsim::DriverSetup setup;
    setup.name = driver;
    setup.driverFile = "PSCRIPT5.DLL";
    setup.configFile = "BRUI.DLL";
    setup.dataFile = dataFile;
    setup.helpFile = "BRHELP.HLP";
    setup.dependentFiles = {"TAVQ.DLL"};
    setup.fileContents[dataFile.substr(0, dataFile.size() - 4) + ".UIM"] = "UIM";
    m_machine->spooler.AddDriver(setup);
}

void Workstation::AddMarkerDriver(const std::string& driver, const std::string& dataFile) {
    winsim::DriverSetup setup;
    setup.name = driver;
    setup.driverFile = "PSCRIPT5.DLL";
    setup.configFile = "PS5UI.DLL";
    setup.dataFile = dataFile;
    setup.fileContents[dataFile] = "*PPD-Adobe: \"4.3\"\r\n*OrvinexExchange: True\r\n";
    m_machine->spooler.AddDriver(setup);
}

void Workstation::AddPlainDriver(const std::string& driver, const std::string& dataFile) {
    winsim::DriverSetup setup;
    setup.name = driver;
    setup.driverFile = "PSCRIPT5.DLL";
    setup.configFile = "PS5UI.DLL";
    setup.dataFile = dataFile;
    setup.fileContents[dataFile] = "*PPD-Adobe: \"4.3\"\r\n*ModelName: \"Plain\"\r\n";
    m_machine->spooler.AddDriver(setup);
}

void Workstation::AddPrinter(const std::string& name, const std::string& driver) {
    winsim::PrinterSetup setup;
    setup.name = name;
    setup.driver = driver;
    m_machine->spooler.AddPrinter(setup);
}

int Workstation::Run(const std::string& arguments) {
    m_machine->system.commandLine = std::string("\"") + kProgram + "\"" + (arguments.empty() ? "" : " " + arguments);
    return AfxWinMain(GetModuleHandleA(NULL), SW_SHOWNORMAL);
}

CPrinterEntry* Workstation::MakeEntry(const std::string& printer, int family) {
    CPrinterEntry* entry = new CPrinterEntry;
    entry->m_nOsFamily = family;
    entry->m_strDriverDir = DriverDir().c_str();
    entry->SetPrinterName(printer.c_str());
    entry->CollectDriverFiles();
    return entry;
}

std::vector<std::string> FilePaths(CPrinterEntry& entry) {
    std::vector<std::string> paths;
    POSITION pos = entry.m_files.GetHeadPosition();
    while (pos)
        paths.push_back((LPCSTR) static_cast<CDriverFile*>(entry.m_files.GetNext(pos))->m_strPath);
    return paths;
}
