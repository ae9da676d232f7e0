// The spooler model's fixtures: where drivers, printers and connections land in the registry and on disk.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

namespace {

const std::string kPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";

winsim::DriverSetup BrontalDriver(int version = -1, const std::string& environment = std::string()) {
    winsim::DriverSetup d;
    d.name = "Brontal PS";
    d.environment = environment;
    d.version = version;
    d.driverFile = "PSCRIPT5.DLL";
    d.configFile = "PS5UI.DLL";
    d.dataFile = "BRONTAL.PPD";
    d.helpFile = "PSCRIPT.HLP";
    d.dependentFiles = {"tavq.dll", "BRONTAL.BPD"};
    d.fileContents = {{"BRONTAL.PPD", "*PPD-Adobe: \"4.3\""}};
    return d;
}

struct DriverPlace {
    winsim::Os os;
    std::string environment;  // as the test asks for it
    int version;
    std::string key;
    std::string fileDir;
};

TEST(SpoolerModel, DriverKeyAndFilesFollowEnvironmentAndVersion) {
    const DriverPlace cases[] = {
        {winsim::Os::WinXP, "", -1, kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-3\\Brontal PS",
         "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\"},
        {winsim::Os::WinXP, "", 2, kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-2\\Brontal PS",
         "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\2\\"},
        {winsim::Os::Win2000, "", 3, kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-3\\Brontal PS",
         "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\3\\"},
        {winsim::Os::NT4, "", 2, kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-2\\Brontal PS",
         "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\2\\"},
        {winsim::Os::WinXP, "windows x64", 3, kPrint + "\\Environments\\Windows x64\\Drivers\\Version-3\\Brontal PS",
         "C:\\WINDOWS\\system32\\spool\\drivers\\x64\\3\\"},
        {winsim::Os::Win98, "", -1, kPrint + "\\Environments\\Windows 4.0\\Drivers\\Brontal PS",
         "C:\\WINDOWS\\SYSTEM\\"},
        {winsim::Os::WinMe, "", -1, kPrint + "\\Environments\\Windows 4.0\\Drivers\\Brontal PS",
         "C:\\WINDOWS\\SYSTEM\\"},
    };
    for (const DriverPlace& c : cases) {
        SCOPED_TRACE(c.key);
        winsim::ScopedMachine m;
        m->system.SetOs(c.os);
        m->spooler.AddDriver(BrontalDriver(c.version, c.environment));

        EXPECT_TRUE(m->registry.KeyExists(c.key));
        EXPECT_EQ(m->registry.GetString(c.key, "Driver"), std::string("PSCRIPT5.DLL"));
        EXPECT_EQ(m->registry.GetString(c.key, "Configuration File"), std::string("PS5UI.DLL"));
        EXPECT_EQ(m->registry.GetString(c.key, "Data File"), std::string("BRONTAL.PPD"));
        EXPECT_EQ(m->registry.GetString(c.key, "Help File"), std::string("PSCRIPT.HLP"));
        EXPECT_EQ(m->registry.GetMultiString(c.key, "Dependent Files"),
                  (std::vector<std::string>{"tavq.dll", "BRONTAL.BPD"}));
        EXPECT_EQ(m->registry.GetString(c.key, "Datatype"), std::string("RAW"));
        const winsim::Spooler::Driver* d = m->spooler.FindDriver("brontal ps", c.environment);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(m->registry.GetDword(c.key, "Version"), d->version);

        EXPECT_EQ(m->files.ReadFile(c.fileDir + "BRONTAL.PPD"), std::string("*PPD-Adobe: \"4.3\""));
        for (const char* f : {"PSCRIPT5.DLL", "PS5UI.DLL", "PSCRIPT.HLP", "tavq.dll", "BRONTAL.BPD"})
            EXPECT_TRUE(m->files.Exists(c.fileDir + f)) << f;
        EXPECT_EQ(m->spooler.DriverFilePath(*d, "BRONTAL.PPD"), c.fileDir + "BRONTAL.PPD");
        EXPECT_EQ(m->spooler.DriverKeyPath(*d), c.key);
    }
}

TEST(SpoolerModel, DefaultVersionAndEnvironmentFollowTheOsFamily) {
    winsim::ScopedMachine m;
    EXPECT_EQ(m->spooler.Environment(), "Windows NT x86");
    m->spooler.AddDriver(BrontalDriver());
    EXPECT_EQ(m->spooler.FindDriver("Brontal PS")->version, 3u);

    winsim::ScopedMachine m98;
    m98->system.SetOs(winsim::Os::Win98);
    EXPECT_EQ(m98->spooler.Environment(), "Windows 4.0");
    m98->spooler.AddDriver(BrontalDriver());
    EXPECT_EQ(m98->spooler.FindDriver("Brontal PS")->version, 0u);

    m98->spooler.SetEnvironment("Windows x64");
    EXPECT_EQ(m98->spooler.Environment(), "Windows x64");
}

TEST(SpoolerModel, ExtraDriverValuesAreWrittenAsStrings) {
    winsim::ScopedMachine m;
    m->system.SetOs(winsim::Os::Win98);
    winsim::DriverSetup d = BrontalDriver();
    d.extraValues["WPX File"] = "BRONTAL.WPX";
    m->spooler.AddDriver(d);
    EXPECT_EQ(m->registry.GetString(kPrint + "\\Environments\\Windows 4.0\\Drivers\\Brontal PS", "WPX File"),
              std::string("BRONTAL.WPX"));
}

TEST(SpoolerModel, HighestVersionIsFoundUnlessOneIsAskedFor) {
    winsim::ScopedMachine m;
    m->spooler.AddDriver(BrontalDriver(2));
    m->spooler.AddDriver(BrontalDriver(3));
    EXPECT_EQ(m->spooler.FindDriver("Brontal PS")->version, 3u);
    EXPECT_EQ(m->spooler.FindDriver("Brontal PS", "", 2)->version, 2u);
    EXPECT_EQ(m->spooler.FindDriver("Brontal PS", "Windows x64"), nullptr);
    EXPECT_TRUE(m->spooler.DriverExists("BRONTAL ps"));
}

TEST(SpoolerModel, AddPrinterWritesWhatTheSpoolerKeeps) {
    winsim::ScopedMachine m;
    m->spooler.AddDriver(BrontalDriver());
    winsim::PrinterSetup p;
    p.name = "Office";
    p.driver = "Brontal PS";
    p.port = "IP_10.0.0.7";
    p.shareName = "OFFICE";
    p.shared = true;
    p.comment = "second floor";
    m->spooler.AddPrinter(p);

    std::string key = kPrint + "\\Printers\\Office";
    EXPECT_EQ(m->registry.GetString(key, "Port"), std::string("IP_10.0.0.7"));
    EXPECT_EQ(m->registry.GetString(key, "Printer Driver"), std::string("Brontal PS"));
    EXPECT_EQ(m->registry.GetString(key, "Share Name"), std::string("OFFICE"));
    EXPECT_EQ(m->registry.GetDword(key, "Attributes"), DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED));
    EXPECT_EQ(m->registry.GetString(key, "Print Processor"), std::string("WinPrint"));
    EXPECT_EQ(m->registry.GetString(key, "Datatype"), std::string("RAW"));
    EXPECT_EQ(m->registry.GetString(key, "Description"), std::string("second floor"));
    EXPECT_EQ(m->registry.GetString("HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", "Office"),
              std::string("winspool,IP_10.0.0.7"));
    EXPECT_TRUE(m->spooler.IsShared("office"));
    EXPECT_TRUE(m->spooler.PrinterExists("OFFICE"));
    EXPECT_FALSE(m->spooler.PrinterExists("Office2"));
}

TEST(SpoolerModel, ConnectionIsFiledUnderTheUserAndTheLanManProvider) {
    winsim::ScopedMachine m;
    winsim::ConnectionSetup c;
    c.name = "\\\\srv\\q";
    c.driver = "Brontal PS";
    m->spooler.AddConnection(c);

    EXPECT_EQ(m->registry.GetString("HKCU\\Printers\\Connections\\,,srv,q", "Server"), std::string("\\\\srv"));
    std::string cache =
        "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print Services\\Servers\\srv"
        "\\Printers\\q";
    EXPECT_EQ(m->registry.GetString(cache, "Printer Driver"), std::string("Brontal PS"));
    const winsim::Spooler::Printer* p = m->spooler.FindPrinter("\\\\SRV\\Q");
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->connection);
    EXPECT_EQ(p->server, "\\\\srv");
    EXPECT_EQ(p->attributes, DWORD(PRINTER_ATTRIBUTE_NETWORK));
    EXPECT_TRUE(p->rights.serverRead);
    EXPECT_FALSE(p->rights.administer);
}

