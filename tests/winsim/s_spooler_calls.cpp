// The spooler calls on the simulated machine where Wine cannot show Windows: rights, connections, record
// contents, long names, the stopped spooler and injected faults.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <winsim/codepage.h>
#include <winsim/machine.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kPrint = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print";

// A buffer with a known fill, aligned for the records, to see what a call wrote.
struct Buffer {
    explicit Buffer(size_t n) : words((n + 2 * sizeof(uint64_t)) / sizeof(uint64_t)) { Fill(); }
    void Fill() { memset(words.data(), 0xA5, words.size() * sizeof(uint64_t)); }
    LPBYTE data() { return reinterpret_cast<LPBYTE>(words.data()); }
    bool Untouched(size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            if (data()[i] != 0xA5)
                return false;
        return true;
    }
    std::vector<uint64_t> words;
};

class SpoolerCalls : public ::testing::Test {
protected:
    void InstallDriver(const std::string& name = "Brontal PS", int version = -1) {
        winsim::DriverSetup d;
        d.name = name;
        d.version = version;
        d.driverFile = "PSCRIPT5.DLL";
        d.configFile = "PS5UI.DLL";
        d.dataFile = "BRONTAL.PPD";
        d.helpFile = "PSCRIPT.HLP";
        d.dependentFiles = {"tavq.dll", "BRONTAL.BPD"};
        winsim::Current().spooler.AddDriver(d);
    }
    void InstallPrinter(const std::string& name, const std::string& share = std::string(),
                        const std::string& driver = "Brontal PS") {
        winsim::PrinterSetup p;
        p.name = name;
        p.driver = driver;
        p.port = "LPT1:";
        p.shareName = share;
        p.shared = !share.empty();
        winsim::Current().spooler.AddPrinter(p);
    }
    void InstallConnection(const std::string& name) {
        winsim::ConnectionSetup c;
        c.name = name;
        c.driver = "Brontal PS";
        winsim::Current().spooler.AddConnection(c);
    }
    HANDLE Open(const std::string& name, DWORD access) {
        PRINTER_DEFAULTSA defaults = {nullptr, nullptr, access};
        HANDLE h = nullptr;
        if (!OpenPrinterA(const_cast<LPSTR>(name.c_str()), &h, &defaults))
            return nullptr;
        return h;
    }
    // The helpers act on the current machine, which a test may replace by one of its own.
    // Runs the two-call pattern and returns the records' buffer.
    Buffer Enumerate(DWORD level, DWORD& returned, DWORD& needed) {
        returned = 0xdeadbeef;
        needed = 0xdeadbeef;
        EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, level, nullptr, 0, &needed, &returned);
        Buffer buf(needed);
        EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, level, buf.data(), needed,
                                  &needed, &returned));
        return buf;
    }

    winsim::ScopedMachine m;
};

TEST_F(SpoolerCalls, NoPrintersSucceedsWithNothingNeeded) {
    for (DWORD level : {1u, 2u, 4u, 5u}) {
        DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(EnumPrintersA(6, nullptr, level, nullptr, 0, &needed, &returned)) << level;
        EXPECT_EQ(needed, 0u);
        EXPECT_EQ(returned, 0u);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    }
    DWORD needed, returned;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumPrintersA(6, nullptr, 3, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolerCalls, Level4ListsLocalPrintersThenConnections) {
    InstallDriver();
    InstallPrinter("Office", "OFFICE");
    InstallPrinter("archive");
    InstallConnection("\\\\srv\\q");
    DWORD returned, needed;
    Buffer buf = Enumerate(4, returned, needed);
    ASSERT_EQ(returned, 3u);
    const PRINTER_INFO_4A* r = reinterpret_cast<const PRINTER_INFO_4A*>(buf.data());
    EXPECT_STREQ(r[0].pPrinterName, "archive");
    EXPECT_EQ(r[0].pServerName, nullptr);
    EXPECT_EQ(r[0].Attributes, DWORD(PRINTER_ATTRIBUTE_LOCAL));
    EXPECT_STREQ(r[1].pPrinterName, "Office");
    EXPECT_EQ(r[1].Attributes, DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED));
    EXPECT_STREQ(r[2].pPrinterName, "\\\\srv\\q");
    EXPECT_STREQ(r[2].pServerName, "\\\\srv");
    EXPECT_EQ(r[2].Attributes, DWORD(PRINTER_ATTRIBUTE_NETWORK));

    DWORD onlyLocal = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &returned);
    Buffer local(needed);
    ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, local.data(), needed, &needed, &onlyLocal));
    EXPECT_EQ(onlyLocal, 2u);
}

