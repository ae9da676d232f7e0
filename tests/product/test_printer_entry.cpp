// Printer entries: driver description, driver key, candidate driver files and the Brontal driver test.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <map>
#include <memory>

#include "engine/PrinterList.h"
#include "workstation.h"

namespace {

winsim::DriverSetup ModelDriver() {
    winsim::DriverSetup setup;
    setup.name = "Model Driver";
    setup.configFile = "cfg.dll";
    setup.dataFile = "Model.ppd";
    setup.driverFile = "drv.dll";
    setup.helpFile = "drv.hlp";
    setup.dependentFiles = {"a.dll", "b.ini"};
    return setup;
}

std::vector<std::string> Prefixed(const std::string& dir, const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const std::string& n : names)
        out.push_back(dir + "\\" + n);
    return out;
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

}  // namespace

TEST(PrinterEntry, CandidateListOfTheModelDriverOnNtFamilies) {
    for (winsim::Os os : {winsim::Os::NT4, winsim::Os::Win2000, winsim::Os::WinXP}) {
        Workstation ws(os);
        ws->spooler.AddDriver(ModelDriver());
        ws.AddPrinter("Model", "Model Driver");
        std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("Model", FamilyOf(os)));
        EXPECT_EQ(FilePaths(*entry),
                  Prefixed(ws.DriverDir(),
                           {"CFG.DLL", "3\\CFG.DLL", "MODEL.PPD", "3\\MODEL.PPD", "DRV.DLL", "3\\DRV.DLL", "DRV.HLP",
                            "3\\DRV.HLP", "A.DLL", "3\\A.DLL", "B.INI", "3\\B.INI", "3\\Model.WMK", "Model.BDD",
                            "3\\Model.BDD", "Model.XFR", "3\\Model.XFR", "Model.ABD", "3\\Model.ABD", "Model.BPD",
                            "3\\Model.BPD"}));
        EXPECT_EQ(std::string(entry->m_strTempWmk), ws->system.tempDir + "\\Model.WMK");
        EXPECT_EQ(std::string(entry->m_strDataFileName), "Model.ppd");
        EXPECT_EQ(entry->m_nDriverVersion, 3u);
    }
}

TEST(PrinterEntry, CandidateListOfTheModelDriverOnWindows9x) {
    Workstation ws(winsim::Os::Win98);
    winsim::DriverSetup setup = ModelDriver();
    setup.extraValues["WPX File"] = "model.wpx";
    ws->spooler.AddDriver(setup);
    ws.AddPrinter("Model", "Model Driver");
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("Model", OS_FAMILY_9X));
    std::vector<std::string> expected =
        Prefixed(ws.DriverDir(), {"CFG.DLL", "MODEL.PPD", "DRV.DLL", "DRV.HLP"});
    expected.push_back(ws->system.windowsDir + "\\MODEL.WPX");
    for (const std::string& p : Prefixed(ws.DriverDir(), {"A.DLL", "B.INI", "0\\Model.WMK", "Model.BDD",
                                                          "Model.XFR", "Model.ABD", "Model.BPD"}))
        expected.push_back(p);
    EXPECT_EQ(FilePaths(*entry), expected);
    EXPECT_EQ(std::string(entry->m_strTempWmk), ws->system.tempDir);
    EXPECT_EQ(entry->m_nDriverVersion, 0u);
}

TEST(PrinterEntry, NameListedTwiceKeepsItsFirstPlaceAndCaseDistinctPathsStayApart) {
    Workstation ws;
    winsim::DriverSetup setup = ModelDriver();
    // CFG.DLL again, and the upper-cased twin of the companion Model.BDD.
    setup.dependentFiles = {"cfg.dll", "model.bdd"};
    ws->spooler.AddDriver(setup);
    ws.AddPrinter("Model", "Model Driver");
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("Model", OS_FAMILY_NT5));
    std::vector<std::string> paths = FilePaths(*entry);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), ws.DriverDir() + "\\CFG.DLL"), 1);
    EXPECT_EQ(paths[0], ws.DriverDir() + "\\CFG.DLL");
    EXPECT_EQ(std::count(paths.begin(), paths.end(), ws.DriverDir() + "\\MODEL.BDD"), 1);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), ws.DriverDir() + "\\Model.BDD"), 1);
    EXPECT_TRUE(entry->HasFile((ws.DriverDir() + "\\Model.BDD").c_str()));
    EXPECT_TRUE(entry->HasFile((ws.DriverDir() + "\\MODEL.BDD").c_str()));
    EXPECT_FALSE(entry->HasFile((ws.DriverDir() + "\\model.bdd").c_str()));
}

