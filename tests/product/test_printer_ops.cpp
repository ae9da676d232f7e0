// The printer object: the connection test, unsharing, and deletion through the driver's own library.
#include <gtest/gtest.h>

#include "removal_fixture.h"

namespace {

int g_driverCalls = 0;
HANDLE g_driverHandle = nullptr;

// What a driver's library does when asked to delete its printer: the spooler's own deletion.
BOOL WINAPI DriverDeletePrinter(HANDLE printer) {
    g_driverCalls++;
    g_driverHandle = printer;
    return DeletePrinter(printer);
}

// Puts a driver library at `path` with a "DeletePrinter" export (or none).
void InstallDriverLibrary(Workstation& ws, const std::string& path, bool withExport = true) {
    winsim::ModuleImage image;
    if (withExport)
        image.exports["DeletePrinter"] = reinterpret_cast<FARPROC>(&DriverDeletePrinter);
    ws->modules.Register(path, image);
    g_driverCalls = 0;
    g_driverHandle = nullptr;
}

}  // namespace

TEST(UnsharePrinter, ClearsOnlyTheSharedAttributeOfASharedLocalPrinter) {
    RemovalBench bench;
    bench.ws->spooler.FindPrinter("Office")->attributes |= 0x200;  // PRINTER_ATTRIBUTE_HIDDEN
    EXPECT_EQ(bench.Office().UnsharePrinter(), 1);
    const winsim::Spooler::Printer* printer = bench.ws->spooler.FindPrinter("Office");
    EXPECT_FALSE(bench.ws->spooler.IsShared("Office"));
    EXPECT_EQ(printer->attributes & ~(DWORD)PRINTER_ATTRIBUTE_SHARED, 0x240u);
    EXPECT_EQ(bench.ws->spooler.OpenHandles(), 0);
    EXPECT_EQ(bench.ws->system.globals.LiveBlocks(), 0u);
}

TEST(UnsharePrinter, WritesNothingForAnEmptyShareNameOrAConnection) {
    RemovalBench bench;
    std::unique_ptr<CPrinterEntry> other(bench.ws.MakeEntry("Other", OS_FAMILY_NT5));
    EXPECT_EQ(other->UnsharePrinter(), 1);
    winsim::ConnectionSetup connection;
    connection.name = "\\\\srv\\q";
    connection.driver = "PS Driver";
    bench.ws->spooler.AddConnection(connection);
    std::unique_ptr<CPrinterEntry> remote(bench.ws.MakeEntry("\\\\srv\\q", OS_FAMILY_NT5));
    EXPECT_EQ(remote->IsPrinterConnection(), 1);
    EXPECT_EQ(remote->UnsharePrinter(), 0);
    EXPECT_EQ(bench.ws->faults.Calls("SetPrinterA"), 0);
}

TEST(UnsharePrinter, ALocalPrinterIsNoConnectionEvenWhereEveryoneMayReadIt) {
    // Wine's spooler, and any that grants SERVER_READ on local printers, opens them for reading too.
    RemovalBench bench;
    winsim::PrinterRights rights;
    rights.serverRead = true;
    bench.ws->spooler.SetRights("Office", rights);
    CPrinterEntry& office = bench.Office();
    EXPECT_EQ(office.IsPrinterConnection(), 0);
    EXPECT_EQ(office.UnsharePrinter(), 1);
    EXPECT_FALSE(bench.ws->spooler.IsShared("Office"));
    office.DeleteAllRegistryEntries(0, 1);
    EXPECT_FALSE(KeyThere(std::string(kPrintersKey) + "\\Office"));
}

TEST(DeletePrinterViaDriver, CallsTheLibraryBesideTheDataFileWithTheOpenPrinter) {
    RemovalBench bench;
    InstallDriverLibrary(bench.ws, bench.driverDir + "\\3\\OFFICE.DLL");
    CPrinterEntry& office = bench.Office();
    EXPECT_EQ(office.DeletePrinterViaDriver(), 1);
    EXPECT_EQ(g_driverCalls, 1);
    EXPECT_NE(g_driverHandle, nullptr);
    EXPECT_FALSE(bench.ws->spooler.PrinterExists("Office"));
    EXPECT_TRUE(bench.ws->spooler.PrinterExists("Other"));
    EXPECT_EQ(bench.ws->modules.LoadCount(bench.driverDir + "\\3\\OFFICE.DLL"), 0);
    EXPECT_EQ(bench.ws->spooler.OpenHandles(), 0);
}

struct DriverLibraryCase {
    const char* name;
    std::string dataFile;      // empty: as the spooler reports it; "=X": exactly X; else in the version folder
    std::string libraryPath;   // where the test puts a library; relative to the version folder
    bool withExport;
    int result;
    int calls;
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const DriverLibraryCase& c, std::ostream* os) {
    *os << c.name;
}