TEST_F(SpoolerCalls, Level2RecordCarriesThePrinterDescription) {
    InstallDriver();
    winsim::PrinterSetup p;
    p.name = "Office";
    p.driver = "Brontal PS";
    p.port = "IP_10.0.0.7";
    p.shareName = "OFFICE";
    p.shared = true;
    p.comment = "second floor";
    p.location = "B2";
    m->spooler.AddPrinter(p);
    InstallConnection("\\\\srv\\q");

    DWORD returned, needed;
    Buffer buf = Enumerate(2, returned, needed);
    ASSERT_EQ(returned, 2u);
    const PRINTER_INFO_2A* r = reinterpret_cast<const PRINTER_INFO_2A*>(buf.data());
    EXPECT_EQ(r[0].pServerName, nullptr);
    EXPECT_STREQ(r[0].pPrinterName, "Office");
    EXPECT_STREQ(r[0].pShareName, "OFFICE");
    EXPECT_STREQ(r[0].pPortName, "IP_10.0.0.7");
    EXPECT_STREQ(r[0].pDriverName, "Brontal PS");
    EXPECT_STREQ(r[0].pComment, "second floor");
    EXPECT_STREQ(r[0].pLocation, "B2");
    EXPECT_STREQ(r[0].pPrintProcessor, "WinPrint");
    EXPECT_STREQ(r[0].pDatatype, "RAW");
    EXPECT_EQ(r[0].Attributes, DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED));
    EXPECT_STREQ(r[1].pServerName, "\\\\srv");
    EXPECT_STREQ(r[1].pPrinterName, "\\\\srv\\q");
    EXPECT_STREQ(r[1].pShareName, "q");
    EXPECT_EQ(r[1].Attributes, DWORD(PRINTER_ATTRIBUTE_NETWORK));
    // The strings lie inside the buffer, after the records.
    LPBYTE end = buf.data() + needed;
    EXPECT_GE(reinterpret_cast<LPBYTE>(r[1].pPrinterName), buf.data() + 2 * sizeof(PRINTER_INFO_2A));
    EXPECT_LT(reinterpret_cast<LPBYTE>(r[1].pPrinterName), end);
}

struct SizeCase {
    winsim::Os os;
    DWORD level;
    size_t recordSize;
    std::vector<std::string> strings;  // every string the records carry
};