TEST(PrinterEntry, DependentFilesHoldingOnlyTheEndMarkerAddNothing) {
    Workstation ws;
    winsim::DriverSetup setup = ModelDriver();
    setup.dependentFiles.clear();
    ws->spooler.AddDriver(setup);
    ws.AddPrinter("Model", "Model Driver");
    const winsim::Spooler::Driver* driver = ws->spooler.FindDriver("Model Driver");
    ASSERT_NE(driver, nullptr);
    ws->registry.SetValue(ws->spooler.DriverKeyPath(*driver), "Dependent Files", REG_MULTI_SZ, std::string(1, '\0'));
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("Model", OS_FAMILY_NT5));
    EXPECT_EQ(FilePaths(*entry).size(), 8u + 1u + 8u);  // four values twice, the .WMK, four companions twice
}

TEST(PrinterEntry, DependentFilesLongerThanTheUsualBufferAreReadWhole) {
    Workstation ws;
    winsim::DriverSetup setup = ModelDriver();
    setup.dependentFiles.clear();
    for (int i = 0; i < 300; ++i)
        setup.dependentFiles.push_back("FILE" + std::to_string(i) + ".DLL");
    setup.createFiles = false;
    ws->spooler.AddDriver(setup);
    ws.AddPrinter("Model", "Model Driver");
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("Model", OS_FAMILY_NT5));
    EXPECT_TRUE(entry->HasFile((ws.DriverDir() + "\\3\\FILE299.DLL").c_str()));
}

TEST(PrinterEntry, ValueTooLongForItsBufferCountsAsAbsent) {
    Workstation ws;
    winsim::DriverSetup setup = ModelDriver();
    setup.helpFile = std::string(300, 'h') + ".hlp";
    setup.createFiles = false;
    ws->spooler.AddDriver(setup);
    ws.AddPrinter("Model", "Model Driver");
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("Model", OS_FAMILY_NT5));
    for (const std::string& path : FilePaths(*entry))
        EXPECT_EQ(path.find("HHHH"), std::string::npos) << path;
    EXPECT_TRUE(entry->HasFile((ws.DriverDir() + "\\DRV.DLL").c_str()));
}