class DriverLibraryCases : public ::testing::TestWithParam<DriverLibraryCase> {};

TEST_P(DriverLibraryCases, LoadWhatTheDataFileNames) {
    const DriverLibraryCase& c = GetParam();
    RemovalBench bench;
    const std::string dir = bench.driverDir + "\\3\\";
    InstallDriverLibrary(bench.ws, dir + c.libraryPath, c.withExport);
    CPrinterEntry& office = bench.Office();
    if (!c.dataFile.empty())
        office.m_strDataFile = (c.dataFile[0] == '=' ? c.dataFile.substr(1) : dir + c.dataFile).c_str();
    EXPECT_EQ(office.DeletePrinterViaDriver(), c.result);
    EXPECT_EQ(g_driverCalls, c.calls);
    EXPECT_EQ(bench.ws->spooler.PrinterExists("Office"), c.calls == 0);
    EXPECT_EQ(bench.ws->modules.LoadCount(dir + c.libraryPath), 0);
    EXPECT_EQ(bench.ws->spooler.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Printer, DriverLibraryCases,
    ::testing::Values(DriverLibraryCase{"NoLibraryBesideTheDataFile", "", "ELSEWHERE.DLL", true, 0, 0},
                      DriverLibraryCase{"LibraryWithoutTheExport", "", "OFFICE.DLL", false, 0, 0},
                      // LoadLibraryA adds ".DLL" to a name without an extension.
                      DriverLibraryCase{"TwoLetterExtensionLosesItsDot", "OFFICE.PS", "OFFICEDLL.DLL", true, 1, 1},
                      DriverLibraryCase{"AnyExtensionBecomesDll", "OFFICE.XYZ", "OFFICE.DLL", true, 1, 1},
                      DriverLibraryCase{"PathOfFourCharactersLoadsNothing", "=A.PD", "A.DLL", true, 0, 0},
                      DriverLibraryCase{"NoDataFileLoadsNothing", "=", "OFFICE.DLL", true, 0, 0}),
    [](const ::testing::TestParamInfo<DriverLibraryCase>& info) { return std::string(info.param.name); });

TEST(DeletePrinterViaDriver, APrinterThatCannotBeOpenedLoadsNothing) {
    RemovalBench bench;
    InstallDriverLibrary(bench.ws, bench.driverDir + "\\3\\OFFICE.DLL");
    CPrinterEntry& office = bench.Office();
    winsim::PrinterRights none{false, false, false};
    bench.ws->spooler.SetRights("Office", none);
    EXPECT_EQ(office.DeletePrinterViaDriver(), 0);
    EXPECT_EQ(bench.ws->modules.LoadsTotal(bench.driverDir + "\\3\\OFFICE.DLL"), 0);
    EXPECT_TRUE(bench.ws->spooler.PrinterExists("Office"));
}

TEST(DeletePrinterViaDriver, AnEmptyPrinterNameOpensNeitherAPrinterNorTheServer) {
    RemovalBench bench;
    InstallDriverLibrary(bench.ws, bench.driverDir + "\\3\\OFFICE.DLL");
    CPrinterEntry& office = bench.Office();
    office.m_strPrinterName = "";
    EXPECT_EQ(office.DeletePrinterViaDriver(), 0);
    EXPECT_EQ(bench.ws->modules.LoadsTotal(bench.driverDir + "\\3\\OFFICE.DLL"), 0);
    EXPECT_TRUE(bench.ws->spooler.PrinterExists("Office"));
}

TEST(DeleteAllRegistryEntries, AConnectionRemovesItsConnectionAndCachedKeysAndItsDataLocation) {
    RemovalBench bench;
    const std::string cached = bench.AddConnection();
    bench.ws->registry.CreateKey("HKLM\\Software\\Brontal\\Remote\\q\\Trays");
    bench.ws->registry.CreateKey("HKCU\\Software\\Brontal\\Remote\\q");
    bench.ws->registry.CreateKey("HKCU\\Printers\\Connections\\,,srv,q");
    std::unique_ptr<CPrinterEntry> remote(bench.ws.MakeEntry("\\\\srv\\q", OS_FAMILY_NT5));
    remote->DeleteAllRegistryEntries(1, 0);
    EXPECT_FALSE(KeyThere("HKCU\\Printers\\Connections\\,,srv,q"));
    EXPECT_FALSE(KeyThere(cached));
    EXPECT_TRUE(KeyThere("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print "
                         "Services\\Servers\\srv\\Printers"));
    EXPECT_FALSE(KeyThere("HKLM\\Software\\Brontal\\Remote\\q"));
    EXPECT_FALSE(KeyThere("HKCU\\Software\\Brontal\\Remote\\q"));
    // A connection is no local printer: the local printer keys of its name part stay.
    EXPECT_TRUE(KeyThere(std::string(kPrintersKey) + "\\Office"));
}