// NT's A calls ask for the room of the Unicode answer (two bytes a character); Windows 9x for the ANSI one.
TEST_F(SpoolerCalls, NeededSizeCountsRecordsAndTheirStrings) {
    const SizeCase cases[] = {
        {winsim::Os::WinXP, 4, sizeof(PRINTER_INFO_4A), {"Lab", "\\\\srv\\q", "\\\\srv"}},
        {winsim::Os::Win98, 5, sizeof(PRINTER_INFO_5A), {"Lab", "LPT1:", "\\\\srv\\q"}},
        {winsim::Os::WinXP, 1, sizeof(PRINTER_INFO_1A), {"Lab", "Lab", "\\\\srv\\q", "\\\\srv\\q"}},
        {winsim::Os::WinXP, 5, sizeof(PRINTER_INFO_5A), {"Lab", "LPT1:", "\\\\srv\\q"}},
        {winsim::Os::Win98, 2, sizeof(PRINTER_INFO_2A),
         {"Lab", "LPT1:", "Brontal PS", "WinPrint", "RAW",                                  // local
          "\\\\srv", "\\\\srv\\q", "q", "Brontal PS", "WinPrint", "RAW"}},                   // connection
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << (c.os == winsim::Os::Win98 ? " 9x" : " NT"));
        winsim::ScopedMachine machine;
        machine->system.SetOs(c.os);
        InstallDriver();
        InstallPrinter("Lab");
        InstallConnection("\\\\srv\\q");
        size_t expected = 2 * c.recordSize;
        for (const std::string& s : c.strings)
            expected += (c.os == winsim::Os::Win98 ? 1 : 2) * (s.size() + 1);

        DWORD needed = 0, returned = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(EnumPrintersA(6, nullptr, c.level, nullptr, 0, &needed, &returned));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(needed, expected);
        EXPECT_EQ(returned, 0u);

        Buffer buf(expected + 8);
        returned = 0xdeadbeef;
        EXPECT_FALSE(EnumPrintersA(6, nullptr, c.level, buf.data(), needed - 1, &needed, &returned));
        EXPECT_EQ(returned, 0u);
        EXPECT_TRUE(buf.Untouched(0, expected + 8)) << "a refused buffer is left alone";
        EXPECT_TRUE(EnumPrintersA(6, nullptr, c.level, buf.data(), needed, &needed, &returned));
        EXPECT_EQ(returned, 2u);
        EXPECT_TRUE(buf.Untouched(expected, expected + 8)) << "nothing is written past the size";
    }
}

// PRINTER_INFO_4 came with NT: Windows 9x refuses the level.
TEST_F(SpoolerCalls, Windows9xHasNoLevelFour) {
    winsim::ScopedMachine machine;
    machine->system.SetOs(winsim::Os::Win98);
    InstallDriver();
    InstallPrinter("Lab");
    DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
    EXPECT_EQ(returned, 0u);
}

TEST_F(SpoolerCalls, UnicodeSizingCountsCharactersNotBytesUnderCodePage932) {
    m->system.SetLocale(0x0411);
    ASSERT_EQ(m->system.acp, 932u);
    std::string name = winsim::ToAnsi(winsim::FromUtf8("\xE7\xB5\x8C\xE7\x90\x86"), 932);  // two kanji
    ASSERT_EQ(name.size(), 4u);
    InstallDriver();
    InstallPrinter(name);
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &returned);
    EXPECT_EQ(needed, sizeof(PRINTER_INFO_4A) + 2 * (2 + 1));
    Buffer buf(needed);
    ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, buf.data(), needed, &needed, &returned));
    EXPECT_EQ(std::string(reinterpret_cast<PRINTER_INFO_4A*>(buf.data())->pPrinterName), name);
}

struct AccessCase {
    winsim::PrinterRights rights;
    DWORD access;
    DWORD error;  // 0: the open succeeds
};

TEST_F(SpoolerCalls, OpenChecksTheRequestedAccessAgainstThePrintersRights) {
    const winsim::PrinterRights full{true, true, false};
    const winsim::PrinterRights readOnly{false, true, true};
    const winsim::PrinterRights none{false, false, false};
    const AccessCase cases[] = {
        {full, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE, 0},
        {full, PRINTER_ALL_ACCESS, 0},
        {full, PRINTER_ACCESS_USE, 0},
        {full, 0, 0},
        {full, SERVER_READ, ERROR_ACCESS_DENIED},  // a local printer is no server
        {readOnly, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE, ERROR_ACCESS_DENIED},
        {readOnly, PRINTER_ALL_ACCESS, ERROR_ACCESS_DENIED},
        {readOnly, SERVER_READ, 0},
        {readOnly, PRINTER_ACCESS_USE, 0},
        {none, PRINTER_ACCESS_USE, ERROR_ACCESS_DENIED},
        {none, SERVER_READ, ERROR_ACCESS_DENIED},
    };
    InstallDriver();
    InstallPrinter("Office");
    for (const AccessCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "access 0x" << std::hex << c.access << " admin " << c.rights.administer
                                        << " use " << c.rights.use << " read " << c.rights.serverRead);
        m->spooler.SetRights("Office", c.rights);
        PRINTER_DEFAULTSA defaults = {nullptr, nullptr, c.access};
        HANDLE h = reinterpret_cast<HANDLE>(1);
        SetLastError(0xdeadbeef);
        BOOL ok = OpenPrinterA(const_cast<LPSTR>("Office"), &h, &defaults);
        if (c.error == 0) {
            EXPECT_TRUE(ok);
            EXPECT_NE(h, nullptr);
            EXPECT_TRUE(ClosePrinter(h));
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(h, nullptr);
        }
    }
    EXPECT_EQ(m->spooler.OpenHandles(), 0);
}