TEST(PrinterEntry, DriverKeyByFamilyAndVersion) {
    struct Case {
        int family;
        DWORD version;
        int result;
        const char* key;
    } cases[] = {
        {OS_FAMILY_NT5, 3, 0, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\D"},
        {OS_FAMILY_NT, 2, 0, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-2\\D"},
        {OS_FAMILY_NT5, 2, 0, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-2\\D"},
        {OS_FAMILY_9X, 0, 0, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Drivers\\D"},
        {OS_FAMILY_9X, 3, 0, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Drivers\\D"},
        {7, 3, 1, "unchanged"},
    };
    Workstation ws;
    for (const Case& c : cases) {
        CPrinterEntry entry;
        entry.m_nOsFamily = c.family;
        entry.m_nDriverVersion = c.version;
        entry.m_strDriverName = "D";
        entry.m_strDriverKey = "unchanged";
        EXPECT_EQ(entry.BuildDriverKey(), c.result) << c.family;
        EXPECT_EQ(std::string(entry.m_strDriverKey), c.key) << c.family;
    }
}

TEST(PrinterEntry, PrinterThatCannotBeOpenedStillGetsAnEntryOfCompanionCandidates) {
    for (int family : {OS_FAMILY_9X, OS_FAMILY_NT5}) {
        Workstation ws(family == OS_FAMILY_9X ? winsim::Os::Win98 : winsim::Os::WinXP);
        std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("No Such Printer", family));
        EXPECT_TRUE(entry->m_strDriverName.IsEmpty());
        EXPECT_TRUE(entry->m_strDataFile.IsEmpty());
        EXPECT_EQ(entry->m_nDriverVersion, 0u);
        std::string key = (LPCSTR)entry->m_strDriverKey;
        EXPECT_EQ(key.substr(key.size() - (family == OS_FAMILY_9X ? 9 : 11)),
                  family == OS_FAMILY_9X ? "\\Drivers\\" : "\\Version-0\\");
        std::vector<std::string> expected =
            family == OS_FAMILY_9X
                ? Prefixed(ws.DriverDir(), {"0\\.WMK", ".BDD", ".XFR", ".ABD", ".BPD"})
                : Prefixed(ws.DriverDir(), {"0\\.WMK", ".BDD", "0\\.BDD", ".XFR", "0\\.XFR", ".ABD", "0\\.ABD", ".BPD",
                                            "0\\.BPD"});
        EXPECT_EQ(FilePaths(*entry), expected);
    }
}

TEST(PrinterEntry, ReadOnlyPrinterIsDescribedThroughTheServerReadFallback) {
    Workstation ws;
    ws.AddUimDriver("Brontal 4500 PS", "BR4500.PPD");
    winsim::PrinterSetup setup;
    setup.name = "Brontal 4500 PS";
    setup.driver = "Brontal 4500 PS";
    setup.rights = winsim::PrinterRights{false, false, true};
    ws->spooler.AddPrinter(setup);
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("Brontal 4500 PS", OS_FAMILY_NT5));
    EXPECT_EQ(std::string(entry->m_strDriverName), "Brontal 4500 PS");
    EXPECT_EQ(ws->faults.Calls("OpenPrinterA"), 2);
    EXPECT_EQ(ws->spooler.OpenHandles(), 0);
}

TEST(PrinterEntry, LongPrinterNameIsPassedWholeToTheSpooler) {
    Workstation ws;
    ws.AddUimDriver("Brontal 4500 PS", "BR4500.PPD");
    std::string name = "Brontal " + std::string(140, 'x');
    ws.AddPrinter(name, "Brontal 4500 PS");
    // A shorter printer whose name is the first 99 bytes must not be the one opened.
    ws.AddPlainDriver("Plain", "PLAIN.PPD");
    ws.AddPrinter(name.substr(0, 99), "Plain");
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry(name, OS_FAMILY_NT5));
    EXPECT_EQ(std::string(entry->m_strDriverName), "Brontal 4500 PS");
}

TEST(PrinterEntry, BrontalDriverTest) {
    const std::string marker = "*OrvinexExchange: True\r\n";
    struct Case {
        const char* what;
        const char* dataFile;
        std::string content;
        bool uim;
        int expected;
        bool opensDataFile;
    } cases[] = {
        {"a .UIM beside the data file", "BR4500.PPD", "no marker", true, 1, false},
        {"marker near the start of a .PPD", "BR7200.PPD", "*PPD-Adobe\r\n" + marker, false, 1, true},
        {"marker past byte 1000", "LATE.PPD", std::string(1000, 'x') + marker, false, 0, true},
        {"marker split by byte 1000", "EDGE.PPD", std::string(990, 'x') + marker, false, 0, true},
        {"marker ending exactly at byte 1000", "EXACT.PPD", std::string(985, 'x') + "OrvinexExchange: True", false, 1,
         true},
        // 150 CR LF pairs are 300 bytes on disk but 150 characters in text mode.
        {"CR LF pairs read as one character each", "CRLF.PPD", Repeat("\r\n", 150) + std::string(700, 'x') + marker,
         false, 1, true},
        {"NUL before the marker", "NUL.PPD", std::string("*PPD\0", 5) + marker, false, 0, true},
        {"Ctrl+Z ends a text file", "EOF.PPD", "*PPD\x1a" + marker, false, 0, true},
        {"lower-case .ppd in a path without PPD", "lower.ppd", marker, false, 0, false},
        {"a .PPD without marker", "PLAIN.PPD", "*PPD-Adobe\r\n", false, 0, true},
        {"an empty data file", "EMPTY.PPD", "", false, 0, true},
    };
    for (const Case& c : cases) {
        Workstation ws;
        winsim::DriverSetup setup;
        setup.name = "Driver";
        setup.driverFile = "PSCRIPT5.DLL";
        setup.dataFile = c.dataFile;
        setup.fileContents[c.dataFile] = c.content;
        if (c.uim)
            setup.fileContents[std::string(c.dataFile).substr(0, strlen(c.dataFile) - 4) + ".UIM"] = "";
        ws->spooler.AddDriver(setup);
        ws.AddPrinter("P", "Driver");
        std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("P", OS_FAMILY_NT5));
        int opensBefore = ws->faults.Calls("CreateFileA");
        EXPECT_EQ(entry->IsBrontalDriver(), c.expected) << c.what;
        EXPECT_EQ(ws->faults.Calls("CreateFileA") > opensBefore, c.opensDataFile) << c.what;
    }
}

TEST(PrinterEntry, MissingDataFileIsNoBrontalDriver) {
    Workstation ws;
    ws.AddMarkerDriver("Driver", "GONE.PPD");
    ws.AddPrinter("P", "Driver");
    std::unique_ptr<CPrinterEntry> entry(ws.MakeEntry("P", OS_FAMILY_NT5));
    ASSERT_TRUE(ws->files.DeleteFile((LPCSTR)entry->m_strDataFile));
    EXPECT_EQ(entry->IsBrontalDriver(), 0);
}

TEST(PrinterEntry, DeletingAnEntryDeletesItsFileRecords) {
    // Run under the leak checker: every record the entry still holds must be freed with it.
    Workstation ws;
    CPrinterEntry* entry = new CPrinterEntry;
    for (int i = 0; i < 25; ++i) {
        CDriverFile* file = new CDriverFile;
        file->m_strPath.Format("C:\\D\\F%d.DLL", i);
        entry->m_files.AddTail(file);
    }
    EXPECT_EQ(entry->m_files.GetCount(), 25);
    delete entry;
}

namespace {

// The enumerated entries by printer name, with their candidate files.
std::map<std::string, std::vector<std::string>> EnumeratedFiles(Workstation& ws, int family, CObList& list) {
    EXPECT_NE(EnumeratePrinters(list, family, ws.DriverDir().c_str()), 0);
    std::map<std::string, std::vector<std::string>> files;
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        CPrinterEntry* entry = static_cast<CPrinterEntry*>(list.GetNext(pos));
        files[(LPCSTR)entry->m_strPrinterName] = FilePaths(*entry);
    }
    return files;
}

}  // namespace