TEST(SpoolerModel, ReloadReadsBackWhatTheRegistryStillHolds) {
    winsim::ScopedMachine m;
    m->spooler.AddDriver(BrontalDriver());
    winsim::DriverSetup other = BrontalDriver(2);
    other.name = "Other PCL";
    m->spooler.AddDriver(other);
    for (const char* name : {"Office", "Lab"}) {
        winsim::PrinterSetup p;
        p.name = name;
        p.driver = "Brontal PS";
        p.port = "LPT1:";
        p.shareName = "S";
        p.shared = true;
        m->spooler.AddPrinter(p);
    }
    m->spooler.SetRights("Lab", winsim::PrinterRights{false, true, true});
    winsim::ConnectionSetup c;
    c.name = "\\\\srv\\q";
    c.driver = "Other PCL";
    c.comment = "hall";
    m->spooler.AddConnection(c);

    m->registry.DeleteTree(kPrint + "\\Printers\\Office");
    m->registry.DeleteTree(kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-2\\Other PCL");
    EXPECT_TRUE(m->spooler.PrinterExists("Office")) << "a running spooler keeps what it loaded";
    m->spooler.Reload();

    EXPECT_EQ(m->spooler.PrinterNames(), (std::vector<std::string>{"Lab", "\\\\srv\\q"}));
    const winsim::Spooler::Printer* lab = m->spooler.FindPrinter("Lab");
    ASSERT_NE(lab, nullptr);
    EXPECT_EQ(lab->driver, "Brontal PS");
    EXPECT_EQ(lab->attributes, DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED));
    EXPECT_FALSE(lab->rights.administer) << "rights belong to the printer, not to the spooler's memory";
    const winsim::Spooler::Printer* q = m->spooler.FindPrinter("\\\\srv\\q");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->driver, "Other PCL");
    EXPECT_EQ(q->comment, "hall");

    const winsim::Spooler::Driver* d = m->spooler.FindDriver("Brontal PS");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->version, 3u);
    EXPECT_EQ(d->dependentFiles, (std::vector<std::string>{"tavq.dll", "BRONTAL.BPD"}));
    EXPECT_FALSE(m->spooler.DriverExists("Other PCL"));
}

TEST(SpoolerModel, ReloadOn9xReadsDriversWithoutVersionKeys) {
    winsim::ScopedMachine m;
    m->system.SetOs(winsim::Os::Win98);
    m->spooler.AddDriver(BrontalDriver());
    m->spooler.Reload();
    const winsim::Spooler::Driver* d = m->spooler.FindDriver("Brontal PS");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->environment, "Windows 4.0");
    EXPECT_EQ(d->dataFile, "BRONTAL.PPD");
}

}  // namespace