TEST_F(SpoolerCalls, NullDefaultsAskForUseOnly) {
    InstallDriver();
    InstallPrinter("Office");
    m->spooler.SetRights("Office", winsim::PrinterRights{false, true, false});
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("office"), &h, nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeletePrinter(h)) << "a handle for use may not delete";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ClosePrinter(h);
}

TEST_F(SpoolerCalls, ReadOnlyHandleMayReadButNotChangeOrDelete) {
    InstallDriver();
    InstallPrinter("Office", "OFFICE");
    m->spooler.SetRights("Office", winsim::PrinterRights{false, true, true});
    EXPECT_EQ(Open("Office", PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE), nullptr);
    HANDLE h = Open("Office", SERVER_READ);
    ASSERT_NE(h, nullptr);

    DWORD needed = 0;
    GetPrinterDriverA(h, nullptr, 2, nullptr, 0, &needed);
    Buffer driver(needed);
    EXPECT_TRUE(GetPrinterDriverA(h, nullptr, 2, driver.data(), needed, &needed));

    GetPrinterA(h, 2, nullptr, 0, &needed);
    Buffer info(needed);
    ASSERT_TRUE(GetPrinterA(h, 2, info.data(), needed, &needed));
    PRINTER_INFO_2A* pi = reinterpret_cast<PRINTER_INFO_2A*>(info.data());
    pi->Attributes &= ~PRINTER_ATTRIBUTE_SHARED;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetPrinterA(h, 2, info.data(), 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(m->spooler.IsShared("Office"));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeletePrinter(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(m->spooler.PrinterExists("Office"));
    EXPECT_TRUE(ClosePrinter(h));
}

TEST_F(SpoolerCalls, SetPrinterUnsharesAndKeepsTheOtherAttributes) {
    InstallDriver();
    winsim::PrinterSetup p;
    p.name = "Office";
    p.driver = "Brontal PS";
    p.shareName = "OFFICE";
    p.shared = true;
    p.attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI;
    m->spooler.AddPrinter(p);
    HANDLE h = Open("Office", PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE);
    ASSERT_NE(h, nullptr);
    DWORD needed = 0;
    GetPrinterA(h, 2, nullptr, 0, &needed);
    Buffer info(needed);
    ASSERT_TRUE(GetPrinterA(h, 2, info.data(), needed, &needed));
    PRINTER_INFO_2A* pi = reinterpret_cast<PRINTER_INFO_2A*>(info.data());
    pi->Attributes &= ~PRINTER_ATTRIBUTE_SHARED;
    ASSERT_TRUE(SetPrinterA(h, 2, info.data(), 0));
    ClosePrinter(h);

    EXPECT_FALSE(m->spooler.IsShared("Office"));
    EXPECT_EQ(m->registry.GetDword(kPrint + "\\Printers\\Office", "Attributes"),
              DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI));
    m->spooler.Reload();
    EXPECT_FALSE(m->spooler.IsShared("Office")) << "the change reached the registry";
}

TEST_F(SpoolerCalls, NamesOfMoreThanAHundredBytesWork) {
    InstallDriver();
    std::string name = "Brontal " + std::string(140, 'x');
    InstallPrinter(name);
    HANDLE h = Open(name, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE);
    ASSERT_NE(h, nullptr);
    DWORD needed = 0;
    GetPrinterA(h, 4, nullptr, 0, &needed);
    Buffer info(needed);
    ASSERT_TRUE(GetPrinterA(h, 4, info.data(), needed, &needed));
    EXPECT_EQ(std::string(reinterpret_cast<PRINTER_INFO_4A*>(info.data())->pPrinterName), name);
    EXPECT_TRUE(DeletePrinter(h));
    EXPECT_TRUE(ClosePrinter(h));
    EXPECT_FALSE(m->spooler.PrinterExists(name));
    EXPECT_EQ(m->spooler.DeletedPrinters(), std::vector<std::string>{name});
}

TEST_F(SpoolerCalls, DeletePrinterRemovesItsKeyAndLaterCallsFindNothing) {
    InstallDriver();
    InstallPrinter("Office");
    HANDLE h = Open("Office", PRINTER_ALL_ACCESS);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(DeletePrinter(h));
    EXPECT_FALSE(m->registry.KeyExists(kPrint + "\\Printers\\Office"));
    EXPECT_FALSE(m->registry.ValueExists("HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", "Office"));
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetPrinterA(h, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
    EXPECT_TRUE(ClosePrinter(h));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ClosePrinter(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(Open("Office", PRINTER_ACCESS_USE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(SpoolerCalls, DriverInformationGivesFullPathsPerFamily) {
    struct Case {
        winsim::Os os;
        DWORD version;
        std::string dir;
        std::string environment;
    } cases[] = {
        {winsim::Os::WinXP, 3, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\", "Windows NT x86"},
        {winsim::Os::NT4, 2, "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\2\\", "Windows NT x86"},
        {winsim::Os::Win98, 0, "C:\\WINDOWS\\SYSTEM\\", "Windows 4.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        winsim::ScopedMachine machine;
        machine->system.SetOs(c.os);
        InstallDriver("Brontal PS", int(c.version));
        InstallPrinter("Office");
        HANDLE h = Open("Office", PRINTER_ACCESS_USE);
        ASSERT_NE(h, nullptr);
        DWORD needed = 0;
        GetPrinterDriverA(h, nullptr, 3, nullptr, 0, &needed);
        Buffer buf(needed);
        ASSERT_TRUE(GetPrinterDriverA(h, nullptr, 3, buf.data(), needed, &needed));
        const DRIVER_INFO_3A* d = reinterpret_cast<const DRIVER_INFO_3A*>(buf.data());
        EXPECT_EQ(d->cVersion, c.version);
        EXPECT_STREQ(d->pName, "Brontal PS");
        EXPECT_EQ(std::string(d->pEnvironment), c.environment);
        EXPECT_EQ(std::string(d->pDriverPath), c.dir + "PSCRIPT5.DLL");
        EXPECT_EQ(std::string(d->pDataFile), c.dir + "BRONTAL.PPD");
        EXPECT_EQ(std::string(d->pConfigFile), c.dir + "PS5UI.DLL");
        EXPECT_EQ(std::string(d->pHelpFile), c.dir + "PSCRIPT.HLP");
        const char* dep = d->pDependentFiles;
        ASSERT_NE(dep, nullptr);
        EXPECT_EQ(std::string(dep), c.dir + "tavq.dll");
        dep += strlen(dep) + 1;
        EXPECT_EQ(std::string(dep), c.dir + "BRONTAL.BPD");
        dep += strlen(dep) + 1;
        EXPECT_EQ(*dep, '\0');
        ClosePrinter(h);
    }
}

TEST_F(SpoolerCalls, DriverOfAnotherEnvironmentIsUnknown) {
    InstallDriver();
    InstallPrinter("Office");
    InstallPrinter("Orphan", "", "Not Installed");
    HANDLE h = Open("Office", PRINTER_ACCESS_USE);
    HANDLE orphan = Open("Orphan", PRINTER_ACCESS_USE);
    ASSERT_NE(h, nullptr);
    ASSERT_NE(orphan, nullptr);
    Buffer buf(1024);
    DWORD needed;
    const struct {
        HANDLE h;
        const char* env;
        DWORD error;
    } cases[] = {
        {h, "Windows 4.0", ERROR_UNKNOWN_PRINTER_DRIVER},
        {h, "Windows x64", ERROR_UNKNOWN_PRINTER_DRIVER},
        {h, "Windows 3.1 Deluxe", ERROR_INVALID_ENVIRONMENT},
        {orphan, nullptr, ERROR_UNKNOWN_PRINTER_DRIVER},
        {nullptr, nullptr, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GetPrinterDriverA(c.h, const_cast<LPSTR>(c.env), 2, buf.data(), 1024, &needed));
        EXPECT_EQ(GetLastError(), c.error) << (c.env ? c.env : "(null)");
    }
    ClosePrinter(h);
    ClosePrinter(orphan);
}

TEST_F(SpoolerCalls, DriverDirectoryPerEnvironmentAndFamily) {
    const struct {
        winsim::Os os;
        const char* env;
        DWORD level;
        const char* dir;  // null: the call fails with `error`
        DWORD error;
    } cases[] = {
        {winsim::Os::WinXP, nullptr, 1, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86", 0},
        {winsim::Os::WinXP, "", 1, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86", 0},
        {winsim::Os::WinXP, "windows 4.0", 1, "C:\\WINDOWS\\system32\\spool\\drivers\\win40", 0},
        {winsim::Os::WinXP, "Windows x64", 1, "C:\\WINDOWS\\system32\\spool\\drivers\\x64", 0},
        {winsim::Os::WinXP, "invalid_env", 1, nullptr, ERROR_INVALID_ENVIRONMENT},
        {winsim::Os::WinXP, nullptr, 2, nullptr, ERROR_INVALID_LEVEL},
        {winsim::Os::Win2000, nullptr, 1, "C:\\WINNT\\system32\\spool\\drivers\\w32x86", 0},
        {winsim::Os::Win98, nullptr, 1, "C:\\WINDOWS\\SYSTEM", 0},
        {winsim::Os::Win98, nullptr, 2, "C:\\WINDOWS\\SYSTEM", 0},  // 9x ignores the level
        {winsim::Os::Win98, "Windows NT x86", 1, nullptr, ERROR_INVALID_ENVIRONMENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.env ? c.env : "(null)") << " level " << c.level);
        winsim::ScopedMachine machine;
        machine->system.SetOs(c.os);
        char buf[MAX_PATH];
        DWORD needed = 0;
        SetLastError(0xdeadbeef);
        BOOL ok = GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>(c.env), c.level,
                                             reinterpret_cast<LPBYTE>(buf), sizeof(buf), &needed);
        if (c.dir) {
            ASSERT_TRUE(ok);
            EXPECT_STREQ(buf, c.dir);
            EXPECT_EQ(needed, strlen(c.dir) + 1);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

TEST_F(SpoolerCalls, ConnectionsComeAndGoThroughTheirCalls) {
    InstallDriver();
    winsim::ConnectionSetup offered;
    offered.name = "\\\\srv\\q";
    offered.driver = "Brontal PS";
    m->spooler.OfferNetworkPrinter(offered);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AddPrinterConnectionA(const_cast<LPSTR>("\\\\srv\\nowhere")));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
    ASSERT_TRUE(AddPrinterConnectionA(const_cast<LPSTR>("\\\\SRV\\q")));
    EXPECT_TRUE(AddPrinterConnectionA(const_cast<LPSTR>("\\\\srv\\q"))) << "a second connection is no error";
    EXPECT_EQ(m->spooler.PrinterNames(), std::vector<std::string>{"\\\\srv\\q"});
    EXPECT_TRUE(m->registry.KeyExists("HKCU\\Printers\\Connections\\,,srv,q"));

    // A connection opens with SERVER_READ, which is how the program tells it from a local printer.
    HANDLE h = Open("\\\\srv\\q", SERVER_READ);
    ASSERT_NE(h, nullptr);
    DWORD needed = 0;
    GetPrinterDriverA(h, nullptr, 2, nullptr, 0, &needed);
    Buffer buf(needed);
    ASSERT_TRUE(GetPrinterDriverA(h, nullptr, 2, buf.data(), needed, &needed));
    EXPECT_STREQ(reinterpret_cast<DRIVER_INFO_2A*>(buf.data())->pName, "Brontal PS");
    ClosePrinter(h);

    ASSERT_TRUE(DeletePrinterConnectionA(const_cast<LPSTR>("\\\\srv\\q")));
    EXPECT_FALSE(m->registry.KeyExists("HKCU\\Printers\\Connections\\,,srv,q"));
    EXPECT_FALSE(m->spooler.PrinterExists("\\\\srv\\q"));
    EXPECT_EQ(m->spooler.DeletedPrinters(), std::vector<std::string>{"\\\\srv\\q"});
    // The workstation no longer lists it, but the server still shares it: its name still opens.
    DWORD returned = 0, listed = 0;
    Enumerate(4, returned, listed);
    EXPECT_EQ(returned, 0u);
    h = Open("\\\\srv\\q", SERVER_READ);
    EXPECT_NE(h, nullptr);
    EXPECT_TRUE(ClosePrinter(h));
    m->spooler.WithdrawNetworkPrinter("\\\\SRV\\q");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(Open("\\\\srv\\q", SERVER_READ), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeletePrinterConnectionA(const_cast<LPSTR>("\\\\srv\\q")));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(SpoolerCalls, DriverDeletionRefusesADriverInUseAndKeepsFiles) {
    InstallDriver();
    InstallPrinter("Office");
    std::string key = kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-3\\Brontal PS";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>("Brontal PS")));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINTER_DRIVER_IN_USE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>("No Such Driver")));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNKNOWN_PRINTER_DRIVER));

    HANDLE h = Open("Office", PRINTER_ALL_ACCESS);
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    ASSERT_TRUE(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>("Brontal PS")));
    EXPECT_FALSE(m->registry.KeyExists(key));
    EXPECT_FALSE(m->spooler.DriverExists("Brontal PS"));
    EXPECT_TRUE(m->files.Exists("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\BRONTAL.PPD"));
}

TEST_F(SpoolerCalls, StoppedSpoolerRefusesCallsOnlyWhenAskedTo) {
    InstallDriver();
    InstallPrinter("Office");
    m->spooler.SetRunning(false);
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPrintersA(6, nullptr, 4, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << "by default a stopped spooler still answers";

    m->spooler.failWhenStopped = true;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnumPrintersA(6, nullptr, 4, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), DWORD(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(Open("Office", PRINTER_ACCESS_USE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(RPC_S_SERVER_UNAVAILABLE));
    char dir[MAX_PATH];
    EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(dir), sizeof(dir), &needed));
    EXPECT_EQ(GetLastError(), DWORD(RPC_S_SERVER_UNAVAILABLE));

    m->spooler.SetRunning(true);
    HANDLE h = Open("Office", PRINTER_ACCESS_USE);
    EXPECT_NE(h, nullptr);
    ClosePrinter(h);
}

TEST_F(SpoolerCalls, InjectedFaultsHitOnlyTheMatchingPrinter) {
    InstallDriver();
    InstallPrinter("Office");
    InstallPrinter("Lab");
    m->faults.Fail("OpenPrinterA", ERROR_ACCESS_DENIED, 1, 0, [](const std::string& name) { return name == "Lab"; });
    HANDLE office = Open("Office", PRINTER_ACCESS_USE);
    EXPECT_NE(office, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(Open("Lab", PRINTER_ACCESS_USE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    HANDLE lab = Open("Lab", PRINTER_ACCESS_USE);
    EXPECT_NE(lab, nullptr) << "the fault was armed for one call";

    m->faults.Fail("GetPrinterDriverA", ERROR_NOT_ENOUGH_MEMORY);
    DWORD needed = 0xdeadbeef;
    EXPECT_FALSE(GetPrinterDriverA(office, nullptr, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(needed, 0xdeadbeefu) << "a failed call reports no size";
    ClosePrinter(office);
    ClosePrinter(lab);

    const std::vector<std::string>& trace = m->faults.Trace();
    EXPECT_NE(std::find(trace.begin(), trace.end(), "GetPrinterDriverA(Office)"), trace.end());
    EXPECT_NE(std::find(trace.begin(), trace.end(), "ClosePrinter(Lab)"), trace.end());
    EXPECT_EQ(m->faults.Calls("OpenPrinterA"), 3);
}

TEST_F(SpoolerCalls, InstallationCallsCopyFilesAndRegisterThePrinter) {
    m->files.WriteFile("C:\\stage\\PSCRIPT5.DLL", "driver");
    m->files.WriteFile("C:\\stage\\PS5UI.DLL", "ui");
    m->files.WriteFile("C:\\stage\\BRONTAL.PPD", "ppd");
    m->files.WriteFile("C:\\stage\\tavq.dll", "tavq");
    char deps[] = "C:\\stage\\tavq.dll\0";
    DRIVER_INFO_3A di = {};
    di.cVersion = 3;
    di.pName = const_cast<LPSTR>("Brontal PS");
    di.pDriverPath = const_cast<LPSTR>("C:\\stage\\PSCRIPT5.DLL");
    di.pConfigFile = const_cast<LPSTR>("C:\\stage\\PS5UI.DLL");
    di.pDataFile = const_cast<LPSTR>("C:\\stage\\BRONTAL.PPD");
    di.pDependentFiles = deps;
    ASSERT_TRUE(AddPrinterDriverExA(nullptr, 3, reinterpret_cast<LPBYTE>(&di),
                                    APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY));
    EXPECT_EQ(m->files.ReadFile("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\BRONTAL.PPD"), std::string("ppd"));
    EXPECT_EQ(m->registry.GetMultiString(kPrint + "\\Environments\\Windows NT x86\\Drivers\\Version-3\\Brontal PS",
                                         "Dependent Files"),
              std::vector<std::string>{"tavq.dll"});

    di.pDataFile = const_cast<LPSTR>("C:\\stage\\MISSING.PPD");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AddPrinterDriverExA(nullptr, 3, reinterpret_cast<LPBYTE>(&di), APD_COPY_NEW_FILES));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    PRINTER_INFO_2A pi = {};
    pi.pPrinterName = const_cast<LPSTR>("Office");
    pi.pPortName = const_cast<LPSTR>("FILE:");
    pi.pDriverName = const_cast<LPSTR>("Brontal PS");
    pi.pPrintProcessor = const_cast<LPSTR>("WinPrint");
    pi.pDatatype = const_cast<LPSTR>("RAW");
    pi.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&pi));
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(DeletePrinter(h)) << "the handle of a new printer carries every right";
    ClosePrinter(h);

    const struct {
        const char* name;
        const char* driver;
        DWORD error;
    } refusals[] = {
        {"", "Brontal PS", ERROR_INVALID_PRINTER_NAME},
        {"Lab", "Unknown Driver", ERROR_UNKNOWN_PRINTER_DRIVER},
    };
    for (const auto& r : refusals) {
        pi.pPrinterName = const_cast<LPSTR>(r.name);
        pi.pDriverName = const_cast<LPSTR>(r.driver);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&pi)), nullptr);
        EXPECT_EQ(GetLastError(), r.error) << r.name;
    }
    InstallPrinter("Lab");
    pi.pPrinterName = const_cast<LPSTR>("LAB");
    pi.pDriverName = const_cast<LPSTR>("Brontal PS");
    EXPECT_EQ(AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&pi)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRINTER_ALREADY_EXISTS));
}

}  // namespace