TEST(PrinterEntry, PrintersOnOneDriverEachGetItsWholeCandidateList) {
    const struct {
        winsim::Os os;
        std::vector<std::string> model;  // after the driver folder
        std::vector<std::string> other;
        std::string modelWmk;            // the temporary watermark, after the Temp folder
    } cases[] = {
        {winsim::Os::WinXP,
         {"CFG.DLL", "3\\CFG.DLL", "MODEL.PPD", "3\\MODEL.PPD", "DRV.DLL", "3\\DRV.DLL", "DRV.HLP", "3\\DRV.HLP",
          "A.DLL", "3\\A.DLL", "B.INI", "3\\B.INI", "3\\Model.WMK", "Model.BDD", "3\\Model.BDD", "Model.XFR",
          "3\\Model.XFR", "Model.ABD", "3\\Model.ABD", "Model.BPD", "3\\Model.BPD"},
         {"OCFG.DLL", "3\\OCFG.DLL", "OTHER.PPD", "3\\OTHER.PPD", "DRV.DLL", "3\\DRV.DLL", "O.INI", "3\\O.INI",
          "3\\Other.WMK", "Other.BDD", "3\\Other.BDD", "Other.XFR", "3\\Other.XFR", "Other.ABD", "3\\Other.ABD",
          "Other.BPD", "3\\Other.BPD"},
         "\\Model.WMK"},
        {winsim::Os::Win98,
         {"CFG.DLL", "MODEL.PPD", "DRV.DLL", "DRV.HLP", "A.DLL", "B.INI", "0\\Model.WMK", "Model.BDD", "Model.XFR",
          "Model.ABD", "Model.BPD"},
         {"OCFG.DLL", "OTHER.PPD", "DRV.DLL", "O.INI", "0\\Other.WMK", "Other.BDD", "Other.XFR", "Other.ABD",
          "Other.BPD"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.os));
        Workstation ws(c.os);
        ws->spooler.AddDriver(ModelDriver());
        winsim::DriverSetup other;
        other.name = "Other Driver";
        other.configFile = "ocfg.dll";
        other.dataFile = "Other.ppd";
        other.driverFile = "drv.dll";
        other.dependentFiles = {"o.ini"};
        ws->spooler.AddDriver(other);
        // The printers of one driver apart in the enumeration, another driver's between them.
        ws.AddPrinter("Model A", "Model Driver");
        ws.AddPrinter("Other", "Other Driver");
        ws.AddPrinter("Model C", "Model Driver");
        CObList list;
        std::map<std::string, std::vector<std::string>> files = EnumeratedFiles(ws, FamilyOf(c.os), list);
        EXPECT_EQ(files["Model A"], Prefixed(ws.DriverDir(), c.model));
        EXPECT_EQ(files["Model C"], Prefixed(ws.DriverDir(), c.model));
        EXPECT_EQ(files["Other"], Prefixed(ws.DriverDir(), c.other));
        POSITION pos = list.GetHeadPosition();
        while (pos) {
            CPrinterEntry* entry = static_cast<CPrinterEntry*>(list.GetNext(pos));
            const bool model = std::string(entry->m_strDriverName) == "Model Driver";
            EXPECT_EQ(std::string(entry->m_strDataFileName), model ? "Model.ppd" : "Other.ppd");
            if (model)
                EXPECT_EQ(std::string(entry->m_strTempWmk), ws->system.tempDir + c.modelWmk);
        }
        FreePrinterList(list);
        EXPECT_EQ(ws->registry.OpenKeyCount(), 0u);
    }
}

