// A run's view of the system: OS family, driver directory and the printer entries.
#include <gtest/gtest.h>

#include "engine/PrinterList.h"
#include "engine/RemovalRun.h"
#include "workstation.h"

TEST(Enumerate, FamilyAndVersionMarkByVersion) {
    struct Case {
        winsim::Os os;
        int family;
        int xpMark;
    } cases[] = {
        {winsim::Os::Win95, 0, -1},   {winsim::Os::Win98, 0, -1}, {winsim::Os::WinMe, 0, -1},
        {winsim::Os::NT4, 1, -1},     {winsim::Os::Win2000, 2, -1}, {winsim::Os::WinXP, 2, 3},
        {winsim::Os::Win2003, 2, -1}, {winsim::Os::Vista, 1, -1}, {winsim::Os::Win7, 1, -1},
    };
    for (const Case& c : cases) {
        Workstation ws(c.os);
        CRemovalRun run;
        run.DetectOsFamily();
        EXPECT_EQ(run.m_nOsFamily, c.family) << static_cast<int>(c.os);
        EXPECT_EQ(run.m_nXpMark, c.xpMark) << static_cast<int>(c.os);
    }
}

TEST(Enumerate, EveryPrinterGetsAPreparedEntryInEnumerationOrder) {
    for (winsim::Os os : {winsim::Os::Win98, winsim::Os::WinXP}) {
        Workstation ws(os);
        ws.AddUimDriver("Brontal 4500 PS", "BR4500.PPD");
        ws.AddPlainDriver("Plain PS", "PLAIN.PPD");
        ws.AddPrinter("Plain PS Printer", "Plain PS");
        ws.AddPrinter("Brontal 4500 PS", "Brontal 4500 PS");
        CObList list;
        const CString dir = QueryDriverDirectory(CString());
        EXPECT_EQ(std::string(dir), ws.DriverDir());
        EXPECT_NE(EnumeratePrinters(list, DetectOsFamily(NULL), dir), 0);
        std::vector<std::string> names;
        POSITION pos = list.GetHeadPosition();
        while (pos) {
            CPrinterEntry* entry = static_cast<CPrinterEntry*>(list.GetNext(pos));
            names.push_back((LPCSTR)entry->m_strPrinterName);
            EXPECT_EQ(entry->m_nOsFamily, FamilyOf(os));
            EXPECT_EQ(std::string(entry->m_strDriverDir), ws.DriverDir());
            EXPECT_FALSE(entry->m_files.IsEmpty());
            EXPECT_EQ(entry->m_bRemoved, 0);
        }
        EXPECT_EQ(names, ws->spooler.PrinterNames());
        EXPECT_EQ(names.size(), 2u);
        EXPECT_EQ(ws->spooler.OpenHandles(), 0);
        FreePrinterList(list);
    }
}

TEST(Enumerate, NoPrintersOrAFailingSpoolerLeaveTheListEmpty) {
    struct Case {
        const char* what;
        bool addPrinter;
        DWORD injected;  // error of the first EnumPrintersA, 0 for none
    } cases[] = {
        {"a system without printers", false, 0},
        {"enumeration refused", true, ERROR_ACCESS_DENIED},
        {"spooler not reachable", true, RPC_S_SERVER_UNAVAILABLE},
    };
    for (const Case& c : cases) {
        Workstation ws;
        if (c.addPrinter) {
            ws.AddUimDriver("Brontal 4500 PS", "BR4500.PPD");
            ws.AddPrinter("Brontal 4500 PS", "Brontal 4500 PS");
        }
        if (c.injected)
            ws->faults.Fail("EnumPrintersA", c.injected, 1);
        CObList list;
        EXPECT_EQ(EnumeratePrinters(list, DetectOsFamily(NULL), QueryDriverDirectory(CString())), 0) << c.what;
        EXPECT_TRUE(list.IsEmpty()) << c.what;
        EXPECT_EQ(ws->faults.Calls("EnumPrintersA"), 1) << c.what;
    }
}

TEST(Enumerate, DriverDirectoryStaysEmptyWhenTheSpoolerReportsNoSize) {
    Workstation ws;
    ws->faults.Fail("GetPrinterDriverDirectoryA", RPC_S_SERVER_UNAVAILABLE);
    EXPECT_TRUE(QueryDriverDirectory(CString()).IsEmpty());
    EXPECT_EQ(ws->system.globals.LiveBlocks(), 0u);
}