TEST(PrinterEntry, DriverKeyChangedBetweenTwoEnumerationsIsReadAnew) {
    Workstation ws(winsim::Os::WinXP);
    ws->spooler.AddDriver(ModelDriver());
    ws.AddPrinter("Model A", "Model Driver");
    ws.AddPrinter("Model B", "Model Driver");
    CObList first;
    std::map<std::string, std::vector<std::string>> before = EnumeratedFiles(ws, OS_FAMILY_NT5, first);
    const std::string key = "HKLM\\" + std::string(static_cast<CPrinterEntry*>(first.GetHead())->m_strDriverKey);
    FreePrinterList(first);
    ws->registry.SetString(key, "Help File", "new.hlp");
    ws->registry.SetValue(key, "Dependent Files", REG_MULTI_SZ, std::string("c.dll\0\0", 7));

    CObList second;
    std::map<std::string, std::vector<std::string>> after = EnumeratedFiles(ws, OS_FAMILY_NT5, second);
    FreePrinterList(second);
    for (const char* printer : {"Model A", "Model B"}) {
        SCOPED_TRACE(printer);
        const std::vector<std::string>& was = before[printer];
        const std::vector<std::string>& is = after[printer];
        EXPECT_NE(std::find(was.begin(), was.end(), ws.DriverDir() + "\\3\\A.DLL"), was.end());
        EXPECT_EQ(std::find(is.begin(), is.end(), ws.DriverDir() + "\\3\\A.DLL"), is.end());
        EXPECT_EQ(std::find(is.begin(), is.end(), ws.DriverDir() + "\\DRV.HLP"), is.end());
        EXPECT_NE(std::find(is.begin(), is.end(), ws.DriverDir() + "\\3\\NEW.HLP"), is.end());
        EXPECT_NE(std::find(is.begin(), is.end(), ws.DriverDir() + "\\3\\C.DLL"), is.end());
    }
}
